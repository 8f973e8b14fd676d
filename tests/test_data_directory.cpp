// Where the show finds its data: the order of the places, QVL_DATA_DIR, the message that names
// every place, and the lookup of a real program started from elsewhere.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "capture_run.h"
#include "demo/data_directory.h"
#include "demo_test_support.h"

namespace {

namespace fs = std::filesystem;

// An installed tree: PREFIX/bin (the programs), PREFIX/share/quorvel4-demo/data, and a work
// folder to start from; the test runs in the work folder.
class DataLookup : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(bin());
    fs::create_directories(work());
    previous_ = fs::current_path();
    fs::current_path(work());
  }
  void TearDown() override { fs::current_path(previous_); }

  fs::path bin() const { return scratch_.path() / "prefix/bin"; }
  fs::path work() const { return scratch_.path() / "work"; }
  fs::path installed() const { return scratch_.path() / "prefix/share/quorvel4-demo/data"; }
  FoundDataDirectory Find(const std::string& overridden = "") const {
    return FindDataDirectory(DataDirectoryPlacesFor(overridden, bin().string(), "../share/quorvel4-demo/data"));
  }

  ScratchDirectory scratch_;
  fs::path previous_;
};

TEST_F(DataLookup, TakesTheFirstPlaceThatExistsInOrder) {
  EXPECT_EQ(Find().directory, "");
  fs::create_directories(installed());
  EXPECT_EQ(fs::path(Find().directory), installed());
  fs::create_directories(bin() / "data");
  EXPECT_EQ(fs::path(Find().directory), bin() / "data");
  // The working directory's data/ comes first, named as the show always named it.
  fs::create_directories(work() / "data");
  EXPECT_EQ(Find().directory, "data");
}

TEST_F(DataLookup, AFileNamedDataIsNoDataDirectory) {
  WriteBytes((work() / "data").string(), {1, 2, 3});
  fs::create_directories(installed());
  EXPECT_EQ(fs::path(Find().directory), installed());
}

TEST_F(DataLookup, TheVariableReplacesEveryOtherPlace) {
  fs::create_directories(work() / "data");
  const fs::path chosen = scratch_.path() / "elsewhere";
  fs::create_directories(chosen);
  EXPECT_EQ(Find(chosen.string()).directory, chosen.string());

  const FoundDataDirectory missing = Find((scratch_.path() / "nowhere").string());
  EXPECT_EQ(missing.directory, "");
  ASSERT_EQ(missing.looked.size(), 1u);
  const std::string message = NoDataDirectoryMessage(missing);
  EXPECT_NE(message.find("QVL_DATA_DIR"), std::string::npos) << message;
  EXPECT_NE(message.find((scratch_.path() / "nowhere").string()), std::string::npos) << message;
}

TEST_F(DataLookup, TheMessageNamesEveryPlaceLookedAt) {
  const FoundDataDirectory found = Find();
  ASSERT_EQ(found.looked.size(), 3u);
  const std::string message = NoDataDirectoryMessage(found);
  for (const fs::path& place : {work() / "data", bin() / "data", installed()})
    EXPECT_NE(message.find(place.lexically_normal().string()), std::string::npos) << place << " in " << message;
  EXPECT_NE(message.find("QVL_DATA_DIR"), std::string::npos) << message;
}

TEST_F(DataLookup, AProgramStartedFromItsOwnFolderNamesThatFolderOnce) {
  fs::current_path(bin());
  const FoundDataDirectory found = Find();
  EXPECT_EQ(found.looked.size(), 2u) << NoDataDirectoryMessage(found);
}

// The real executable's folder: capture copied into a folder with data/ beside it (the Windows
// zip's layout) finds the pictures from anywhere, and without them says where it looked.
// IsDirectory answers every path, and only a directory (or a link to one) is one.
TEST(IsDirectory, OnlyADirectoryOrALinkToOneIsADirectory) {
  ScratchDirectory scratch;
  const fs::path folder = scratch.path() / "folder";
  fs::create_directories(folder);
  WriteBytes(scratch.File("file"), {1});
  fs::create_directory_symlink(folder, scratch.path() / "to_folder");
  fs::create_symlink(scratch.path() / "gone", scratch.path() / "dangling");
  ASSERT_EQ(mkfifo(scratch.File("fifo").c_str(), 0600), 0);

  EXPECT_TRUE(IsDirectory(folder.string()));
  EXPECT_TRUE(IsDirectory(folder.string() + "/"));
  EXPECT_TRUE(IsDirectory(scratch.File("to_folder")));
  EXPECT_FALSE(IsDirectory(scratch.File("file")));
  EXPECT_FALSE(IsDirectory(scratch.File("fifo")));
  EXPECT_FALSE(IsDirectory(scratch.File("dangling")));
  EXPECT_FALSE(IsDirectory(scratch.File("missing")));
  // A path through a file fails with "not a directory" rather than "no such file": no throw.
  EXPECT_FALSE(IsDirectory(scratch.File("file") + "/below"));
  EXPECT_FALSE(IsDirectory(""));
}

TEST(DataLookupProgram, CaptureFindsDataBesideItselfFromAnyFolder) {
  ScratchDirectory scratch;
  const fs::path bin = scratch.path() / "bin";
  fs::create_directories(bin);
  fs::copy_file(std::string(QVL_TOOLS_DIR) + "/quorvel4-capture", bin / "quorvel4-capture");
  const std::string run = "cd / && env -u QVL_DATA_DIR " + (bin / "quorvel4-capture").string() +
                          " --seed 1 --times 0 --format cells --out " + scratch.File("frame.cells") + " 2>&1";

  const std::string missing = CommandOutput(run);
  EXPECT_NE(missing.find((bin / "data").string()), std::string::npos) << missing;
  EXPECT_FALSE(fs::exists(scratch.File("frame.cells")));

  fs::create_directory_symlink(std::string(QVL_SOURCE_DIR) + "/data", bin / "data");
  const std::string found = CommandOutput(run);
  EXPECT_EQ(fs::file_size(scratch.File("frame.cells")), 8000u) << found;
}

}  // namespace
