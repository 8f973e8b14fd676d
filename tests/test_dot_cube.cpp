#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "effects/dot_cube.h"
#include "quorvel4/debug.h"
#include "quorvel4/random.h"
#include "quorvel4/types.h"

namespace {

// The pixel of a grid cell hit by 0 to 7 dots (8 wrap round to 0). Components above 255
// carry into the field above.
constexpr Pixel kByDots[8] = {0x000001, 0x000021, 0x040041, 0x840061, 0x1040081, 0x18400A1, 0x20008C1, 0x20108E1};

void Prepare() {
  BuildDotPalette();
  MakeDotGrid();
}

Pixel At(int x, int y) { return Canvas[x + 160 * y]; }

// The dots (0 to 7) of every grid cell, read back from the Canvas: every 2 x 2 block must be
// one colour of kByDots. Empty when a block is not.
std::vector<int> CellDots() {
  std::vector<int> dots(kScreenCells);
  for (int cell = 0; cell < kScreenCells; ++cell) {
    const int x = 2 * (cell % 80), y = 2 * (cell / 80);
    const Pixel p = At(x, y);
    if (At(x + 1, y) != p || At(x, y + 1) != p || At(x + 1, y + 1) != p) return {};
    const auto level = std::find(std::begin(kByDots), std::end(kByDots), p) - std::begin(kByDots);
    if (level == 8) return {};
    dots[cell] = static_cast<int>(level);
  }
  return dots;
}

// A frame's dots in two numbers: the lit cells and an FNV-1a hash of every cell's dots.
struct DotFrame {
  int lit;
  uint32_t hash;
  bool operator==(const DotFrame&) const = default;
};

DotFrame Summary(const std::vector<int>& dots) {
  DotFrame frame{0, 2166136261u};
  for (int d : dots) {
    frame.hash = (frame.hash ^ static_cast<uint32_t>(d)) * 16777619u;
    frame.lit += d != 0;
  }
  return frame;
}

}  // namespace

TEST(DotCube, MakingTheDotsReportsToTheDebugSinkOnly) {
  std::vector<std::string> lines;
  SetDebugSink([&](const char* text) { lines.emplace_back(text); });
  for (Cell& c : CellScreen) c = 0;
  MakeDotGrid();
  SetDebugSink(nullptr);
  EXPECT_EQ(lines, (std::vector<std::string>{"made dots\n", "dotnum=729 a=729\n"}));
  for (Cell c : CellScreen) ASSERT_EQ(c, 0);
}

TEST(DotCube, ProjectsTheTurnedLatticeOntoTheGrid) {
  // Recorded from the implementation audited against an independent projection of the 729
  // dots: the fly-in (the distance approaches one unit per 10 ms, to -8), then the last scene.
  struct Golden {
    bool close;
    int time;
    DotFrame frame;
  };
  Prepare();
  for (const Golden& g : {Golden{true, 0, {89, 0x7CDF0A64}}, Golden{true, 1, {90, 0x4120D97C}},
                          Golden{true, 333, {319, 0x3F8EDF20}}, Golden{true, 815, {284, 0xFEEAC2DC}},
                          Golden{true, 819, {255, 0x8C4D80C3}}, Golden{true, 820, {237, 0xC1E9B032}},
                          Golden{true, 944, {244, 0x895327EF}}, Golden{false, 117486, {565, 0x270FAFE7}},
                          Golden{false, 120000, {580, 0xD0FA7087}}, Golden{false, 122396, {578, 0x909C872D}}}) {
    for (Pixel& p : Canvas) p = 0xABCDEF;
    g.close ? DrawDotCubeClose(g.time) : DrawDotCube(g.time);
    const std::vector<int> dots = CellDots();
    ASSERT_FALSE(dots.empty()) << "a block that is not one dot colour at " << g.time;
    EXPECT_EQ(Summary(dots), g.frame) << g.time;
  }
}

TEST(DotCube, EveryBlockIsAPaletteColourAndTheEdgesStayEmpty) {
  Prepare();
  const std::set<Pixel> allowed(std::begin(kByDots), std::end(kByDots));
  std::set<Pixel> seen;
  for (int time = 118000; time < 122000; time += 250) {
    DrawDotCube(time);
    for (Pixel p : Canvas) {
      ASSERT_TRUE(allowed.count(p)) << std::hex << p;
      seen.insert(p);
    }
    // Grid column 0 and row 0 never receive a dot.
    for (int x = 0; x < 160; ++x) ASSERT_EQ(At(x, 0), kByDots[0]);
    for (int y = 0; y < 100; ++y) ASSERT_EQ(At(1, y), kByDots[0]);
  }
  EXPECT_GE(seen.size(), 4u);  // the crowded middle shows several levels
}

TEST(DotCube, StartsSmallAndFarAway) {
  Prepare();
  DrawDotCubeClose(0);
  int left = 80, right = 0, top = 50, bottom = 0;
  for (int row = 0; row < 50; ++row) {
    for (int column = 0; column < 80; ++column) {
      if (At(2 * column, 2 * row) == kByDots[0]) continue;
      left = std::min(left, column), right = std::max(right, column);
      top = std::min(top, row), bottom = std::max(bottom, row);
    }
  }
  EXPECT_GE(left, 30);
  EXPECT_LE(right, 50);
  EXPECT_GE(top, 15);
  EXPECT_LE(bottom, 35);
}

TEST(DotCube, TurnsSmoothlyWithinASecond) {
  // Spin and tilt follow the time to the millisecond: two frames 100 ms apart in the same
  // second differ.
  Prepare();
  DrawDotCube(118100);
  const std::vector<Pixel> first(Canvas, Canvas + kCanvasPixels);
  DrawDotCube(118200);
  EXPECT_NE(first, std::vector<Pixel>(Canvas, Canvas + kCanvasPixels));
}

TEST(DotCube, MakingTheDotsTwiceGivesTheSameLattice) {
  Prepare();
  DrawDotCube(119000);
  const std::vector<Pixel> once(Canvas, Canvas + kCanvasPixels);
  MakeDotGrid();
  DrawDotCube(119000);
  EXPECT_EQ(once, std::vector<Pixel>(Canvas, Canvas + kCanvasPixels));
}

// The cube keeps no state from frame to frame, and its tables draw no random number: what the
// show's reset and a seek rely on when they rebuild it.
TEST(DotCube, AFrameDependsOnItsTimeAloneAndTheTablesDrawNothing) {
  SeedRandom(5);
  Prepare();
  EXPECT_EQ(RandomState(), 5u);
  DrawDotCube(119000);
  const std::vector<Pixel> once(Canvas, Canvas + kCanvasPixels);
  DrawDotCubeClose(2000);
  DrawDotCube(118000);
  DrawDotCube(119000);
  EXPECT_EQ(once, std::vector<Pixel>(Canvas, Canvas + kCanvasPixels));
}
