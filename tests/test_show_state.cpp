// The show's state and its one owner: each effect starts over after its reset, a second session
// in one process draws what the first drew, and the frame after SeekTo(T) is the one an export
// of 0:T ends on (the built-in show, Lanterns, the gentle mode, the capture tool itself).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "capture_run.h"
#include "demo/frame.h"
#include "demo/picture_encode.h"
#include "demo/show_script.h"
#include "demo/show_session.h"
#include "demo/show_state.h"
#include "demo_test_support.h"
#include "effects/dot_cube.h"
#include "effects/plasma.h"
#include "effects/sparkles.h"
#include "effects/starfield.h"
#include "effects/swarm.h"
#include "effects/text_lines.h"
#include "effects/water_ripples.h"
#include "quorvel4/random.h"
#include "quorvel4/sync_points.h"
#include "random_draws.h"

namespace {

namespace fs = std::filesystem;
const std::string kLanterns = std::string(QVL_SOURCE_DIR) + "/shows/lanterns";
// Lanterns draws its river in the script, eight times slower under the sanitizers: there its
// runs stop after the first scenes, past the times at which leftover state showed (4017 ms).
#ifdef QVL_SANITIZED
constexpr int32_t kLanternsSpan = 12000;
#else
constexpr int32_t kLanternsSpan = 51000;
#endif
const std::string kBuiltInData = std::string(QVL_SOURCE_DIR) + "/data";

uint64_t Hash(uint64_t hash, const void* data, size_t size) {
  for (size_t i = 0; i < size; ++i) hash = (hash ^ static_cast<const uint8_t*>(data)[i]) * 1099511628211u;
  return hash;
}
constexpr uint64_t kHashStart = 14695981039346656037u;
uint64_t FrameHash(const std::vector<Cell>& cells) { return Hash(kHashStart, cells.data(), cells.size() * 2); }

// ---------------------------------------------------------------- each effect's reset

uint64_t gDrawn = kHashStart;
void FrameDone() {
  gDrawn = Hash(Hash(gDrawn, Canvas, sizeof Canvas), CellScreen, sizeof CellScreen);
  std::memset(Canvas, 0, sizeof Canvas);
  std::memset(CellScreen, 0, sizeof CellScreen);
}
uint64_t Drawn(void (*frames)()) {
  SeedRandom(99);
  gDrawn = kHashStart;
  frames();
  return gDrawn;
}

struct StatefulEffect {
  const char* name;
  void (*reset)();
  void (*frames)();  // a few frames, each ended by FrameDone, that show what is carried over
};
const StatefulEffect kStatefulEffects[] = {
    {"the plasmas' drifts", ResetPlasma, [] { DrawPlasma(1000); FrameDone(); DrawBluePlasma(1016); FrameDone(); }},
    // Stars move in proportion to the time, so a second run alone would put them back; the long
    // step makes most pass the viewer and be placed anew.
    {"the starfield", ResetStarfield, [] { DrawStarfield(500); FrameDone(); DrawStarfield(8000); FrameDone(); }},
    // InitSparkles leaves the angles and places as they were: the first frame shows them.
    {"the sparkles", ResetSparkles, [] { InitSparkles(); DrawSparkles(); FrameDone(); MoveSparkles(); DrawSparkles(); FrameDone(); }},
    {"the swarm", ResetSwarm, [] { InitSwarm(); DrawSwarm(); FrameDone(); MoveSwarm(); DrawSwarm(); FrameDone(); }},
    // 4050 draws the lines where they were; 8150, 8160 and 8170 move them, the second pair every
    // other time.
    {"the text lines", ResetTextLines, [] { for (int32_t t : {4050, 8150, 8160, 8170}) { DrawTextLines(t); FrameDone(); } }},
    {"the ripples", ResetWaterRipples, [] { for (int32_t t : {1000, 1016}) { DrawWaterRipples(t); FrameDone(); } }},
};

TEST(ShowState, EveryEffectStartsOverAfterItsResetAndAfterTheShowsReset) {
  PrepareRippleFields();  // the start-up allocates them
  Show show;
  for (const StatefulEffect& effect : kStatefulEffects) {
    effect.reset();
    const uint64_t fresh = Drawn(effect.frames);
    EXPECT_NE(Drawn(effect.frames), fresh) << effect.name << ": nothing is carried over";
    // An odd number of runs before each reset, so that state alternating run by run shows too.
    Drawn(effect.frames);
    effect.reset();
    EXPECT_EQ(Drawn(effect.frames), fresh) << effect.name << " after its reset";
    Drawn(effect.frames);
    ResetShowState(show);
    EXPECT_EQ(Drawn(effect.frames), fresh) << effect.name << " after ResetShowState";
  }
}

TEST(ShowState, TheShowsResetClearsTheBuffersTheSyncPointsTheDotsAndTheLoopsRecord) {
  BuildDotPalette();
  MakeDotGrid();
  Canvas[5] = CanvasCopy[kCanvasPixels - 1] = 0x123456;
  CellScreen[7] = 0x0F41;
  const int32_t times[] = {100, 200};
  SetSyncPoints(times, 2);
  Show show;
  show.sceneIndex = 12;
  show.ended = true;
  show.failure = "show.js:3:1: Error";
  show.flashGuard = std::make_unique<FlashGuard>();
  Cell cells[kScreenCells];
  for (int k = 0; k < 60; ++k) {  // full-screen white and black every frame: soon held back
    std::fill(cells, cells + kScreenCells, k % 2 ? MakeCell(' ', kColourWhite, kColourWhite) : Cell{0});
    show.flashGuard->Filter(k * 17, cells);
  }
  ASSERT_GT(show.flashGuard->HeldFrames(), 0);

  ResetShowState(show);
  const auto zero = [](auto value) { return value == 0; };
  EXPECT_TRUE(std::all_of(Canvas, Canvas + kCanvasPixels, zero) && std::all_of(CellScreen, CellScreen + kScreenCells, zero) &&
              std::all_of(CanvasCopy, CanvasCopy + kCanvasPixels, zero));
  EXPECT_EQ(SyncPointCount(), 0);
  EXPECT_EQ(show.sceneIndex, 0);
  EXPECT_FALSE(show.ended);
  EXPECT_EQ(show.failure, "");
  ASSERT_NE(show.flashGuard, nullptr) << "the gentle mode stays on, with a fresh memory";
  EXPECT_EQ(show.flashGuard->HeldFrames(), 0);
  DrawDotCube(1000);
  EXPECT_TRUE(std::all_of(Canvas, Canvas + kCanvasPixels, zero)) << "no dots until the start-up builds them";
}

// ---------------------------------------------------------------- whole showings and seeks

std::vector<int32_t> GridTimes(int32_t last, int32_t before = INT32_MAX) {
  std::vector<int32_t> times;
  for (int64_t k = 0, t; (t = GridFrameTime(0, k, 60)) <= last && t < before; ++k) times.push_back(static_cast<int32_t>(t));
  return times;
}

ShowSettings Settings(const std::string& showDir, uint32_t seed, std::vector<int32_t> times, bool gentle = false) {
  return {.seed = seed, .times = std::move(times), .reduceFlashes = gentle, .dataDir = showDir.empty() ? kBuiltInData : "",
          .showDir = showDir, .picturesRequired = true};
}

struct Exported {
  std::vector<int32_t> times;
  std::vector<uint64_t> hashes;
  std::vector<int> held;  // frames held back so far, after each frame
  ShowEnd end = ShowEnd::kRunning;
};

// Every frame of the settings' times as an export presents it.
Exported Export(const ShowSettings& settings) {
  HeadlessBackend* screen = UseHeadlessConsole();
  ShowSession session(settings);
  std::string error;
  Exported out;
  EXPECT_TRUE(session.Open(error)) << error;
  while (session.Step()) {
    out.times.push_back(session.Report().lastTime);
    out.hashes.push_back(FrameHash(screen->LastFrame()));
    out.held.push_back(session.Report().heldFrames);
  }
  out.end = session.Report().end;
  return out;
}

void ExpectSameFrames(const Exported& first, const Exported& again) {
  EXPECT_NE(first.end, ShowEnd::kFailed);
  EXPECT_EQ(again.end, first.end);
  ASSERT_EQ(again.hashes.size(), first.hashes.size());
  const auto part = std::mismatch(first.hashes.begin(), first.hashes.end(), again.hashes.begin()).first;
  EXPECT_EQ(part, first.hashes.end()) << "they part at " << first.times[part - first.hashes.begin()] << " ms";
}

TEST(ShowState, TheBuiltInShowTwiceInOneProcessDrawsTheSameFrames) {
  const Exported first = Export(Settings("", 1, GridTimes(124000)));
  EXPECT_EQ(first.times.size(), 7423u);
  EXPECT_EQ(first.end, ShowEnd::kLastScene);
  ExpectSameFrames(first, Export(Settings("", 1, GridTimes(124000))));
}

TEST(ShowState, LanternsTwiceInOneProcessDrawsTheSameFrames) {
  const Exported first = Export(Settings(kLanterns, 1, GridTimes(kLanternsSpan)));
  // The frame at 50000 ms is the blank one that ends the show.
  EXPECT_EQ(first.times.size(), static_cast<size_t>(std::min(kLanternsSpan, 50000) * 60 / 1000 + 1));
  // A run cut short (under the sanitizers) ends with its clock.
  EXPECT_EQ(first.end, kLanternsSpan > 50000 ? ShowEnd::kLastScene : ShowEnd::kClockRanOut);
  ExpectSameFrames(first, Export(Settings(kLanterns, 1, GridTimes(kLanternsSpan))));
}

// The built-in show leaves other sync points (none), ripples and draws behind than Lanterns.
TEST(ShowState, AnotherShowInBetweenChangesNothing) {
  const Exported first = Export(Settings(kLanterns, 12345, GridTimes(kLanternsSpan)));
  EXPECT_EQ(Export(Settings("", 12345, GridTimes(124000))).end, ShowEnd::kLastScene);
  ExpectSameFrames(first, Export(Settings(kLanterns, 12345, GridTimes(kLanternsSpan))));
}

// A session for seeking, made after the exports it is compared with (each sets up a console).
struct Seeker {
  HeadlessBackend* screen = UseHeadlessConsole();
  ShowSession session;
  explicit Seeker(const ShowSettings& settings) : session(settings) {
    std::string error;
    EXPECT_TRUE(session.Open(error)) << error;
  }
  // What SeekTo(t) presented: one frame, or 0 for none.
  uint64_t Seek(int32_t t) {
    const int before = screen->PresentCount();
    EXPECT_TRUE(session.SeekTo(t)) << t << " ms: " << session.State().failure;
    return screen->PresentCount() == before + 1 ? FrameHash(screen->LastFrame()) : 0;
  }
};

TEST(Seek, TheBuiltInShowIsTheLastFrameOfAnExportUpToTheTimeForwardAndBack) {
  const Exported exported = Export(Settings("", 7, GridTimes(124000)));
  ASSERT_EQ(exported.times.size(), 7423u);
  Seeker seeker(Settings("", 7, {}));
  // From the first frame to the blank one that ends the show.
  for (size_t k : {6000u, 1u, 2017u, 0u, 7422u, 600u})
    EXPECT_EQ(seeker.Seek(exported.times[k]), exported.hashes[k]) << exported.times[k] << " ms";
  // Past the end nothing is shown and the show has ended; a seek back plays again.
  const int presented = seeker.screen->PresentCount();
  EXPECT_FALSE(seeker.session.SeekTo(124000));
  EXPECT_EQ(seeker.session.Report().end, ShowEnd::kLastScene);
  EXPECT_EQ(seeker.screen->PresentCount(), presented);
  EXPECT_EQ(seeker.Seek(exported.times[600]), exported.hashes[600]);
  EXPECT_EQ(seeker.session.Report().end, ShowEnd::kRunning);
}

// Between grid times the grid's frames before t are replayed, then t's own.
TEST(Seek, BetweenGridTimesTheGridBeforeItIsReplayed) {
  std::vector<uint64_t> last;
  for (int32_t t : {33619, 5}) {
    std::vector<int32_t> times = GridTimes(t, t);
    times.push_back(t);
    last.push_back(Export(Settings("", 1, times)).hashes.back());
  }
  Seeker seeker(Settings("", 1, {}));
  EXPECT_EQ(seeker.Seek(33619), last[0]);
  EXPECT_EQ(seeker.Seek(5), last[1]);
}

// The guard sees every replayed frame, so it holds back what the export held back.
TEST(Seek, TheGentleModeHoldsBackWhatTheExportHeldBack) {
  const Exported exported = Export(Settings("", 1, GridTimes(40000), true));
  std::vector<size_t> held;
  for (size_t k = 1; k < exported.times.size() && held.size() < 3; ++k)
    if (exported.held[k] > exported.held[k - 1]) held.push_back(k);
  ASSERT_EQ(held.size(), 3u) << "seed 1 flashes before 40 s";
  Seeker seeker(Settings("", 1, {}, true));
  for (size_t k : held) {
    EXPECT_EQ(seeker.Seek(exported.times[k]), exported.hashes[k]) << exported.times[k] << " ms";
    EXPECT_EQ(seeker.session.Report().heldFrames, exported.held[k]);
  }
}

// Lanterns keeps state in its script (its steppers) and reads sync points.
TEST(Seek, LanternsIsTheLastFrameOfAnExportUpToTheTime) {
#ifdef QVL_SANITIZED
  const std::vector<int32_t> seeks = {12000, 4100, 8100};
#else
  const std::vector<int32_t> seeks = {43000, 8100, 26000};
#endif
  const Exported exported = Export(Settings(kLanterns, 1, GridTimes(seeks.front())));
  Seeker seeker(Settings(kLanterns, 1, {}));
  for (int32_t t : seeks) {
    const size_t k = std::find(exported.times.begin(), exported.times.end(), t) - exported.times.begin();
    EXPECT_EQ(seeker.Seek(t), exported.hashes.at(k)) << t << " ms";
  }
}

TEST(Seek, TheFrameIsTheOneTheCaptureToolEndsOn) {
  ScratchDirectory scratch;
  const std::string out = scratch.File("frames.cells");
  const ToolRun run = Capture("--seed 12345 --data " + kBuiltInData + " --times 0:20000 --format cells --out " + out, scratch);
  ASSERT_EQ(run.status, 0) << run.errors;
  const std::string bytes = ReadAll(out);
  ASSERT_EQ(bytes.size(), 1201u * kScreenCells * 2);
  Seeker seeker(Settings("", 12345, {}));
  // The file holds each cell's character, then its attribute: the cells' bytes on this machine.
  EXPECT_EQ(seeker.Seek(20000), Hash(kHashStart, bytes.data() + bytes.size() - kScreenCells * 2, kScreenCells * 2));
}

// A show that counts its frames in a global and prints what it read from its files.
struct CountingShow {
  ScratchDirectory scratch;
  fs::path dir = scratch.path() / "show";
  explicit CountingShow(const std::string& script) {
    fs::create_directories(dir);
    std::ofstream(dir / "show.js") << script;
    std::ofstream(dir / "words.txt") << "first words";
    std::ofstream(dir / "sync.txt") << "2\na\n100\nb\n200\n";
    std::string error;
    EXPECT_TRUE(WritePngFile((dir / "pic.png").string(), std::vector<uint8_t>(160 * 100 * 3, 90), 160, 100, error));
  }
};

// The characters of the first `count` cells.
std::string Characters(const HeadlessBackend& screen, size_t count) {
  std::string text;
  for (size_t i = 0; i < count; ++i) text += static_cast<char>(CellCharacter(screen.LastFrame()[i]));
  return text;
}

// The script starts over with what it read the first time; a failing scene stops a seek, and a
// later seek plays again; the first frame finds the start-up's loading lines in the cells.
TEST(Seek, TheScriptStartsOverWithWhatItReadTheFirstTime) {
  CountingShow show(
      "Picture('p', 'pic.png'); SyncPoints('sync.txt'); var words = Text('words.txt'); var frames = 0;\n"
      "Scene(-1, 100000, 1, function (t) {\n"
      "  frames++;\n  if (t > 5000) throw new Error('past five seconds');\n"
      "  if (t > 0) { BlitImage('p'); Convert2x2(); }\n"
      "  PrintAt(0, 0, words + ' ' + frames + ' ' + SyncPointCount() + ' ' + GetPixel(0, 0));\n"
      "  return true;\n"
      "});\n");
  const Exported first = Export(Settings(show.dir.string(), 3, {0}));
  Seeker seeker(Settings(show.dir.string(), 3, {}));
  EXPECT_EQ(seeker.Seek(0), first.hashes.at(0));
  EXPECT_EQ(seeker.screen->LastFrame()[5 + 80 * 5], MakeCell('l', kColourWhite, kColourBlack)) << "loading music";
  // Frames 0 to 60 of the grid (0 to 983 ms), then 1000 itself; the files changed or gone.
  std::ofstream(show.dir / "words.txt") << "other words";
  fs::remove(show.dir / "pic.png");
  fs::remove(show.dir / "sync.txt");
  for (int i = 0; i < 2; ++i) {
    ASSERT_NE(seeker.Seek(1000), 0u);
    EXPECT_EQ(Characters(*seeker.screen, 24), "first words 61 2 5921370");
  }
  EXPECT_FALSE(seeker.session.SeekTo(8000));
  EXPECT_EQ(seeker.session.Report().end, ShowEnd::kFailed);
  EXPECT_NE(seeker.session.State().failure.find("past five seconds"), std::string::npos);
  ASSERT_NE(seeker.Seek(500), 0u);
  EXPECT_EQ(Characters(*seeker.screen, 24), "first words 31 2 5921370");
}

// Its pictures would be the wrong ones.
TEST(Seek, AProgramThatDeclaresOtherFilesWhenRunAgainIsRefused) {
  CountingShow show("if (Random() % 2 == 0) Picture('p', 'pic.png');\nScene(0, 1000, 1, function (t) {});\n");
  uint32_t seed = 0;
  while (DrawReplay(seed).Next() % 2 != 0) ++seed;
  SeedRandom(seed);
  ShowScript script;
  std::string error;
  std::vector<std::string> unreadable;
  ASSERT_TRUE(LoadShowFolder(script, show.dir.string(), error) && script.ReadFiles(false, unreadable, error)) << error;
  SeedRandom(seed);
  EXPECT_TRUE(script.Restart(error)) << error;
  EXPECT_EQ(script.Pictures().at(0).pixels.size(), 16000u);
  while (DrawReplay(seed).Next() % 2 == 0) ++seed;
  SeedRandom(seed);
  EXPECT_FALSE(script.Restart(error));
  EXPECT_NE(error.find("declared other files than the first time"), std::string::npos) << error;
}

}  // namespace
