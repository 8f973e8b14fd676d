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
  // A folder with the show's music file in it (the lookup asks for nothing more).
  static void HoldMusic(const fs::path& folder) {
    fs::create_directories(folder);
    WriteBytes((folder / "8920.mp3").string(), {0xFF, 0xFB});
  }

  ScratchDirectory scratch_;
  fs::path previous_;
};

TEST_F(DataLookup, TakesTheFirstPlaceThatHoldsTheDataInOrder) {
  EXPECT_EQ(Find().directory, "");
  HoldMusic(installed());
  EXPECT_EQ(fs::path(Find().directory), installed());
  HoldMusic(bin() / "data");
  EXPECT_EQ(fs::path(Find().directory), bin() / "data");
  // The working directory's data/ comes first, named as the show always named it.
  HoldMusic(work() / "data");
  EXPECT_EQ(Find().directory, "data");
}

TEST_F(DataLookup, AFileNamedDataIsNoDataDirectory) {
  WriteBytes((work() / "data").string(), {1, 2, 3});
  HoldMusic(installed());
  EXPECT_EQ(fs::path(Find().directory), installed());
}

// A data/ of the user's own (mkdir ~/data; cd ~) is passed over, and the message says why.
TEST_F(DataLookup, AFolderWithoutTheShowsFilesIsPassedOver) {
  fs::create_directories(work() / "data");
  WriteBytes((work() / "data" / "notes.txt").string(), {1});
  fs::create_directories(bin() / "data");
  FoundDataDirectory found = Find();
  EXPECT_EQ(found.directory, "");
  const std::string message = NoDataDirectoryMessage(found);
  EXPECT_NE(message.find((work() / "data").string() + " and " + (bin() / "data").string() + " hold none of the show's files (8920.mp3"),
            std::string::npos)
      << message;

  HoldMusic(installed());
  EXPECT_EQ(fs::path(Find().directory), installed());
  // Any one of the show's files marks its folder: the pictures alone (a scripted capture needs
  // no music), or a music file that is broken, whose own message is then the one to give.
  WriteBytes((bin() / "data" / "zul_160x100.raw").string(), {1});
  EXPECT_EQ(fs::path(Find().directory), bin() / "data");
  fs::create_directories(work() / "data" / "8920.mp3");
  EXPECT_EQ(Find().directory, "data");
}

TEST_F(DataLookup, TheVariableReplacesEveryOtherPlace) {
  HoldMusic(work() / "data");
  const fs::path chosen = scratch_.path() / "elsewhere";
  HoldMusic(chosen);
  EXPECT_EQ(Find(chosen.string()).directory, chosen.string());

  const FoundDataDirectory missing = Find((scratch_.path() / "nowhere").string());
  EXPECT_EQ(missing.directory, "");
  ASSERT_EQ(missing.looked.size(), 1u);
  const std::string message = NoDataDirectoryMessage(missing);
  EXPECT_NE(message.find("QVL_DATA_DIR"), std::string::npos) << message;
  EXPECT_NE(message.find((scratch_.path() / "nowhere").string()), std::string::npos) << message;

  // A folder that holds none of the show's files is no data folder either, and not taken
  // for one because the variable names it; the lookup does not go on past the variable.
  const fs::path empty = scratch_.path() / "empty";
  fs::create_directories(empty);
  HoldMusic(installed());
  const FoundDataDirectory unrelated = Find(empty.string());
  EXPECT_EQ(unrelated.directory, "");
  EXPECT_EQ(NoDataDirectoryMessage(unrelated),
            "QVL_DATA_DIR names " + empty.string() +
                ", which holds none of the show's files (8920.mp3 and the pictures): set it to the folder that "
                "holds them, or unset it.");
}

TEST_F(DataLookup, AFolderNamedByAnOptionMustHoldTheData) {
  EXPECT_NE(ChosenDataDirectoryProblem((work() / "missing").string()).find("does not exist"), std::string::npos);
  EXPECT_EQ(ChosenDataDirectoryProblem(work().string()),
            "The data directory " + work().string() + " holds none of the show's files (8920.mp3 and the pictures).");
  HoldMusic(work());
  EXPECT_EQ(ChosenDataDirectoryProblem(work().string()), "");
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

  // Started from a folder with a data/ of its own, it passes that over and finds its own.
  const fs::path home = scratch.path() / "home";
  fs::create_directories(home / "data");
  fs::create_directory_symlink(std::string(QVL_SOURCE_DIR) + "/data", bin / "data");
  const std::string fromHome = CommandOutput("cd " + home.string() + " && env -u QVL_DATA_DIR " +
                                             (bin / "quorvel4-capture").string() + " --seed 1 --times 0 --format cells --out " +
                                             scratch.File("home.cells") + " 2>&1");
  EXPECT_EQ(fs::file_size(scratch.File("home.cells")), 8000u) << fromHome;
  fs::remove(bin / "data");

  fs::create_directory_symlink(std::string(QVL_SOURCE_DIR) + "/data", bin / "data");
  const std::string found = CommandOutput(run);
  EXPECT_EQ(fs::file_size(scratch.File("frame.cells")), 8000u) << found;
}

}  // namespace
