#include "demo/show_options.h"

#include <cstdint>
#include <cstdio>

#include "demo/show_api.h"
#include "demo/starter_show.h"
#include "quorvel4/backend_options.h"

const char* const kDataLookupNote =
    "The pictures and the music are read from the first that holds them of data/ in the working\n"
    "directory, data/ beside the program and the installed share directory; QVL_DATA_DIR\n"
    "overrides them.\n";

const char* const kFlashWarning =
    "Warning: the show contains flashing images. It may trigger seizures in people with\n"
    "photosensitive epilepsy; --reduce-flashes keeps it to three flashes a second or fewer.\n";

void AddGentleModeOption(OptionTable& table, bool& reduceFlashes) {
  table.Add({"--reduce-flashes", "", "hold back frames so that nothing flashes more than three times a second",
             SetFlag(reduceFlashes)});
}

void AddSeedOption(OptionTable& table, std::optional<uint32_t>& seed, const char* otherwise) {
  std::string help = "the random generator's seed, " + NumberRange(kLowestSeed, kHighestSeed);
  if (otherwise != nullptr) help += std::string(" (") + otherwise + ")";
  table.Add({"--seed", "N", help, [&seed](const std::string& value, std::string& error) {
               const auto number = ParseNumberIn(value, "--seed", kLowestSeed, kHighestSeed, error);
               if (number) seed = static_cast<uint32_t>(*number);
               return number.has_value();
             }});
}

void AddDataOption(OptionTable& table, std::string& dataDir) {
  table.Add({"--data", "DIR", "the folder of the pictures and the music (else as below)", SetText(dataDir)});
}

OptionTable PageOptions(ShowSettings& settings, std::string& times) {
  OptionTable options("the page", "?[show=PATH/&]seed=N&times=TIMES[&reduce-flashes=1]");
  options.Add({"--show", "DIR", "the folder the page fetched the show into (else the built-in show)",
               SetText(settings.showDir)});
  AddSeedOption(options, settings.seed);
  options.Add({"--times", "TIMES", "T0:T1:STEP or T,T,...", SetText(times)});
  AddGentleModeOption(options, settings.reduceFlashes);
  return options;
}

namespace {

void AddLiveOptions(OptionTable& options, LiveSettings& live) {
  options.Add({"--edit", "",
               "live editing: reload the show's folder on every save; keys pause, seek and loop (q, Escape or "
               "Ctrl-C end it; docs/shows.md lists them)",
               SetFlag(live.edit)});
  options.Add({"--start", "MS", "start at MS milliseconds, on the frame an export from 0 shows there",
               [&live](const std::string& value, std::string& error) {
                 const auto number = ParseNumberIn(value, "--start", 0, INT32_MAX, error);
                 if (number) live.startMs = static_cast<int32_t>(*number);
                 return number.has_value();
               }});
  options.Add({"--loop", "A:B", "play from A to B milliseconds over and over (from A, unless --start says otherwise)",
               [&live](const std::string& value, std::string& error) {
                 live.loop = ParseLoopSpan(value);
                 if (!live.loop) error = "--loop needs A:B, milliseconds with 0 <= A < B";
                 return live.loop.has_value();
               }});
  options.Add({"--sync", "HOST:PORT",
               "with --edit: follow the sync-tracker listening at [HOST:]PORT (the host 127.0.0.1 unless given; "
               "editors listen on 1338), its keys on the show's tracks (docs/sync-tracks.md)",
               [&live](const std::string& value, std::string& error) {
                 live.sync = ParseSyncAddress(value);
                 if (!live.sync) error = "--sync needs [HOST:]PORT, a port from 1 to 65535 (editors listen on 1338)";
                 return live.sync.has_value();
               }});
}

}  // namespace

OptionTable LiveShowOptions(ShowSettings& settings, std::string& backend, ShowCommands& commands, LiveSettings& live) {
  OptionTable options("quorvel4-demo", "[--backend NAME] [--reduce-flashes] [--edit [--sync [HOST:]PORT]] [--start MS] [--loop A:B] [--seed N] [DIR]",
                      "Plays the show (the built-in one, or the one in the folder DIR); any key ends it.");
  AddBackendOptions(options, backend);
  AddGentleModeOption(options, settings.reduceFlashes);
  AddLiveOptions(options, live);
  AddSeedOption(options, settings.seed, "else the clock's milliseconds");
  options.Add({"--new", "DIR", "write a starter show into the new or empty folder DIR, and exit", SetText(commands.newShowDir)});
  options.Add({"--api-reference", "", "print the reference of the functions a show's script may call, and exit",
               SetFlag(commands.apiReference)});
  options.Add({"", "DIR", "", SetOnce(settings.showDir, "one show at a time")});
  options.AddNote(kDataLookupNote);
  options.AddNote(kFlashWarning);
  return options;
}

std::optional<int> RunShowCommand(const OptionTable& options, const ShowCommands& commands) {
  if (commands.apiReference) {
    std::fputs(ShowApiReference().c_str(), stdout);
    return 0;
  }
  if (commands.newShowDir.empty()) return std::nullopt;
  std::string error;
  if (!WriteStarterShow(commands.newShowDir, error)) {
    options.Complain(error);
    return 1;
  }
  std::printf("A new show is in %s: play it with quorvel4-demo %s, and edit its show.js.\n", commands.newShowDir.c_str(),
              commands.newShowDir.c_str());
  return 0;
}
