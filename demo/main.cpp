// The process entry: the console, the show, the console given back.
#include <cstdio>
#include <cstring>
#include <string>

#include "demo/demo_main.h"
#include "quorvel4/backend_options.h"
#include "demo/program_info.h"
#include "quorvel4/console.h"
#include "quorvel4/display_signals.h"

namespace {

constexpr const char* kProgram = "quorvel_demo";

void PrintUsage(std::FILE* to) {
  std::fprintf(to,
               "usage: %s [--backend NAME | --terminal | --window] [--reduce-flashes]\n"
               "Plays the show; any key ends it.\n"
               "%s"
               "  --reduce-flashes hold back frames so that nothing flashes more than three times a second\n"
               "  --help           show this help\n"
               "  --version        show the version and the back ends built in\n"
               "The pictures and the music are read from data/ in the working directory, else data/\n"
               "beside the program, else the installed share directory; QVL_DATA_DIR overrides them.\n",
               kProgram, BackendOptionsHelp().c_str());
}

enum class Parsed { kRun, kHelp, kBad };

// The display back end the options name (empty: QVL_BACKEND's, or the first usable one), and
// the gentle mode.
Parsed ParseArguments(int argc, char** argv, std::string* backend, bool* reduceFlashes) {
  for (int i = 1; i < argc; ++i) {
    std::string error;
    switch (TakeBackendOption(argc, argv, &i, backend, &error)) {
      case BackendOption::kTaken:
        continue;
      case BackendOption::kBad:
        std::fprintf(stderr, "%s: %s\n", kProgram, error.c_str());
        return Parsed::kBad;
      case BackendOption::kNotMine:
        break;
    }
    const char* arg = argv[i];
    if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) return Parsed::kHelp;
    if (std::strcmp(arg, "--reduce-flashes") == 0) {
      *reduceFlashes = true;
      continue;
    }
    std::fprintf(stderr, "%s: %s %s\n", kProgram, arg[0] == '-' ? "unknown option" : "unexpected argument", arg);
    return Parsed::kBad;
  }
  std::string error;
  if (ResolveBackendName(backend, &error)) return Parsed::kRun;
  std::fprintf(stderr, "%s: %s\n", kProgram, error.c_str());
  return Parsed::kBad;
}

}  // namespace

int main(int argc, char** argv) {
  if (AnswerVersionOption(argc, argv, "quorvel_demo")) return 0;
  std::string backend;
  bool reduceFlashes = false;
  switch (ParseArguments(argc, argv, &backend, &reduceFlashes)) {
    case Parsed::kHelp:
      PrintUsage(stdout);
      std::fputs(kFlashWarning, stdout);
      return 0;
    case Parsed::kBad:
      PrintUsage(stderr);
      return 2;
    case Parsed::kRun:
      break;
  }
  std::string error;
  if (!ChooseConsoleBackend(backend, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  InitConsole();
  const int result = DemoMain(reduceFlashes);
  ShutdownConsole();
  display_signals::RaiseDeferredSignal();  // after the show's closing lines
  return result;
}
