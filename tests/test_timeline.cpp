#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <set>
#include <memory>
#include <vector>

#include "demo/demo_main.h"
#include "demo/frame.h"
#include "demo/show_script.h"
#include "demo/show_session.h"
#include "demo/timeline.h"
#include "demo_test_support.h"
#include "random_draws.h"
#include "quorvel4/console.h"
#include "quorvel4/random.h"

namespace {

// A prepared show with every picture filled with a pattern of its own. The preparation takes
// a while, so one show serves a whole test, reset for every use.
Show* MakeShow(int32_t sceneIndex = 0) {
  static std::unique_ptr<Show> shared;
  if (shared) {
    shared->sceneIndex = sceneIndex;
    shared->ended = false;
    std::memset(Canvas, 0, sizeof Canvas);
    std::memset(CellScreen, 0, sizeof CellScreen);
    return shared.get();
  }
  // The real preparation (tables, ripple fields, sparkles, swarm, dot cube) on stand-in pictures.
  static ScratchDirectory scratch;
  WriteStandInData(scratch.path(), 0);
  if (ActiveConsoleBackend() == nullptr) UseHeadlessConsole();
  shared = std::make_unique<Show>();
  PrepareShow(*shared, scratch.path().string());
  if (!shared->unreadablePictures.empty()) std::abort();
  return MakeShow(sceneIndex);
}

const Pixel* PictureOf(const Show& show, const char* name) { return show.script->FindPicture(name)->pixels.data(); }

// A value of the built-in show's script, evaluated in its global scope.
std::string InScript(Show& show, const std::string& expression) {
  std::string value;
  ScriptError error;
  EXPECT_TRUE(show.script->Engine().Evaluate(expression, value, error)) << error.Text();
  return value;
}

bool CanvasHolds(const Pixel* picture) { return std::equal(Canvas, Canvas + kCanvasPixels, picture); }

bool CanvasIsBlack() { return std::all_of(Canvas, Canvas + kCanvasPixels, [](Pixel p) { return p == 0; }); }
}  // namespace

TEST(Timeline, TimesOnOrOutsideTheBoundsDrawNothing) {
  for (int32_t t : {-5000, -1, 0, 701, 1356, 123689, 200000}) {
    auto show = MakeShow(12);
    EXPECT_FALSE(RunScene(t, *show)) << t;
    EXPECT_EQ(show->sceneIndex, kNoScene) << t;
    EXPECT_FALSE(show->ended) << t;
    EXPECT_TRUE(CanvasIsBlack()) << t;
  }
}

TEST(Timeline, ScenesAtTheirBounds) {
  struct Case {
    int32_t t, scene;
    bool converted;
  };
  for (const Case c : {Case{1, 0, false}, Case{700, 0, false}, Case{702, 1, false}, Case{13300, 6, true},
                       Case{13424, 6, true}, Case{13425, 7, true}, Case{16085, 7, true}, Case{18577, 9, true},
                       Case{18578, 9, false}, Case{26265, 10, false}, Case{26266, 10, true}, Case{27461, 10, true},
                       Case{27462, 10, false}, Case{95700, 2042, true}, Case{96300, 1042, true},
                       Case{122396, 47, false}}) {
    auto show = MakeShow();
    EXPECT_EQ(RunScene(c.t, *show), c.converted) << c.t;
    EXPECT_EQ(show->sceneIndex, c.scene) << c.t;
  }
}

TEST(Timeline, OpeningScenesDrawTheirPictures) {
  auto show = MakeShow();
  RunScene(300, *show);
  EXPECT_TRUE(CanvasHolds(PictureOf(*show, "qo")));

  show = MakeShow();
  RunScene(2000, *show);
  EXPECT_TRUE(CanvasHolds(PictureOf(*show, "osmir")));
}

TEST(Timeline, TheSecondPictureShakesForTheLastTwentyMillisecondsOfEach160) {
  struct Case {
    int32_t t;
    bool shakes;
  };
  for (const Case c : {Case{6720, false}, Case{6859, false}, Case{6860, true}, Case{6876, true}, Case{6879, true},
                       Case{6880, false}}) {
    auto show = MakeShow();
    SeedRandom(5);
    RunScene(c.t, *show);
    EXPECT_EQ(DrawsBetween(5, RandomState()), c.shakes ? 100 : 0) << c.t;
    if (!c.shakes) {
      EXPECT_TRUE(CanvasHolds(PictureOf(*show, "trelbo"))) << c.t;
    }
  }
}

