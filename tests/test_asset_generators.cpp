// Runs the asset generators' own checks (Python, in tools/assets) where their Python packages exist.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

TEST(AssetGenerators, SynthesizerChecksPass) {
  if (std::system("/usr/bin/python3 -c 'import numpy' >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "python3-numpy is not installed (make assets installs it)";
  const std::string command = "/usr/bin/python3 '" QVL_SOURCE_DIR "/tools/assets/test_synth.py' 2>&1";
  EXPECT_EQ(std::system(command.c_str()), 0) << "see the unittest report above";
}

// The Lanterns show's generators against its committed files: the pictures as drawn, keyed
// ones without holes, no saturated red, the music's hits on the sync points' bar lines.
TEST(AssetGenerators, LanternsShowChecksPass) {
  if (std::system("/usr/bin/python3 -c 'import numpy, PIL' >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "python3-numpy or python3-pil is not installed (make assets installs them)";
  const std::string command = "/usr/bin/python3 '" QVL_SOURCE_DIR "/tools/assets/test_lanterns_assets.py' 2>&1";
  EXPECT_EQ(std::system(command.c_str()), 0) << "see the unittest report above";
}
