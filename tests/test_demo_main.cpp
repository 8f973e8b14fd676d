#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>

#include "demo/demo_main.h"
#include "demo/show_script.h"
#include "demo_test_support.h"
#include "quorvel4/console.h"

namespace {

std::string Row(const std::vector<Cell>& cells, int column, int row, int length) {
  std::string text;
  for (int k = 0; k < length; ++k) text += static_cast<char>(cells[column + 80 * row + k] & 0xFF);
  return text;
}

// Runs DemoMain in `directory` and returns its result and what it printed.
std::pair<int, std::string> RunDemoIn(const std::filesystem::path& directory) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  WorkingDirectory here(directory);
  testing::internal::CaptureStdout();
  const int result = DemoMain();
  return {result, testing::internal::GetCapturedStdout()};
}

}  // namespace

TEST(DemoStartUp, LoadingLinesStandOneBelowTheOther) {
  ScratchDirectory scratch;
  WriteStandInData(scratch.path() / "data", 0);
  HeadlessBackend* screen = UseHeadlessConsole();
  Show show;
  PrepareShow(show, (scratch.path() / "data").string());
  EXPECT_TRUE(show.unreadablePictures.empty());
  EXPECT_EQ(screen->PresentCount(), 2);
  EXPECT_EQ(screen->Title(), "[quenby] // [dralsk] | alt+enter for fullscreen ");
  const std::vector<Cell>& cells = screen->LastFrame();
  EXPECT_EQ(Row(cells, 5, 4, 15), std::string("loading images") + '\0');
  EXPECT_EQ(Row(cells, 5, 5, 14), std::string("loading music") + '\0');
  EXPECT_EQ(cells[5 + 80 * 4], 0x0F6C);
  ASSERT_NE(show.script->FindPicture("zul"), nullptr);
  EXPECT_EQ(show.script->FindPicture("zul")->pixels.size(), 16000u);
}

TEST(DemoStartUp, MissingDataDirectorySaysWhereItLooked) {
  ScratchDirectory scratch;
  HeadlessBackend* screen = UseHeadlessConsole();
  const auto [result, printed] = RunDemoIn(scratch.path());
  EXPECT_EQ(result, 1);
  EXPECT_EQ(printed.rfind("Error!\nFile Not Found\nThe music file data//8920.mp3 does not exist\nThe show's data "
                          "directory (pictures and music) was not found; looked in ",
                          0),
            0u)
      << printed;
  EXPECT_NE(printed.find((scratch.path() / "data").string()), std::string::npos) << printed;
  EXPECT_NE(printed.find("QVL_DATA_DIR"), std::string::npos) << printed;
  // That one line says why: no line for each of the pictures.
  EXPECT_EQ(std::count(printed.begin(), printed.end(), '\n'), 4) << printed;
  EXPECT_TRUE(screen->Restored());
}

TEST(DemoStartUp, APictureFifoIsNotWaitedOn) {
  ScratchDirectory scratch;
  const std::string data = (scratch.path() / "data").string();
  WriteStandInData(data, 0);
  std::filesystem::remove(data + "/qo_160x100.raw");
  UseHeadlessConsole();
  Show show;
  const std::vector<std::string> unreadable = ReadFifoWithoutAWriter(data + "/qo_160x100.raw", [&] {
    PrepareShow(show, data);
    return show.unreadablePictures;
  });
  EXPECT_EQ(unreadable, std::vector<std::string>{data + "//qo_160x100.raw"});
}

TEST(DemoStartUp, AMissingPictureIsShownBlackAndNamedAfterTheShow) {
  ScratchDirectory scratch;
  WriteStandInData(scratch.path() / "data", 20);
  std::filesystem::remove(scratch.path() / "data" / "face2_160x100.raw");
  HeadlessBackend* screen = UseHeadlessConsole();
  screen->PressKey();
  const auto [result, printed] = RunDemoIn(scratch.path());
  EXPECT_EQ(result, 0);
  EXPECT_EQ(printed, "The picture file data//face2_160x100.raw could not be read; the show drew it black.\n");
  EXPECT_TRUE(screen->Restored());
  EXPECT_EQ(screen->PresentCount(), 2);  // both loading lines: the start-up went on
}

TEST(DemoStartUp, MusicFileFailures) {
  ScratchDirectory scratch;
  WriteStandInData(scratch.path() / "data", 0);
  std::filesystem::remove(scratch.path() / "data" / "qo_160x100.raw");
  UseHeadlessConsole();
  const std::string music = (scratch.path() / "data" / "8920.mp3").string();
  auto [result, printed] = RunDemoIn(scratch.path());
  EXPECT_EQ(result, 1);
  // No show ran, so no picture was drawn black.
  EXPECT_EQ(printed,
            "Error!\nFile Not Found\nThe music file data//8920.mp3 does not exist\n"
            "The picture file data//qo_160x100.raw could not be read.\n");
  WriteBytes((scratch.path() / "data" / "qo_160x100.raw").string(), StandInPicture(160, 100, 1));

  std::filesystem::create_directory(music);
  UseHeadlessConsole();
  std::tie(result, printed) = RunDemoIn(scratch.path());
  EXPECT_EQ(result, 1);
  EXPECT_EQ(printed, "Error!\nThe music file data//8920.mp3 is not a regular file\n");
  std::filesystem::remove(music);

  MakeSparseFile(music, uint64_t{2500} << 20);
  UseHeadlessConsole();
  std::tie(result, printed) = RunDemoIn(scratch.path());
  EXPECT_EQ(result, 1);
  EXPECT_EQ(printed,
            "Error!\nThe music file data//8920.mp3 is 2621440000 bytes; a music file may have at most 268435456 "
            "bytes\n");

  WriteBytes(music, {});
  UseHeadlessConsole();
  std::tie(result, printed) = RunDemoIn(scratch.path());
  EXPECT_EQ(result, 1);
  EXPECT_EQ(printed, "Error!\nThe music file data//8920.mp3 is empty\n");

  WriteBytes(music, std::vector<uint8_t>(4000, 0x5A));
  UseHeadlessConsole();
  std::tie(result, printed) = RunDemoIn(scratch.path());
  EXPECT_EQ(result, 1);
  EXPECT_EQ(printed.rfind("Error!\nCannot decode the music file data//8920.mp3 as MP3", 0), 0u) << printed;
}

TEST(DemoStartUp, AKeyAtTheStartEndsTheShowWithSuccess) {
  ScratchDirectory scratch;
  WriteStandInData(scratch.path() / "data", 20);
  HeadlessBackend* screen = UseHeadlessConsole();
  screen->PressKey();
  const auto [result, printed] = RunDemoIn(scratch.path());
  EXPECT_EQ(result, 0);
  EXPECT_EQ(printed, "");
  // The loading screen was the last thing presented: no frame ran.
  EXPECT_EQ(screen->PresentCount(), 2);
}