TEST(Timeline, ShakingScenesDrawOncePerRow) {
  // Jittered pictures and the shaken Canvas copies: 100 draws a frame, whatever the shift.
  for (int32_t t : {702, 3954, 18000, 35000, 61700, 65000, 72000, 73010, 75452, 81829}) {
    auto show = MakeShow();
    SeedRandom(11);
    RunScene(t, *show);
    EXPECT_EQ(DrawsBetween(11, RandomState()), 100) << t;
  }
  // The shaken ripples let three drops fall first (2^(2000 / 1500) = 2.5), two draws each.
  auto ripples = MakeShow();
  SeedRandom(11);
  RunScene(77000, *ripples);
  EXPECT_EQ(DrawsBetween(11, RandomState()), 3 * 2 + 100);
  // Their plain frames draw nothing.
  for (int32_t t : {300, 2000, 73008, 75448, 81824}) {
    auto show = MakeShow();
    SeedRandom(11);
    RunScene(t, *show);
    EXPECT_EQ(RandomState(), 11u) << t;
  }
}

TEST(Timeline, RandomFillTakesThreeDrawsForOneColour) {
  SeedRandom(1234);
  const int first = Random(), second = Random(), third = Random();
  SeedRandom(1234);
  RandomFill();
  const Pixel expected = (first % 256) * 65536u + (second % 256) * 256u + (third % 256);
  EXPECT_TRUE(std::all_of(Canvas, Canvas + kCanvasPixels, [&](Pixel p) { return p == expected; }));
  EXPECT_EQ(DrawsBetween(1234, RandomState()), 3);
}

// The texts scroll one column every 16 and 13 ms: the whole-number quotients of the stretch under
// the texts by their widths (182 and 221 characters of 7 columns), not 16.39 and 13.5.
TEST(Timeline, TheTextsLengthsGiveWholeNumberScrollSpeeds) {
  auto show = MakeShow();
  EXPECT_EQ(InScript(*show, "[CREDITS.length, GREETINGS.length, CREDITS_SPEED, GREETINGS_SPEED].join()"), "182,221,16,13");
  // Nonsense lengths never give a speed of zero, which would divide by zero.
  EXPECT_EQ(InScript(*show, "scrollSpeed('') + ',' + scrollSpeed(new Array(5001).join('x'))"), "1,1");
}

// At 84007 both texts stand at their start; at 84022 both have moved one column; at 104890
// both have scrolled off (1305 and 1606 columns, beyond their widths).
TEST(Timeline, TheTextsScrollFromTheirStart) {
  auto show = MakeShow();
  RunScene(84007, *show);
  const std::vector<Cell> start(CellScreen, CellScreen + kScreenCells);
  show = MakeShow();
  RunScene(84022, *show);
  // The credits' first letter (column 70 at the start) is one column further left.
  const std::vector<Cell> moved(CellScreen, CellScreen + kScreenCells);
  auto column = [](const std::vector<Cell>& cells, int x, int y) { return cells[x + kScreenWidth * y]; };
  bool shifted = true;
  for (int y = 30; y < 42; ++y)
    for (int x = 70; x < 79; ++x) shifted = shifted && (column(start, x, y) == 0xFFDB) == (column(moved, x - 1, y) == 0xFFDB);
  EXPECT_TRUE(shifted);
  show = MakeShow();
  RunScene(104890, *show);
  EXPECT_TRUE(std::none_of(CellScreen, CellScreen + kScreenCells, [](Cell c) { return c == 0xFFDB || c == 0x11DB; }));
}

TEST(Timeline, WindowsFollowEachOtherWithoutGaps) {
  const std::vector<ShowSceneRow> windows = MakeShow()->script->Rows();
  ASSERT_EQ(windows.size(), 51u);
  EXPECT_EQ(windows.front().lower, 0);
  EXPECT_EQ(windows.back().upper, 123689);
  EXPECT_FALSE(windows.back().index.has_value());
  for (size_t i = 1; i < windows.size(); ++i) {
    EXPECT_LT(windows[i].lower, windows[i].upper);
    // Scene 7's window opens inside scene 6's; every other one opens where the last closed.
    if (windows[i].index == 7)
      EXPECT_EQ(windows[i].lower, 13245);
    else
      EXPECT_EQ(windows[i].lower, windows[i - 1].upper) << "row " << i;
  }
}

