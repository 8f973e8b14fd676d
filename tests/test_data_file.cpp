// Opening the show's data files, the same on every system (FIFOs are POSIX's: test_music).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "demo/data_file.h"

TEST(DataFile, OpensOnlyRegularFilesWithinTheSizeAndSaysWhyNot) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() /
                       ("qvl_data_file_" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
  fs::create_directories(dir);
  std::ofstream((dir / "ten.bin").string(), std::ios::binary) << "0123456789";

  EXPECT_EQ(OpenDataFile((dir / "absent.bin").string()).error, DataFileError::kNotFound);
  EXPECT_EQ(OpenDataFile((dir / "absent" / "ten.bin").string()).error, DataFileError::kNotFound);
  EXPECT_EQ(OpenDataFile(dir.string()).error, DataFileError::kNotRegular);

  const DataFile large = OpenDataFile((dir / "ten.bin").string(), 9);
  EXPECT_EQ(large.error, DataFileError::kTooLarge);
  EXPECT_EQ(large.size, 10u);
  EXPECT_EQ(large.file, nullptr);

  {
    const DataFile fits = OpenDataFile((dir / "ten.bin").string(), 10);
    ASSERT_EQ(fits.error, DataFileError::kNone);
    EXPECT_EQ(fits.size, 10u);
    char text[12] = {};
    EXPECT_EQ(std::fread(text, 1, sizeof text, fits.file.get()), 10u);
    EXPECT_STREQ(text, "0123456789");
  }  // closed: Windows removes no open file

  std::error_code ignored;
  fs::remove_all(dir, ignored);
}
