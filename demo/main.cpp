// The process entry: the console, the show, the console given back.
#include <cstdio>
#include <cstring>
#include <string>

#include "demo/demo_main.h"
#include "demo/program_info.h"
#include "quorvel4/console.h"

namespace {

constexpr const char* kUsage =
    "usage: quorvel_demo [--window | --terminal]\n"
    "  --window    play the show in a window of its own (Alt+Enter or F11: full screen)\n"
    "  --terminal  play the show in this terminal (at least 80 x 50 cells)\n"
    "  --help      show this help\n"
    "  --version   show the version and the back ends built in\n"
    "Without an option the show plays in the terminal when standard output is one, and\n"
    "otherwise in a window when there is a display. Any other key ends the show.\n"
    "The pictures and the music are read from data/ in the working directory, else data/\n"
    "beside the program, else the installed share directory; QVL_DATA_DIR overrides them.\n";

enum class Parsed { kRun, kHelp, kBad };

// The display back end the options name (empty: the first usable one).
Parsed ParseArguments(int argc, char** argv, std::string* backend) {
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    std::string chosen;
    if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) return Parsed::kHelp;
    if (std::strcmp(arg, "--window") == 0) {
      chosen = "window";
    } else if (std::strcmp(arg, "--terminal") == 0) {
      chosen = "terminal";
    } else {
      std::fprintf(stderr, "quorvel_demo: %s %s\n", arg[0] == '-' ? "unknown option" : "unexpected argument", arg);
      return Parsed::kBad;
    }
    if (!backend->empty() && *backend != chosen) {
      std::fprintf(stderr, "quorvel_demo: choose either --window or --terminal\n");
      return Parsed::kBad;
    }
    *backend = chosen;
  }
  return Parsed::kRun;
}

}  // namespace

int main(int argc, char** argv) {
  if (AnswerVersionOption(argc, argv, "quorvel_demo")) return 0;
  std::string backend;
  switch (ParseArguments(argc, argv, &backend)) {
    case Parsed::kHelp:
      std::fputs(kUsage, stdout);
      return 0;
    case Parsed::kBad:
      std::fputs(kUsage, stderr);
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
  const int result = DemoMain();
  ShutdownConsole();
  return result;
}
