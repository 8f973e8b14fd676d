// The process entry: the options, the console's back end, the show.
#include <string>

#include "demo/demo_main.h"
#include "demo/show_options.h"
#include "quorvel4/backend_options.h"
#include "quorvel4/console.h"

int main(int argc, char** argv) {
  ShowSettings settings;
  std::string backend;
  ShowCommands commands;
  LiveSettings live;
  const OptionTable options = LiveShowOptions(settings, backend, commands, live);
  if (const std::optional<int> status = options.Parse(argc, argv)) return *status;
  if (const std::optional<int> status = RunShowCommand(options, commands)) return *status;
  if (const std::optional<int> status = OpenChosenBackend(options, backend)) return *status;
  return CloseChosenBackend(options, DemoMain(settings, live));  // after the show's closing lines
}
