// The show's own command line: the warning and the gentle mode.
#include <gtest/gtest.h>

#include <string>

#include "capture_run.h"

TEST(ShowOptions, TheHelpWarnsOfFlashesAndOffersTheGentleMode) {
  const std::string help = CommandOutput(std::string(QVL_DEMO_PROGRAM) + " --help");
  EXPECT_NE(help.find("contains flashing images"), std::string::npos) << help;
  EXPECT_NE(help.find("--reduce-flashes"), std::string::npos) << help;
  // The option combines with the others; a wrong one next to it is still named.
  const std::string bad = CommandOutput(std::string(QVL_DEMO_PROGRAM) + " --reduce-flashes --bogus 2>&1; echo status $?");
  EXPECT_NE(bad.find("unknown option --bogus"), std::string::npos) << bad;
  EXPECT_NE(bad.find("status 2"), std::string::npos) << bad;
}