TEST(Timeline, TheShowEndsAfterTheLastScene) {
  auto show = MakeShow();
  RunScene(120000, *show);
  EXPECT_EQ(show->sceneIndex, kLastScene);
  EXPECT_TRUE(RunScene(123000, *show));  // the caption keeps SceneIndex
  EXPECT_EQ(show->sceneIndex, kLastScene);
  EXPECT_FALSE(show->ended);
  std::memset(Canvas, 0, sizeof Canvas);
  RunScene(123689, *show);
  EXPECT_TRUE(show->ended);
  EXPECT_TRUE(CanvasIsBlack());

  // A frame exactly on the caption's lower bound also ends it.
  show = MakeShow();
  RunScene(122000, *show);
  RunScene(122397, *show);
  EXPECT_TRUE(show->ended);
}

TEST(Timeline, AfterAStallPastTheLastSceneTheShowRunsOnBlank) {
  auto show = MakeShow();
  RunScene(110000, *show);
  RunScene(123000, *show);
  EXPECT_EQ(show->sceneIndex, 46);
  RunScene(123689, *show);
  EXPECT_FALSE(show->ended);
  EXPECT_EQ(show->sceneIndex, kNoScene);
  RunScene(130000, *show);
  EXPECT_FALSE(show->ended);
}

// The session's loop on the stand-in data, on a scripted clock of `times`; the loading lines
// it presents before the first frame are not counted.
struct LoopRun {
  ScratchDirectory scratch;
  HeadlessBackend* screen = nullptr;
  std::unique_ptr<ShowSession> session;
  int before = 0;

  explicit LoopRun(std::vector<int32_t> times) {
    WriteStandInData(scratch.path(), 0);
    screen = UseHeadlessConsole();
    session = std::make_unique<ShowSession>(ShowSettings{.seed = 1, .times = std::move(times), .dataDir = scratch.path().string()});
    std::string error;
    EXPECT_TRUE(session->Open(error)) << error;
    before = screen->PresentCount();
  }
  int Presented() const { return screen->PresentCount() - before; }
};

TEST(FrameLoop, PresentsEveryFrameClearsAndStopsAtTheEnd) {
  LoopRun run({300, 120000, 123689, 123700});
  int pauses = 0;
  run.session->Run([&] { ++pauses; });
  // The frame that ends the show is still presented; the one after it is not run.
  EXPECT_EQ(run.Presented(), 3);
  EXPECT_EQ(pauses, 3);
  EXPECT_EQ(run.session->Report().end, ShowEnd::kLastScene);
  EXPECT_TRUE(CanvasIsBlack());
  EXPECT_TRUE(std::all_of(CellScreen, CellScreen + kScreenCells, [](Cell c) { return c == 0; }));
  // The last frame shows the conversion of a black Canvas.
  const Cell black = run.screen->LastFrame()[0];
  EXPECT_TRUE(std::all_of(run.screen->LastFrame().begin(), run.screen->LastFrame().end(), [&](Cell c) { return c == black; }));
}

// One pass at a time, as a browser's animation frames run it: a waiting key and the clock's
// end stop it before anything more is presented.
TEST(FrameLoop, AWaitingKeyOrTheClocksEndStopsBeforeTheNextFrame) {
  LoopRun keyed({300, 400, 500});
  keyed.session->Run([&] { keyed.screen->PressKey(); });
  EXPECT_EQ(keyed.Presented(), 1);
  EXPECT_EQ(keyed.session->Report().end, ShowEnd::kKey);

  LoopRun timed({300, 400});
  EXPECT_TRUE(timed.session->Step());
  EXPECT_TRUE(timed.session->Step());
  EXPECT_FALSE(timed.session->Step());
  EXPECT_EQ(timed.Presented(), 2);
  EXPECT_EQ(timed.session->Report().end, ShowEnd::kClockRanOut);
}

