#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "quorvel4/console.h"
#include "quorvel4/debug.h"
#include "quorvel4/random.h"
#include "random_draws.h"

namespace {

class Console : public ::testing::Test {
 protected:
  void SetUp() override {
    auto backend = std::make_unique<HeadlessBackend>();
    backend_ = backend.get();
    UseConsoleBackend(std::move(backend));
    InitConsoleWithSeed(7);
    std::fill(std::begin(CellScreen), std::end(CellScreen), Cell{0});
  }
  void TearDown() override { std::fill(std::begin(CellScreen), std::end(CellScreen), Cell{0}); }

  // The cells that differ from zero, as index -> value.
  static std::vector<std::pair<int, Cell>> Written() {
    std::vector<std::pair<int, Cell>> out;
    for (int i = 0; i < kScreenCells; ++i)
      if (CellScreen[i] != 0) out.emplace_back(i, CellScreen[i]);
    return out;
  }

  static std::vector<std::pair<int, Cell>> Expected(int start, const std::string& text) {
    std::vector<std::pair<int, Cell>> out;
    for (size_t k = 0; k < text.size(); ++k)
      out.emplace_back(start + static_cast<int>(k), static_cast<Cell>(0x0F00 | static_cast<unsigned char>(text[k])));
    return out;
  }

  HeadlessBackend* backend_ = nullptr;
};

}  // namespace

TEST_F(Console, InitialisingDrawsTheEightyTitleNumbersAndSetsTheLibraryTitle) {
  for (uint32_t seed : {0u, 1u, 0xFFFFFFFFu, 123456789u}) {
    InitConsoleWithSeed(seed);
    EXPECT_EQ(DrawsBetween(seed, RandomState()), 80) << seed;
    EXPECT_EQ(backend_->Title(), kLibraryTitle);
  }
}

// A seek replays the start-up's draws: the generator ends where the console's start-up leaves it,
// and the back end is not touched.
TEST_F(Console, TheStartUpsSeedingAloneLeavesTheGeneratorAsTheStartUpDoes) {
  for (uint32_t seed : {1u, 7u, 12345u}) {
    InitConsoleWithSeed(seed);
    const uint32_t afterStartUp = RandomState();
    SetTitle("the show's own title");
    Random();
    SeedRandomAsAtStartUp(seed);
    EXPECT_EQ(RandomState(), afterStartUp) << seed;
    EXPECT_EQ(backend_->Title(), "the show's own title");
  }
}

TEST_F(Console, InitialisingFromTheTickCountDrawsEightyToo) {
  const uint32_t before = TickCount();
  InitConsole();
  const uint32_t after = TickCount();
  bool found = false;
  for (uint32_t seed = before; seed != after + 1 && !found; ++seed) found = DrawsBetween(seed, RandomState(), 80) == 80;
  EXPECT_TRUE(found) << "state " << RandomState() << " is not 80 draws from a tick in [" << before << ", " << after << "]";
}

TEST_F(Console, PrintAtWritesAllButTheLastCharacterWhiteOnBlack) {
  PrintAt(5, 4, "loading images\n");
  EXPECT_EQ(Written(), Expected(325, "loading images"));
  EXPECT_EQ(325 + 13, 338);

  std::fill(std::begin(CellScreen), std::end(CellScreen), Cell{0});
  PrintAt(0, 0, "%c%c\n", 200, 'A');  // codes above 127 are unsigned bytes
  EXPECT_EQ(CellScreen[0], 0x0FC8);
  EXPECT_EQ(CellScreen[1], 0x0F41);

  std::fill(std::begin(CellScreen), std::end(CellScreen), Cell{0});
  PrintAt(10, 10, "x");  // the only character is the one left out
  PrintAt(10, 10, "%s", "");
  EXPECT_TRUE(Written().empty());
}

TEST_F(Console, PrintAtRunsOnIntoTheNextRow) {
  PrintAt(75, 3, "0123456789");
  EXPECT_EQ(Written(), Expected(3 * 80 + 75, "012345678"));
  EXPECT_EQ(CellScreen[4 * 80 + 3], 0x0F38);  // '8' at column 3 of the next row
}

TEST_F(Console, PrintAtNeverWritesOutsideTheScreen) {
  PrintAt(-3, 0, "abcdef\n");
  EXPECT_EQ(Written(), Expected(0, "def"));

  std::fill(std::begin(CellScreen), std::end(CellScreen), Cell{0});
  PrintAt(0, -1, "%s\n", std::string(90, 'z').c_str());
  EXPECT_EQ(Written(), Expected(0, std::string(10, 'z')));

  std::fill(std::begin(CellScreen), std::end(CellScreen), Cell{0});
  PrintAt(75, 49, "0123456789\n");
  EXPECT_EQ(Written(), Expected(3995, "01234"));

  std::fill(std::begin(CellScreen), std::end(CellScreen), Cell{0});
  PrintAt(0, 60, "far below\n");
  PrintAt(INT32_MIN, INT32_MIN, "far above\n");
  PrintAt(INT32_MAX, INT32_MAX, "far beyond\n");
  EXPECT_TRUE(Written().empty());
}

