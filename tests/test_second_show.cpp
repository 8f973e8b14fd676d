// The second show, shows/lanterns, made with the kit alone: played through the session every
// program uses, at 60 frames a second from its first frame to the one that ends it. Its frames
// are compared with recorded ones, so a change to an effect, the converter, the script engine or
// a binding that alters what a show of one's own draws shows up here, scene by scene; and a
// reader of the frames apart from the show's own flash counter checks that it never strobes.
//
// The effects keep state from frame to frame (the ripples, the swarm, the plasma's drift), so
// the recorded frames hold for a run from program start, one test a process, as CTest runs them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "demo/flash_rule.h"
#include "demo/show_session.h"
#include "demo_test_support.h"
#include "flash_dating_reader.h"
#include "quorvel4/console.h"
#include "quorvel4/sync_points.h"

namespace {

const std::string kShowDir = std::string(QVL_SOURCE_DIR) + "/shows/lanterns";

// FNV-1a over a frame's bytes as `quorvel4-capture --format cells` writes them (character, then
// attribute), so that hashing that file gives the whole run's value below.
constexpr uint64_t kFnvStart = 14695981039346656037u;
uint64_t FnvAdd(uint64_t hash, const std::vector<Cell>& cells) {
  for (Cell cell : cells)
    for (uint8_t byte : {CellCharacter(cell), CellAttribute(cell)}) hash = (hash ^ byte) * 1099511628211u;
  return hash;
}

// Frame k of 60 a second shows the time nearest k / 60 s, as the capture tool times them.
int32_t FrameTime(int k) { return (k * 2000 + 60) / 120; }

struct RecordedFrame {
  int32_t t;
  const char* what;
  uint64_t hash;
};

// One frame of every scene, seed 1, recorded from the show as it was committed (and the same
// as `quorvel4-capture --show shows/lanterns --seed 1 --times 0:51000 --format cells` gives).
constexpr RecordedFrame kRecordedFrames[] = {
    {1500, "the title fading in (the script darkens every pixel)", 0x25b9bd0af8d19481},
    {6000, "the lantern rising through the starfield", 0x60285431e35848f1},
    {8100, "the river just after the sync point: the glow", 0xa5a7f24cb466a1fa},
    {12000, "the river, the script's own effect, every pixel set by it", 0x1d745f33261899e0},
    {18000, "the banner, 480 pixels wide, sliding over the blue plasma", 0x08f1910e3df9d8d1},
    {22000, "the spiral in the cells", 0xc8e20d77bcad1fce},
    {26000, "the lantern over the ripples, tinted by the script", 0x1719af5333d0a770},
    {31000, "the dot cube and the swarm hurrying towards the next sync point", 0x75fecc38f0c7847d},
    {34000, "the title in the big font over the converted plasma", 0x0e8eb941ac1a6f69},
    {38000, "the pinwheel with the bar and beat from Row(t)", 0x90847e46fba5128f},
    {43000, "the credits from credits.txt over the moon and the glints", 0x5f1f5b3dd255da1c},
    {49000, "the last scene: the title fading out", 0x882eff2360ac53d0},
};
constexpr uint64_t kWholeRunHash = 0x74afd1b1f67ab9c0;
constexpr int kFrames = 3001;  // 0 to 50000 ms; the frame at 50000 is blank and ends the show

struct ShowRun {
  bool opened = false;
  std::string error;
  std::vector<int32_t> times;
  std::vector<uint64_t> hashes;
  uint64_t whole = kFnvStart;
  ShowReport report;
  FlashDatingReader::Reading flashes;
  std::vector<Cell> lastFrame;
  int32_t syncPoints = 0;
};

// The whole show once a process: both tests read the same run.
const ShowRun& WholeShow() {
  static const ShowRun run = [] {
    ShowRun r;
    std::vector<int32_t> times;
    for (int k = 0; FrameTime(k) <= 51000; ++k) times.push_back(FrameTime(k));
    HeadlessBackend* screen = UseHeadlessConsole();
    ShowSettings settings{.seed = 1, .times = times, .reduceFlashes = false, .dataDir = {}, .showDir = kShowDir,
                          .picturesRequired = true};
    ShowSession session(settings);
    r.opened = session.Open(r.error);
    if (!r.opened) return r;
    r.syncPoints = SyncPointCount();
    FlashDatingReader reader;
    while (session.Step()) {
      r.times.push_back(session.Report().lastTime);
      r.hashes.push_back(FnvAdd(kFnvStart, screen->LastFrame()));
      r.whole = FnvAdd(r.whole, screen->LastFrame());
      reader.Take(session.Report().lastTime, screen->LastFrame().data());
    }
    r.report = session.Report();
    r.lastFrame = screen->LastFrame();
    r.flashes = reader.Read();
    session.Finish();
    return r;
  }();
  return run;
}

}  // namespace

TEST(SecondShow, EverySceneDrawsItsRecordedFrameAndTheShowEndsAfterItsLastScene) {
  const ShowRun& run = WholeShow();
  ASSERT_TRUE(run.opened) << run.error;
  // It ends by the end rule, at the first frame past its last scene's window (50000 excluded).
  EXPECT_EQ(run.report.end, ShowEnd::kLastScene);
  ASSERT_EQ(run.report.frames, kFrames);
  EXPECT_EQ(run.report.lastTime, 50000);
  // The first frame (t = 0) and the last lie in no window: nothing drawn, every cell black.
  EXPECT_TRUE(std::all_of(run.lastFrame.begin(), run.lastFrame.end(), [](Cell c) { return CellAttribute(c) == 0; }));
  EXPECT_EQ(run.hashes.back(), run.hashes.front());
  EXPECT_EQ(run.syncPoints, 8) << "sync.txt";

  for (const RecordedFrame& frame : kRecordedFrames) {
    const auto at = std::find(run.times.begin(), run.times.end(), frame.t);
    ASSERT_NE(at, run.times.end()) << frame.t << " ms is no frame time at 60 a second";
    const uint64_t hash = run.hashes[static_cast<size_t>(at - run.times.begin())];
    EXPECT_EQ(hash, frame.hash) << frame.t << " ms, " << frame.what << ": 0x" << std::hex << hash;
  }
  EXPECT_EQ(run.whole, kWholeRunHash) << "every frame: 0x" << std::hex << run.whole;
}

TEST(SecondShow, NeverFlashesMoreThanThreeTimesASecondWithoutTheGentleMode) {
  const ShowRun& run = WholeShow();
  ASSERT_TRUE(run.opened) << run.error;
  ASSERT_EQ(run.report.frames, kFrames);
  EXPECT_EQ(run.report.heldFrames, -1) << "the gentle mode is off";
  for (int dating = 0; dating < FlashDatingReader::kDatings; ++dating) {
    EXPECT_EQ(run.flashes.windowsOver[dating], 0) << "dating " << dating;
    EXPECT_LT(run.flashes.most[dating], kTooManyTransitions) << "dating " << dating;
  }
}
