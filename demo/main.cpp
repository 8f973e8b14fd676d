// The process entry: the options, the console's back end, the show.
#include <string>

#include "demo/demo_main.h"
#include "demo/show_options.h"
#include "quorvel4/backend_options.h"
#include "quorvel4/console.h"
#include "quorvel4/display_signals.h"

int main(int argc, char** argv) {
  ShowSettings settings;
  std::string backend;
  OptionTable options("quorvel_demo", "[--backend NAME | --terminal | --window] [--reduce-flashes]",
                      "Plays the show; any key ends it.");
  AddBackendOptions(options, backend);
  AddGentleModeOption(options, settings.reduceFlashes);
  options.AddNote(kDataLookupNote);
  options.AddNote(kFlashWarning);
  if (const std::optional<int> status = options.Parse(argc, argv)) return *status;

  std::string error;
  if (!ResolveBackendName(backend, error)) return options.Refuse(error);
  if (!ChooseConsoleBackend(backend, error)) {
    options.Complain(error);
    return 1;
  }
  const int result = DemoMain(settings);
  ShutdownConsole();
  display_signals::RaiseDeferredSignal();  // after the show's closing lines
  return result;
}