TEST_F(Console, PrintAtTruncatesToItsBuffer) {
  // 600 characters fit the 512-byte buffer as 511 and a terminator; 510 are written.
  PrintAt(0, 0, "%s\n", std::string(600, 'x').c_str());
  EXPECT_EQ(Written(), Expected(0, std::string(510, 'x')));
}

TEST_F(Console, PresentScreenHandsOverEveryCell) {
  for (int i = 0; i < kScreenCells; ++i) CellScreen[i] = static_cast<Cell>(i * 40503u);
  CellScreen[17] = 0;
  PresentScreen();
  ASSERT_EQ(backend_->PresentCount(), 1);
  EXPECT_TRUE(std::equal(std::begin(CellScreen), std::end(CellScreen), backend_->LastFrame().begin()));
  EXPECT_EQ(backend_->LastFrame()[17], 0);

  CellScreen[0] = 0x0F41;
  PresentScreen();
  EXPECT_EQ(backend_->PresentCount(), 2);
  EXPECT_EQ(backend_->LastFrame()[0], 0x0F41);
}

TEST_F(Console, KeysTitlesAndShutdownGoToTheBackend) {
  EXPECT_FALSE(KeyWaiting());
  backend_->PressKey();
  EXPECT_TRUE(KeyWaiting());
  EXPECT_TRUE(KeyWaiting());  // testing does not consume the key
  EXPECT_NE(SetTitle("[quenby] // [dralsk] | alt+enter for fullscreen "), 0);
  EXPECT_EQ(backend_->Title(), "[quenby] // [dralsk] | alt+enter for fullscreen ");
  ShutdownConsole();
  EXPECT_TRUE(backend_->Restored());
}

TEST_F(Console, DebugPrintGoesToItsSinkOnly) {
  std::vector<std::string> lines;
  SetDebugSink([&lines](const char* text) { lines.emplace_back(text); });
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  DebugPrint("sync point %s at %d\n", "drop", 1234);
  DebugPrint("%s", std::string(700, 'd').c_str());
  const std::string out = testing::internal::GetCapturedStdout();
  const std::string err = testing::internal::GetCapturedStderr();
  SetDebugSink(nullptr);

  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "sync point drop at 1234\n");
  EXPECT_EQ(lines[1], std::string(511, 'd'));
  EXPECT_EQ(out, "");
  EXPECT_EQ(err, "");
  EXPECT_TRUE(Written().empty());
  EXPECT_EQ(backend_->PresentCount(), 0);
}

// What C libraries write to file descriptor 2 while a device is opened reaches the debug
// sink, line by line, and nothing of it the terminal; standard error works again afterwards.
TEST_F(Console, StandardErrorHeldBackGoesToTheDebugSinkLineByLine) {
  std::vector<std::string> lines;
  SetDebugSink([&lines](const char* text) { lines.emplace_back(text); });
  testing::internal::CaptureStderr();
  {
    StandardErrorToDebugSink held;
    const char note[] = "error: XDG_RUNTIME_DIR is invalid or not set in the environment.\n";
    ASSERT_EQ(write(STDERR_FILENO, note, sizeof note - 1), static_cast<ssize_t>(sizeof note - 1));
    std::fprintf(stderr, "ALSA lib %s\nunfinished", "pcm.c");
  }
  std::fprintf(stderr, "after\n");
  const std::string err = testing::internal::GetCapturedStderr();
  SetDebugSink(nullptr);

  EXPECT_EQ(err, "after\n");
  EXPECT_EQ(lines, (std::vector<std::string>{"error: XDG_RUNTIME_DIR is invalid or not set in the environment.\n",
                                             "ALSA lib pcm.c\n", "unfinished"}));
}

TEST_F(Console, DebugPrintAppendsToTheFileNamedByTheEnvironment) {
  const std::string path = testing::TempDir() + "qvl_debug_" + std::to_string(getpid()) + ".log";
  std::remove(path.c_str());
  unsetenv("QVL_DEBUG_LOG");
  DebugPrint("dropped\n");
  EXPECT_FALSE(std::ifstream(path).good());

  setenv("QVL_DEBUG_LOG", path.c_str(), 1);
  DebugPrint("first %d\n", 1);
  DebugPrint("second\n");
  unsetenv("QVL_DEBUG_LOG");
  DebugPrint("after\n");

  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(), "first 1\nsecond\n");
  std::remove(path.c_str());
}
