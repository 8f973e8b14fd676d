#include <gtest/gtest.h>

#include <vector>

#include "cell_screen_helpers.h"
#include "effects/pinwheel.h"

namespace {

constexpr Cell kWhiteDot = 0x0F2E;
constexpr Cell kRedDot = 0x042E;

std::vector<Cell> Wheel(int32_t time) {
  ClearCells();
  DrawPinwheel(time);
  return std::vector<Cell>(CellScreen, CellScreen + kScreenCells);
}

// The cells that the spokes near 8 degrees cross at radius 12 (hub segment) and radius 24
// (outer segment); the sector boundaries of every start value are a few cells away.
constexpr int kHubX = 41, kHubY = 35;
constexpr int kRimX = 43, kRimY = 47;

}  // namespace

TEST(Pinwheel, FirstSectorHasAWhiteHubAndARedRim) {
  // The flag toggles before the first spoke is drawn.
  Wheel(0);
  EXPECT_EQ(CellAt(kHubX, kHubY), kWhiteDot);
  EXPECT_EQ(CellAt(kRimX, kRimY), kRedDot);
  // Straight down from the hub: the last spoke repeats the first, in the same colours.
  EXPECT_EQ(CellAt(39, 35), kWhiteDot);
  EXPECT_EQ(CellAt(39, 47), kRedDot);
}

TEST(Pinwheel, ColoursSwapWhenTheSectorsTurn) {
  // At start 14 the sectors begin one degree past the multiples of 15 (16, 31, ...): the
  // spokes up to 16 degrees keep the flag false and show a red hub.
  Wheel(1400);
  EXPECT_EQ(CellAt(kHubX, kHubY), kRedDot);
  EXPECT_EQ(CellAt(kRimX, kRimY), kWhiteDot);
}

TEST(Pinwheel, TurnsEvery100MillisecondsAndWrapsAfter15Degrees) {
  const std::vector<Cell> atZero = Wheel(0);
  EXPECT_EQ(Wheel(99), atZero);
  EXPECT_EQ(Wheel(1500), atZero);
  EXPECT_NE(Wheel(100), atZero);
}

TEST(Pinwheel, EveryPlottedCellIsAWhiteOrRedDotAndTheOuterRingFillsTheBorder) {
  Wheel(12345);
  int plotted = 0;
  for (Cell cell : CellScreen) {
    if (cell == 0) continue;
    ++plotted;
    ASSERT_TRUE(cell == kWhiteDot || cell == kRedDot) << std::hex << cell;
  }
  EXPECT_GT(plotted, kScreenCells / 2);
  // The outer points lie beyond every edge of the screen.
  for (int x = 0; x < kScreenWidth; ++x) {
    EXPECT_NE(CellAt(x, 0), 0) << x;
    EXPECT_NE(CellAt(x, 49), 0) << x;
  }
}

TEST(Pinwheel, LeavesCellsNoSpokeCrosses) {
  const std::vector<Cell> onBlank = Wheel(700);
  const int untouched = kScreenCells - CountNonZeroCells();
  ASSERT_GT(untouched, 0);
  for (Cell& cell : CellScreen) cell = 0x1234;
  DrawPinwheel(700);
  for (int i = 0; i < kScreenCells; ++i) {
    ASSERT_EQ(CellScreen[i], onBlank[i] == 0 ? 0x1234 : onBlank[i]) << i;
  }
}
