// Every program's command line, read through the program's own option table: the first byte
// picks the program, the rest are its arguments, separated by zero bytes. Nothing is printed
// and nothing ends the process; a reading says why it refuses, and only then.
#include <cstdint>
#include <string>
#include <vector>

#include "capture/options.h"
#include "demo/number_text.h"
#include "demo/show_options.h"
#include "support.h"
#include "quorvel4/backend_options.h"
#include "tool_tables.h"

namespace {

// Enough arguments for every option of the longest table twice over.
constexpr size_t kMostArguments = 48;

void CheckReading(const OptionTable& table, const OptionTable::Reading& reading) {
  FUZZ_CHECK((reading.outcome == OptionTable::Outcome::kBad) == !reading.error.empty());
  FUZZ_CHECK(table.Help().find(table.Program()) != std::string::npos);
}

void ReadAs(uint8_t program, int argc, const char* const* argv) {
  switch (program % 6) {
    case 0: {
      ShowSettings settings;
      std::string backend, error;
      const OptionTable table = LiveShowOptions(settings, backend);
      const OptionTable::Reading reading = table.Read(argc, argv);
      CheckReading(table, reading);
      if (reading.outcome == OptionTable::Outcome::kRun && !ResolveBackendName(backend, error))
        FUZZ_CHECK(!error.empty());
      break;
    }
    case 1: {
      Options options;
      const OptionTable::Reading reading = JudgeOptions(argc, argv, options);
      FUZZ_CHECK((reading.outcome == OptionTable::Outcome::kBad) == !reading.error.empty());
      if (reading.outcome == OptionTable::Outcome::kRun) {
        FUZZ_CHECK(options.format != nullptr);
        FUZZ_CHECK(!options.times.empty() && static_cast<int64_t>(options.times.size()) <= kMaxScriptedFrames);
        FUZZ_CHECK(options.fps > 0 && options.scale > 0);
      }
      break;
    }
    case 2: {
      ViewOptions options;
      const OptionTable table = ViewTable(options);
      CheckReading(table, table.Read(argc, argv));
      break;
    }
    case 3: {
      std::string backend;
      const OptionTable table = TestcardTable(backend);
      CheckReading(table, table.Read(argc, argv));
      break;
    }
    case 4: {
      std::string dataDir, output;
      const OptionTable table = PreviewSheetTable(dataDir, output);
      CheckReading(table, table.Read(argc, argv));
      break;
    }
    case 5: {
      ShowSettings settings;
      std::string times, error;
      const OptionTable table = PageOptions(settings, times);
      const OptionTable::Reading reading = table.Read(argc, argv);
      CheckReading(table, reading);
      // What the page does with the times it was given.
      if (reading.outcome == OptionTable::Outcome::kRun && !times.empty()) {
        const std::vector<int32_t> list = ParseTimeList(times, "times", error);
        FUZZ_CHECK(list.empty() != error.empty());
      }
      break;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzBytes bytes(data, size);
  const uint8_t program = bytes.Byte();
  const std::string_view rest = bytes.Rest();
  std::vector<std::string> arguments = {"program"};
  for (size_t start = 0; start <= rest.size() && arguments.size() <= kMostArguments;) {
    const size_t end = std::min(rest.find('\0', start), rest.size());
    arguments.emplace_back(rest.substr(start, end - start));
    start = end + 1;
  }
  std::vector<const char*> argv;
  for (const std::string& argument : arguments) argv.push_back(argument.c_str());
  argv.push_back(nullptr);
  ReadAs(program, static_cast<int>(arguments.size()), argv.data());
  return 0;
}
