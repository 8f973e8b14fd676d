// Seeking: the frame shown after SeekTo(T) is the frame an export of 0:T ends on, for the
// built-in show and for Lanterns, in the gentle mode too, seek after seek in either direction;
// the script's own globals start over, and no file is read again.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "capture_run.h"
#include "demo/frame.h"
#include "demo/picture_encode.h"
#include "demo/show_script.h"
#include "demo/show_session.h"
#include "demo_test_support.h"
#include "quorvel4/console.h"
#include "quorvel4/random.h"
#include "random_draws.h"

namespace {

namespace fs = std::filesystem;

const std::string kLanterns = std::string(QVL_SOURCE_DIR) + "/shows/lanterns";
const std::string kBuiltInData = std::string(QVL_SOURCE_DIR) + "/data";

uint64_t FrameHash(const std::vector<Cell>& cells) {
  uint64_t hash = 14695981039346656037u;
  for (Cell cell : cells) hash = (hash ^ cell) * 1099511628211u;
  return hash;
}

std::vector<int32_t> GridTimes(int32_t last) {
  std::vector<int32_t> times;
  for (int64_t k = 0; GridFrameTime(0, k, 60) <= last; ++k) times.push_back(static_cast<int32_t>(GridFrameTime(0, k, 60)));
  return times;
}

ShowSettings Settings(const std::string& showDir, uint32_t seed, std::vector<int32_t> times, bool gentle = false) {
  ShowSettings settings;
  settings.seed = seed;
  settings.times = std::move(times);
  settings.reduceFlashes = gentle;
  settings.dataDir = showDir.empty() ? kBuiltInData : "";
  settings.showDir = showDir;
  settings.picturesRequired = true;
  return settings;
}

struct Exported {
  std::vector<int32_t> times;
  std::vector<uint64_t> hashes;
  std::vector<int> held;  // frames held back so far, after each frame
  uint64_t At(int32_t t) const {
    for (size_t k = 0; k < times.size(); ++k)
      if (times[k] == t) return hashes[k];
    ADD_FAILURE() << t << " ms was not exported";
    return 0;
  }
};

// Every frame of `times` as an export presents it.
Exported Export(const ShowSettings& settings) {
  HeadlessBackend* screen = UseHeadlessConsole();
  ShowSession session(settings);
  std::string error;
  Exported exported;
  if (!session.Open(error)) {
    ADD_FAILURE() << error;
    return exported;
  }
  while (session.Step()) {
    exported.times.push_back(session.Report().lastTime);
    exported.hashes.push_back(FrameHash(screen->LastFrame()));
    exported.held.push_back(session.Report().heldFrames);
  }
  return exported;
}

// A session opened for seeking (its scripted clock gives no times of its own). It sets up the
// console, so it is made after any export that the test compares with.
struct Seeker {
  HeadlessBackend* screen = UseHeadlessConsole();
  ShowSession session;
  explicit Seeker(const ShowSettings& settings) : session(settings) {
    std::string error;
    EXPECT_TRUE(session.Open(error)) << error;
  }
  // The hash of what SeekTo(t) presented; 0 when it presented nothing or more than one frame.
  uint64_t Seek(int32_t t) {
    const int before = screen->PresentCount();
    const bool shown = session.SeekTo(t);
    EXPECT_TRUE(shown) << t << " ms: " << session.State().failure;
    EXPECT_EQ(screen->PresentCount() - before, shown ? 1 : 0) << "only the frame of " << t << " ms is presented";
    return shown && screen->PresentCount() == before + 1 ? FrameHash(screen->LastFrame()) : 0;
  }
};

TEST(Seek, TheBuiltInShowAtAGridTimeIsTheLastFrameOfAnExportUpToIt) {
  const Exported exported = Export(Settings("", 7, GridTimes(124000)));
  ASSERT_EQ(exported.times.size(), 7423u);
  Seeker seeker(Settings("", 7, {}));
  // Forward and back, from the first frame to the blank one that ends the show.
  for (size_t k : {6000u, 1u, 600u, 2017u, 4500u, 0u, 7420u, 7422u, 600u}) {
    const int32_t t = exported.times[k];
    EXPECT_EQ(seeker.Seek(t), exported.hashes[k]) << "frame " << k << ", " << t << " ms";
    EXPECT_EQ(seeker.session.Report().lastTime, t);
    EXPECT_EQ(seeker.session.Report().end, ShowEnd::kRunning);
  }
  EXPECT_EQ(seeker.session.Report().frames, 9);
}

TEST(Seek, PastTheEndOfTheShowNothingIsShownAndTheShowHasEnded) {
  Seeker seeker(Settings("", 7, {}));
  const int before = seeker.screen->PresentCount();
  EXPECT_FALSE(seeker.session.SeekTo(124000));
  EXPECT_EQ(seeker.session.Report().end, ShowEnd::kLastScene);
  EXPECT_EQ(seeker.screen->PresentCount(), before);
  EXPECT_FALSE(seeker.session.Step());
  // A seek back into the show plays again.
  EXPECT_NE(seeker.Seek(50000), 0u);
  EXPECT_EQ(seeker.session.Report().end, ShowEnd::kRunning);
}

// Between two grid times the frames before it on the grid are replayed, then the frame of t:
// what an export of those times and t ends on.
TEST(Seek, BetweenGridTimesTheGridBeforeItIsReplayed) {
  const std::vector<int32_t> offGrid = {33619, 96301, 5};
  std::vector<uint64_t> last;
  for (int32_t t : offGrid) {
    std::vector<int32_t> times;
    for (int32_t grid : GridTimes(t))
      if (grid < t) times.push_back(grid);
    times.push_back(t);
    const Exported exported = Export(Settings("", 1, times));
    ASSERT_EQ(exported.times.back(), t);
    last.push_back(exported.hashes.back());
  }
  Seeker seeker(Settings("", 1, {}));
  for (size_t i = 0; i < offGrid.size(); ++i) EXPECT_EQ(seeker.Seek(offGrid[i]), last[i]) << offGrid[i] << " ms";
}

// The gentle mode's guard sees every replayed frame, so it holds back the same frames.
TEST(Seek, TheGentleModeHoldsBackWhatTheExportHeldBack) {
  const Exported exported = Export(Settings("", 1, GridTimes(40000), true));
  std::vector<size_t> held;
  for (size_t k = 1; k < exported.times.size() && held.size() < 3; ++k)
    if (exported.held[k] > exported.held[k - 1]) held.push_back(k);
  ASSERT_EQ(held.size(), 3u) << "seed 1 flashes before 40 s";
  held.push_back(exported.times.size() - 1);
  Seeker seeker(Settings("", 1, {}, true));
  for (size_t k : held) {
    EXPECT_EQ(seeker.Seek(exported.times[k]), exported.hashes[k]) << exported.times[k] << " ms";
    EXPECT_EQ(seeker.session.Report().heldFrames, exported.held[k]) << exported.times[k] << " ms";
  }
}

// Lanterns keeps state in its script (its steppers remember the last step) and reads sync points.
TEST(Seek, LanternsAtAGridTimeIsTheLastFrameOfAnExportUpToIt) {
  const Exported exported = Export(Settings(kLanterns, 1, GridTimes(43000)));
  Seeker seeker(Settings(kLanterns, 1, {}));
  for (int32_t t : {43000, 8100, 26000}) EXPECT_EQ(seeker.Seek(t), exported.At(t)) << t << " ms";
}

// The capture tool in a process of its own, against a seek in this one.
TEST(Seek, TheFrameIsTheOneTheCaptureToolEndsOn) {
  ScratchDirectory scratch;
  const std::string out = scratch.File("frames.cells");
  const ToolRun run =
      Capture("--seed 12345 --data " + kBuiltInData + " --times 0:20000 --format cells --out " + out, scratch);
  ASSERT_EQ(run.status, 0) << run.errors;
  const std::string bytes = ReadAll(out);
  ASSERT_EQ(bytes.size(), 1201u * kScreenCells * 2);
  std::vector<Cell> last(kScreenCells);
  const size_t start = bytes.size() - kScreenCells * 2;
  for (int i = 0; i < kScreenCells; ++i)
    last[i] = static_cast<Cell>(static_cast<uint8_t>(bytes[start + 2 * i]) |
                                static_cast<uint8_t>(bytes[start + 2 * i + 1]) << 8);
  Seeker seeker(Settings("", 12345, {}));
  EXPECT_EQ(seeker.Seek(20000), FrameHash(last));
}

void WriteText(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// A show that counts its frames in a global and prints what it read from its files.
struct CountingShow {
  ScratchDirectory scratch;
  fs::path dir = scratch.path() / "show";
  explicit CountingShow(const std::string& script) {
    fs::create_directories(dir);
    WriteText(dir / "show.js", script);
    WriteText(dir / "words.txt", "first words");
    WriteText(dir / "sync.txt", "2\na\n100\nb\n200\n");
    std::vector<uint8_t> rgb(160 * 100 * 3, 90);
    std::string error;
    EXPECT_TRUE(WritePngFile((dir / "pic.png").string(), rgb, 160, 100, error)) << error;
  }
};

constexpr const char* kCountingScript =
    "Picture('p', 'pic.png');\n"
    "SyncPoints('sync.txt');\n"
    "var words = Text('words.txt');\n"
    "var frames = 0;\n"
    "Scene(0, 100000, 1, function (t) {\n"
    "  frames++;\n"
    "  if (t > 5000) throw new Error('past five seconds');\n"
    "  BlitImage('p');\n"
    "  Convert2x2();\n"
    "  PrintAt(0, 0, words + ' ' + frames + ' ' + SyncPointCount() + ' ' + GetPixel(0, 0));\n"
    "  return true;\n"
    "});\n";

std::string TopLine(const HeadlessBackend& screen, size_t length) {
  std::string text;
  for (size_t i = 0; i < length; ++i) text += static_cast<char>(CellCharacter(screen.LastFrame()[i]));
  return text;
}

TEST(Seek, TheScriptStartsOverWithWhatItReadTheFirstTime) {
  CountingShow show(kCountingScript);
  Seeker seeker(Settings(show.dir.string(), 3, {}));
  // 0 < t excluded: frames 1 to 59 of the grid (17 to 983 ms), then 1000 itself.
  ASSERT_NE(seeker.Seek(1000), 0u);
  EXPECT_EQ(TopLine(*seeker.screen, 24), "first words 60 2 5921370");
  // The files changed or gone: the seek reads none of them.
  WriteText(show.dir / "words.txt", "other words");
  fs::remove(show.dir / "pic.png");
  fs::remove(show.dir / "sync.txt");
  ASSERT_NE(seeker.Seek(1000), 0u);
  EXPECT_EQ(TopLine(*seeker.screen, 24), "first words 60 2 5921370");
  ASSERT_NE(seeker.Seek(500), 0u);
  EXPECT_EQ(TopLine(*seeker.screen, 24), "first words 30 2 5921370");
}

// The start-up leaves its loading lines in the cells; a first frame that draws over only part
// of them shows the rest, after a seek as in an export.
TEST(Seek, TheFirstFrameShowsWhatTheStartUpLeftInTheCells) {
  CountingShow show("Scene(-1, 1000, 1, function (t) { PrintAt(5, 4, 'sought'); return true; });\n");
  const Exported exported = Export(Settings(show.dir.string(), 3, {0}));
  Seeker seeker(Settings(show.dir.string(), 3, {}));
  EXPECT_EQ(seeker.Seek(0), exported.hashes.at(0));
  EXPECT_EQ(TopLine(*seeker.screen, 5 + 80 * 5 + 13).substr(5 + 80 * 4), "soughtg images" + std::string(66, '\0') + "loading music");
}

TEST(Seek, AFailingSceneStopsTheSeekAndAnEarlierSeekPlaysAgain) {
  CountingShow show(kCountingScript);
  Seeker seeker(Settings(show.dir.string(), 3, {}));
  const int before = seeker.screen->PresentCount();
  EXPECT_FALSE(seeker.session.SeekTo(8000));
  EXPECT_EQ(seeker.session.Report().end, ShowEnd::kFailed);
  EXPECT_NE(seeker.session.State().failure.find("past five seconds"), std::string::npos)
      << seeker.session.State().failure;
  EXPECT_EQ(seeker.screen->PresentCount(), before);
  ASSERT_NE(seeker.Seek(1000), 0u);
  EXPECT_EQ(TopLine(*seeker.screen, 14), "first words 60");
  EXPECT_TRUE(seeker.session.State().failure.empty());
}

TEST(Seek, NothingIsShownBeforePrepareOrAfterFinish) {
  UseHeadlessConsole();
  ShowSession unprepared(Settings("", 1, {}));
  EXPECT_FALSE(unprepared.SeekTo(1000));
  Seeker seeker(Settings("", 1, {}));
  seeker.session.Finish();
  EXPECT_FALSE(seeker.session.SeekTo(1000));
}

// A program that declares other pictures when run again cannot start over: its pictures would
// be the wrong ones.
TEST(Seek, AProgramThatDeclaresOtherFilesTheSecondTimeIsRefused) {
  CountingShow show("if (Random() % 2 == 0) Picture('p', 'pic.png');\nScene(0, 1000, 1, function (t) {});\n");
  ShowScript script;
  std::string error;
  uint32_t seed = 0;
  while (DrawReplay(seed).Next() % 2 != 0) ++seed;
  SeedRandom(seed);
  ASSERT_TRUE(LoadShowFolder(script, show.dir.string(), error)) << error;
  std::vector<std::string> unreadable;
  ASSERT_TRUE(script.ReadFiles(false, unreadable, error)) << error;
  ASSERT_EQ(script.Pictures().size(), 1u);

  SeedRandom(seed);
  EXPECT_TRUE(script.Restart(error)) << error;
  EXPECT_EQ(script.Pictures()[0].pixels.size(), 16000u) << "the pixels read the first time";
  while (DrawReplay(seed).Next() % 2 == 0) ++seed;
  SeedRandom(seed);
  EXPECT_FALSE(script.Restart(error));
  EXPECT_NE(error.find("declared other files than the first time"), std::string::npos) << error;
}

}  // namespace