namespace {

// FNV-1a over the frame's bytes as the capture tool writes them (character, then attribute).
uint64_t FrameHash(const std::vector<Cell>& cells) {
  uint64_t hash = 14695981039346656037u;
  for (Cell cell : cells)
    for (uint8_t byte : {CellCharacter(cell), CellAttribute(cell)}) hash = (hash ^ byte) * 1099511628211u;
  return hash;
}

struct RecordedFrame {
  int32_t t;
  uint64_t hash;
};

// The show with its own pictures, seed 1, one time in every scene (and the frames where the
// loop converts for a scene, where a filter lies over the texts, and where the texts stand
// on unconverted cells), run in this order from the start. Recorded from a build whose whole
// show was the same frame for frame as the reference captures; `quorvel4-capture --seed 1 --times
// LIST --format cells` gives the same frames.
constexpr RecordedFrame kRecordedFrames[] = {
    {300, 0x6bb96cafd449086c}, {350, 0x6bb96cafd449086c}, {1028, 0xd5951204d073fc49},
    {2654, 0xac0e2e2078f7fe02}, {5222, 0x54b97703290a6fd7}, {7656, 0xa3bd155d418d6359},
    {9977, 0x1867e6ad7a57674c}, {12279, 0x5fb21a1eac5c0d0f}, {14755, 0xc21ea8d06b7302bc},
    {16982, 0xae39ca4be8e51a96}, {18000, 0x06ce8f23269c769a}, {19470, 0xfdf397f4ed9e520b},
    {24819, 0x727f5a95e4c7478d}, {29242, 0x00fb77c8bd29e80f}, {31239, 0x208f1acc172f127c},
    {33094, 0xbc3c3f500c390bf0}, {34224, 0x158c9f865987cb54}, {35229, 0x09f531662a3ded1e},
    {37743, 0x478fd8c5a9cee2ba}, {41572, 0xd5831fba736827e1}, {43438, 0x49ec75636878a785},
    {45223, 0x3d86334985d647d6}, {48073, 0x34df3763df65d9b0}, {50407, 0x76153d5843a45349},
    {54232, 0xe0335855ade1d39c}, {57237, 0xdfbd6be513a2f025}, {59470, 0x3df9145d2785197b},
    {61503, 0x7ab00551c61849e8}, {62841, 0xb32cbce089f793f2}, {67969, 0xe1a7032ba7ebe296},
    {72433, 0xeb0d7a8f1f125090}, {73576, 0x99fed92ba634feaf}, {74795, 0x5eb030368bfe8c2b},
    {76096, 0x7ab00551c61849e8}, {77447, 0xf8a6553d3ab27567}, {78397, 0xfac9f75f7aee1a05},
    {78947, 0xe41386175e5f3825}, {79902, 0xad494e0e1e6ce4a5}, {81189, 0x2d4ab092de54dba5},
    {82678, 0xe4207aa6f4c941f0}, {83771, 0xe8bdc8e6b7bcb18d}, {85389, 0x6f534ad06650e675},
    {88714, 0x0e503e6057904ed5}, {91300, 0x9546dadde65fc66b}, {93000, 0xf825e695bcccf7fd},
    {93817, 0x4723d1053d6e9857}, {95700, 0xbbe2d2456e214352}, {95995, 0xcaf2c5a6238c6b3a},
    {96300, 0x79bd885affd6458e}, {96302, 0xf9627d7927f0c1f4}, {96834, 0x33a412a414f5fe43},
    {99267, 0x794335f12b8b2d2b}, {101637, 0xfef8594d2a10d6a7}, {103500, 0x75bc745bc9e98ce5},
    {111188, 0x0ae42cf549af7fbb}, {119941, 0x4b4e73c472ba982a}, {123043, 0x710bf4c59a0b6358},
};

}  // namespace

TEST(FrameLoop, EveryScenePresentsItsRecordedFrame) {
  HeadlessBackend* screen = UseHeadlessConsole();
  Show show;
  PrepareShow(show, std::string(QVL_SOURCE_DIR) + "/data");
  ASSERT_TRUE(show.unreadablePictures.empty());
  for (const RecordedFrame& frame : kRecordedFrames) {
    RunFrame(frame.t, show);
    EXPECT_EQ(FrameHash(screen->LastFrame()), frame.hash) << "the frame at " << frame.t;
  }
}

TEST(Timeline, WindowBoundsAreTheMusicsCues) {
  std::ifstream cuesFile(std::string(QVL_SOURCE_DIR) + "/tools/assets/cues.txt");
  ASSERT_TRUE(cuesFile) << "the music's cue list";
  std::set<int32_t> cues;
  for (int32_t cue; cuesFile >> cue;) cues.insert(cue);
  std::set<int32_t> bounds;
  for (const ShowSceneRow& window : MakeShow()->script->Rows()) {
    bounds.insert(window.lower);
    bounds.insert(window.upper);
  }
  EXPECT_EQ(bounds, cues);
}
