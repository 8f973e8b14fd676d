#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <set>
#include <string>
#include <vector>

#include "effects/dot_cube.h"
#include "quorvel4/debug.h"
#include "quorvel4/qmath.h"
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

// The number of dots in every grid cell, worked out dot by dot the plain way.
std::array<int, 4000> ExpectedHits(int time, float nearLimit) {
  const float spin = static_cast<float>(time / 1000.0 + 0.01);
  const float tilt = static_cast<float>(time / 800.0 + 0.01);
  float distance = static_cast<float>(time / 10.0 - 90);
  distance = std::min(distance, nearLimit);
  std::array<int, 4000> hits{};
  for (int i = -4; i <= 4; ++i) {
    for (int j = -4; j <= 4; ++j) {
      for (int k = -4; k <= 4; ++k) {
        const float x = float(i), y = float(j), z = float(k);
        const float y1 = float(y * QvlCos(double(spin)) - z * QvlSin(double(spin)));
        const float z1 = float(y * QvlSin(double(spin)) + z * QvlCos(double(spin)));
        const float x2 = float(x * QvlCos(double(tilt)) - z1 * QvlSin(double(tilt)));
        const float z2 = float(x * QvlSin(double(tilt)) + z1 * QvlCos(double(tilt)));
        const float x3 = float(x2 * QvlCos(double(spin)) - y1 * QvlSin(double(spin)));
        const float y3 = float(x2 * QvlSin(double(spin)) + y1 * QvlCos(double(spin)));
        const int column = int(double(x3) * 100.0 / (double(z2) + double(distance)) + 40.0);
        const int row = int(double(y3) * 100.0 / (double(z2) + double(distance)) + 25.0);
        if (column > 0 && column < 80 && row > 0 && row < 50) ++hits[column + 80 * row];
      }
    }
  }
  return hits;
}

// Checks that every 2 x 2 block shows its cell's dots; returns the number of lit cells.
int ExpectCanvasShows(const std::array<int, 4000>& hits, const std::string& what) {
  int lit = 0;
  for (int row = 0; row < 50; ++row) {
    for (int column = 0; column < 80; ++column) {
      const Pixel expected = kByDots[hits[column + 80 * row] % 8];
      for (int dy = 0; dy < 2; ++dy) {
        for (int dx = 0; dx < 2; ++dx) {
          EXPECT_EQ(At(2 * column + dx, 2 * row + dy), expected) << what << " cell " << column << "," << row;
          if (At(2 * column + dx, 2 * row + dy) != expected) return -1;
        }
      }
      lit += hits[column + 80 * row] != 0;
    }
  }
  return lit;
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
  Prepare();
  // The fly-in (the distance approaches smoothly, one unit per 10 ms, to -8), then the final scene.
  for (int time : {0, 1, 333, 815, 819, 820, 944}) {
    for (Pixel& p : Canvas) p = 0xABCDEF;
    DrawDotCubeClose(time);
    ASSERT_GT(ExpectCanvasShows(ExpectedHits(time, -8.0f), "close " + std::to_string(time)), 0);
  }
  for (int time : {117486, 120000, 122396}) {
    for (Pixel& p : Canvas) p = 0xABCDEF;
    DrawDotCube(time);
    ASSERT_GT(ExpectCanvasShows(ExpectedHits(time, -16.0f), "far " + std::to_string(time)), 0);
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
