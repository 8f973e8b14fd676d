// The show session every program runs: how a showing ends and what it reports, and its
// failures in their one wording.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "demo/show_folder.h"
#include "demo/show_session.h"
#include "demo_test_support.h"
#include "quorvel4/console.h"

namespace {

ShowSettings Scripted(const std::filesystem::path& data, std::vector<int32_t> times) {
  return {.seed = 7, .times = std::move(times), .dataDir = data.string()};
}

TEST(ShowSession, EndsByTheEndRuleAKeyOrTheClockAndSaysWhich) {
  ScratchDirectory scratch;
  WriteStandInData(scratch.path() / "data", 0);
  std::string error;

  UseHeadlessConsole();
  ShowSession ended(Scripted(scratch.path() / "data", {118000, 123700, 123800}));
  ASSERT_TRUE(ended.Open(error)) << error;
  ended.Run([] {});
  // The frame at 123700 lies past the last scene: it is drawn blank and ends the show.
  EXPECT_EQ(ended.Report().end, ShowEnd::kLastScene);
  EXPECT_EQ(ended.Report().frames, 2);
  EXPECT_EQ(ended.Report().lastTime, 123700);
  ended.Finish();

  HeadlessBackend* screen = UseHeadlessConsole();
  ShowSession keyed(Scripted(scratch.path() / "data", {1000, 2000, 3000}));
  ASSERT_TRUE(keyed.Open(error)) << error;
  EXPECT_TRUE(keyed.Step());
  screen->PressKey();
  EXPECT_FALSE(keyed.Step());
  EXPECT_EQ(keyed.Report().end, ShowEnd::kKey);
  EXPECT_EQ(keyed.Report().frames, 1);
  keyed.Finish();
  EXPECT_TRUE(screen->Restored());

  UseHeadlessConsole();
  ShowSession scripted(Scripted(scratch.path() / "data", {1000, 2000}));
  ASSERT_TRUE(scripted.Open(error)) << error;
  scripted.Run([] {});
  EXPECT_EQ(scripted.Report().end, ShowEnd::kClockRanOut);
  EXPECT_EQ(scripted.Report().heldFrames, -1) << "the gentle mode is off";
  EXPECT_TRUE(scripted.ClosingLines().empty());
}

TEST(ShowSession, TheGentleModeCountsWhatItHeldBack) {
  ScratchDirectory scratch;
  WriteStandInData(scratch.path() / "data", 0);
  // Scene 9's shaken picture under the time filter flashes on every frame.
  std::vector<int32_t> times;
  for (int32_t t = 17900; t < 18500; t += 10) times.push_back(t);
  ShowSettings settings = Scripted(scratch.path() / "data", times);
  settings.reduceFlashes = true;
  UseHeadlessConsole();
  ShowSession session(settings);
  std::string error;
  ASSERT_TRUE(session.Open(error)) << error;
  session.Run([] {});
  session.Finish();
  EXPECT_EQ(session.Report().frames, static_cast<int>(times.size()));
  EXPECT_GT(session.Report().heldFrames, 0);
  EXPECT_LT(session.Report().heldFrames, session.Report().frames);
}

TEST(ShowSession, AnUnreadablePictureStopsAnExportButOnlyBlackensTheShow) {
  ScratchDirectory scratch;
  WriteStandInData(scratch.path() / "data", 0);
  std::filesystem::remove(scratch.path() / "data" / "zul_160x100.raw");
  const std::string path = (scratch.path() / "data").string() + "//zul_160x100.raw";

  ShowSettings strict = Scripted(scratch.path() / "data", {1000});
  strict.picturesRequired = true;
  HeadlessBackend* screen = UseHeadlessConsole();
  ShowSession exported(strict);
  std::string error;
  EXPECT_FALSE(exported.Open(error));
  EXPECT_EQ(error, "The picture file " + path + " could not be read.");
  EXPECT_TRUE(screen->Restored()) << "the console is given back before the message";

  UseHeadlessConsole();
  ShowSession shown(Scripted(scratch.path() / "data", {1000}));
  ASSERT_TRUE(shown.Open(error)) << error;
  shown.Run([] {});
  shown.Finish();
  EXPECT_EQ(shown.ClosingLines(),
            std::vector<std::string>{"The picture file " + path + " could not be read; the show drew it black."});
}

TEST(ShowSession, ADataFolderThatIsNotOneIsNamed) {
  ScratchDirectory scratch;
  WriteBytes((scratch.path() / "file").string(), {1});
  UseHeadlessConsole();
  ShowSession session(Scripted(scratch.path() / "file", {1000}));
  std::string error;
  EXPECT_FALSE(session.Open(error));
  EXPECT_NE(error.find((scratch.path() / "file").string()), std::string::npos) << error;
  EXPECT_NE(error.find("not a directory"), std::string::npos) << error;
}

// The web page starts the show from a click, whatever became of its preparation: a session
// that was not prepared, or whose preparation failed, refuses to start and shows nothing.
TEST(ShowSession, StartsOnlyOncePrepared) {
  ScratchDirectory scratch;
  WriteStandInData(scratch.path() / "data", 0);
  std::string error;
  UseHeadlessConsole();
  ShowSession unprepared(Scripted(scratch.path() / "data", {1000}));
  EXPECT_FALSE(unprepared.Start(error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(unprepared.Step());

  WriteBytes((scratch.path() / "data" / "8920.mp3").string(), {'n', 'o', 't'});
  UseHeadlessConsole();
  ShowSettings withMusic = Scripted(scratch.path() / "data", {});
  withMusic.times.reset();
  ShowSession failed(withMusic);
  ASSERT_FALSE(failed.Prepare(error));
  error.clear();
  EXPECT_FALSE(failed.Start(error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(failed.Step());
}

// "DIR" and "DIR/" are one folder: the paths a session reads and names are the same for both,
// for the built-in show's data ("DIR//NAME", as it has always named them) and a show's folder.
TEST(ShowSession, AFolderWithOrWithoutATrailingSlashNamesTheSameFiles) {
  ScratchDirectory scratch;
  WriteStandInData(scratch.path() / "data", 0);
  std::filesystem::remove(scratch.path() / "data" / "zul_160x100.raw");
  const std::string data = (scratch.path() / "data").string();
  const auto namesOf = [](const std::string& dataDir, const std::string& showDir) {
    UseHeadlessConsole();
    ShowSession session({.seed = 7, .times = std::vector<int32_t>{1000}, .dataDir = dataDir, .showDir = showDir});
    std::string error;
    EXPECT_TRUE(session.Open(error)) << error;
    std::vector<std::string> names = session.ClosingLines();
    names.push_back(session.MusicFile());
    session.Finish();
    return names;
  };
  const std::vector<std::string> plain = namesOf(data, "");
  EXPECT_EQ(plain, (std::vector<std::string>{UnreadablePictureLine(data + "//zul_160x100.raw", true), data + "//8920.mp3"}));
  EXPECT_EQ(namesOf(data + "/", ""), plain);
  EXPECT_EQ(namesOf(data + "//", ""), plain);

  const std::string show = std::string(QVL_SOURCE_DIR) + "/shows/lanterns";
  const std::vector<std::string> own = namesOf("", show);
  ASSERT_EQ(own.size(), 1u);
  EXPECT_EQ(own[0].rfind(show + "/", 0), 0u) << own[0];
  EXPECT_EQ(own[0].find("//"), std::string::npos) << own[0];
  EXPECT_EQ(namesOf("", show + "/"), own);
  // The root is the one folder that keeps its slash.
  EXPECT_EQ(JoinPath("/", "a.raw", kDataPathSeparator), "/a.raw");
}

}  // namespace
