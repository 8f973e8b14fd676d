// The rows of the option table that every program showing the show shares, each with one
// wording, and the texts its help ends with.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "demo/live_show.h"
#include "demo/show_session.h"
#include "quorvel4/options.h"

// --reduce-flashes: the gentle mode.
void AddGentleModeOption(OptionTable& table, bool& reduceFlashes);

// The seeds a run may be given: every state of the random generator's 32 bits. The options,
// their help and the web page's message all take the range from here.
inline constexpr int64_t kLowestSeed = 0;
inline constexpr int64_t kHighestSeed = UINT32_MAX;

// --seed N: the random generator's seed of a scripted run; `otherwise` (if any) says, in the
// help, what a run without one takes.
void AddSeedOption(OptionTable& table, std::optional<uint32_t>& seed, const char* otherwise = nullptr);

// --data DIR: the folder of the pictures and the music.
void AddDataOption(OptionTable& table, std::string& dataDir);

// What the live show's program may be asked to do instead of playing a show.
struct ShowCommands {
  std::string newShowDir;     // --new DIR: write a starter show there
  bool apiReference = false;  // --api-reference: print the functions a show's script may call
};

// The live show's table, the same on every platform: the show's folder (none: the built-in
// show), the back end (into `backend`) and the gentle mode, the commands, the live editing mode,
// the start and the loop (into `live`), with the notes on the data and the flashes.
OptionTable LiveShowOptions(ShowSettings& settings, std::string& backend, ShowCommands& commands, LiveSettings& live);

// Carries out a command of `commands`, if one was given: its exit status (its output or
// complaint printed); nothing when the show is to play.
std::optional<int> RunShowCommand(const OptionTable& options, const ShowCommands& commands);

// The web page's table: the address's seed=N&times=TIMES[&reduce-flashes=1], passed as
// --seed N --times TIMES [--reduce-flashes]; the times as written, for ParseTimeList. With
// show=PATH/ the page fetches the show's folder into its file system and adds --show DIR.
OptionTable PageOptions(ShowSettings& settings, std::string& times);

// Where the pictures and the music are looked for, for the end of a help text.
extern const char* const kDataLookupNote;

// Said wherever the show is started from a command line (its --help).
extern const char* const kFlashWarning;
