#include "demo/show_options.h"

#include <cstdint>

#include "demo/number_text.h"
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

void AddSeedOption(OptionTable& table, std::optional<uint32_t>& seed) {
  table.Add({"--seed", "N", "the random generator's seed, 0 to 4294967295",
             [&seed](const std::string& value, std::string& error) {
               const auto number = ParseWholeNumber(value);
               if (!number || *number < 0 || *number > UINT32_MAX) {
                 error = "--seed needs a number from 0 to 4294967295";
                 return false;
               }
               seed = static_cast<uint32_t>(*number);
               return true;
             }});
}

void AddDataOption(OptionTable& table, std::string& dataDir) {
  table.Add({"--data", "DIR", "the folder of the pictures and the music (else as below)", SetText(dataDir)});
}

OptionTable PageOptions(ShowSettings& settings, std::string& times) {
  OptionTable options("the page", "?seed=N&times=TIMES[&reduce-flashes=1]");
  AddSeedOption(options, settings.seed);
  options.Add({"--times", "TIMES", "T0:T1:STEP or T,T,...", SetText(times)});
  AddGentleModeOption(options, settings.reduceFlashes);
  return options;
}

OptionTable LiveShowOptions(ShowSettings& settings, std::string& backend) {
  OptionTable options("quorvel4-demo", "[--backend NAME] [--reduce-flashes]", "Plays the show; any key ends it.");
  AddBackendOptions(options, backend);
  AddGentleModeOption(options, settings.reduceFlashes);
  options.AddNote(kDataLookupNote);
  options.AddNote(kFlashWarning);
  return options;
}
