// The number and time-list readers that capture and the web page share, on any text. A number
// read is the text's own digits (written back, it reads the same), and a list read holds as
// many times as the text has pieces, within the most frames a run may ask for.
#include <cstdint>
#include <string>
#include <vector>

#include "demo/number_text.h"
#include "support.h"

namespace {

// An optional '-' and decimal digits, nothing else.
bool SignAndDigits(const std::string& text) {
  const size_t start = !text.empty() && text[0] == '-' ? 1 : 0;
  return text.size() > start && text.find_first_not_of("0123456789", start) == std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  if (const std::optional<int64_t> number = ParseWholeNumber(text)) {
    FUZZ_CHECK(SignAndDigits(text));
    FUZZ_CHECK(ParseWholeNumber(std::to_string(*number)) == number);
  }
  if (const std::optional<int32_t> time = ParseMilliseconds(text)) FUZZ_CHECK(ParseWholeNumber(text) == *time);

  std::string error;
  const std::vector<int32_t> times = ParseTimeList(text, "--times", error);
  FUZZ_CHECK(times.empty() != error.empty());
  FUZZ_CHECK(static_cast<int64_t>(times.size()) <= kMaxScriptedFrames);
  if (!times.empty() && text.find(':') == std::string::npos) {
    const std::vector<std::string> pieces = SplitText(text, ',');
    FUZZ_CHECK(pieces.size() == times.size());
    for (size_t i = 0; i < pieces.size(); ++i) FUZZ_CHECK(ParseMilliseconds(pieces[i]) == times[i]);
  } else if (!times.empty()) {
    for (size_t i = 1; i < times.size(); ++i) FUZZ_CHECK(times[i] > times[i - 1]);
  }
  return 0;
}
