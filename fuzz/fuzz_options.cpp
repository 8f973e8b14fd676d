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

// A reading refuses with a reason, and only then.
void CheckOutcome(const OptionTable::Reading& reading) {
  FUZZ_CHECK((reading.outcome == OptionTable::Outcome::kBad) == !reading.error.empty());
}

// The arguments read through `table`, as the program reads them.
OptionTable::Reading ReadChecked(const OptionTable& table, int argc, const char* const* argv) {
  const OptionTable::Reading reading = table.Read(argc, argv);
  CheckOutcome(reading);
  FUZZ_CHECK(table.Help().find(table.Program()) != std::string::npos);
  return reading;
}

void ReadAs(uint8_t program, int argc, const char* const* argv) {
  switch (program % 6) {
    case 0: {
      ShowSettings settings;
      ShowCommands commands;
      LiveSettings live;
      std::string backend, error;
      const OptionTable::Reading reading = ReadChecked(LiveShowOptions(settings, backend, commands, live), argc, argv);
      if (reading.outcome == OptionTable::Outcome::kRun && live.loop) FUZZ_CHECK(live.loop->from < live.loop->to);
      if (reading.outcome == OptionTable::Outcome::kRun && !ResolveBackendName(backend, error))
        FUZZ_CHECK(!error.empty());
      break;
    }
    case 1: {
      Options options;
      const OptionTable::Reading reading = JudgeOptions(argc, argv, options);
      CheckOutcome(reading);
      if (reading.outcome == OptionTable::Outcome::kRun) {
        FUZZ_CHECK(options.format != nullptr);
        FUZZ_CHECK(!options.times.empty() && static_cast<int64_t>(options.times.size()) <= kMaxScriptedFrames);
        FUZZ_CHECK(options.fps > 0 && options.scale > 0);
      }
      break;
    }
    case 2: {
      ViewOptions options;
      ReadChecked(ViewTable(options), argc, argv);
      break;
    }
    case 3: {
      std::string backend;
      ReadChecked(TestcardTable(backend), argc, argv);
      break;
    }
    case 4: {
      std::string dataDir, output;
      ReadChecked(PreviewSheetTable(dataDir, output), argc, argv);
      break;
    }
    case 5: {
      ShowSettings settings;
      std::string times, error;
      const OptionTable::Reading reading = ReadChecked(PageOptions(settings, times), argc, argv);
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
