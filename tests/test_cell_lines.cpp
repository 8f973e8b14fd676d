#include <gtest/gtest.h>

#include "cell_screen_helpers.h"
#include "quorvel4/cell_lines.h"

namespace {

constexpr Cell kMarker = 0x002E;

// The one dot of each row, or -1 for a row without any (fails on a row with two).
std::vector<int> DotColumnPerRow() {
  std::vector<int> columns(kScreenHeight, -1);
  for (int y = 0; y < kScreenHeight; ++y) {
    for (int x = 0; x < kScreenWidth; ++x) {
      if (CellAt(x, y) == 0) continue;
      EXPECT_EQ(columns[y], -1) << "second dot in row " << y;
      columns[y] = x;
    }
  }
  return columns;
}

}  // namespace

TEST(PlotDot, PinsToTheScreenAndKeepsTheAttribute) {
  ClearCells();
  PlotDot(-5, 70, 0x0F00);
  EXPECT_EQ(CellAt(0, 49), 0x0F2E);
  PlotDot(500, -3, 0x0400);
  EXPECT_EQ(CellAt(79, 0), 0x042E);
  PlotDot(10, 10, 0);
  EXPECT_EQ(CellAt(10, 10), kMarker);
  // The character byte is or-ed with the dot; bits above the Cell are dropped.
  PlotDot(11, 10, 0x12340F41);
  EXPECT_EQ(CellAt(11, 10), 0x0F6F);
  EXPECT_EQ(CountNonZeroCells(), 4);
}

TEST(DrawLine, SteepLineEndsWhereTheFloatSlopeFallsShort) {
  ClearCells();
  DrawLine(0, 0, 3, 38, 0x0F00);
  // 38 times the float nearest 3/38 is just below 3.
  EXPECT_EQ(CellAt(2, 38), 0x0F2E);
  EXPECT_EQ(CellAt(3, 38), 0);
  EXPECT_EQ(CountNonZeroCells(), 39);
}

TEST(DrawLine, InterceptTakesItsProductInDoubleFromTheFloatSlope) {
  // b = y1 - x1 * m: rounding x1 * m to float before the subtraction leaves the last dot of
  // each of these lines one Cell short of its end point (and moves spokes of the wheel).
  ClearCells();
  DrawLine(1, 3, 2, 12, 0x0F00);  // steps along y
  EXPECT_EQ(CellAt(2, 12), 0x0F2E);
  EXPECT_EQ(CellAt(1, 12), 0);
  ClearCells();
  DrawLine(3, 1, 12, 2, 0x0F00);  // steps along x
  EXPECT_EQ(CellAt(12, 2), 0x0F2E);
  EXPECT_EQ(CellAt(12, 1), 0);
}

TEST(DrawLine, OneDotPerStepOfTheLongerAxisBothEndsIncluded) {
  ClearCells();
  DrawLine(0, 0, 0, 0, 0x0400);
  EXPECT_EQ(CountNonZeroCells(), 1);

  // Shallow, in both directions: one dot in each of columns 0 to 10.
  for (const auto& [x1, y1, x2, y2] : {std::array{0, 0, 10, 3}, std::array{10, 3, 0, 0}}) {
    ClearCells();
    DrawLine(x1, y1, x2, y2, 0x0400);
    EXPECT_EQ(CountNonZeroCells(), 11);
    for (int x = 0; x <= 10; ++x) {
      int inColumn = 0;
      for (int y = 0; y < kScreenHeight; ++y) inColumn += CellAt(x, y) != 0;
      EXPECT_EQ(inColumn, 1) << "column " << x;
    }
  }

  // Equal spans step along y: the diagonal.
  ClearCells();
  DrawLine(0, 0, 3, 3, 0x0400);
  EXPECT_EQ(CountNonZeroCells(), 4);
  for (int i = 0; i <= 3; ++i) EXPECT_EQ(CellAt(i, i), 0x042E);
}

TEST(DrawLine, DotsOffTheScreenPileUpOnTheBorder) {
  ClearCells();
  DrawLine(40, 25, 100, 25, 0x0F00);
  for (int x = 40; x < kScreenWidth; ++x) EXPECT_EQ(CellAt(x, 25), 0x0F2E) << x;
  EXPECT_EQ(CountNonZeroCells(), 40);
}

TEST(DrawFillEdge, OneMarkerPerRowWhateverTheSlope) {
  ClearCells();
  DrawFillEdge(5, 10, 30, 12);
  const std::vector<int> columns = DotColumnPerRow();
  for (int y = 10; y <= 12; ++y) EXPECT_NE(columns[y], -1) << y;
  EXPECT_EQ(CountNonZeroCells(), 3);
  for (Cell cell : CellScreen) EXPECT_TRUE(cell == 0 || cell == kMarker);
}

TEST(DrawFillEdge, TwoRowEdgeGetsAnExtraDotRightOfItsUpperEnd) {
  ClearCells();
  DrawFillEdge(7, 20, 9, 21);
  EXPECT_EQ(CellAt(7, 20), kMarker);
  EXPECT_EQ(CellAt(8, 20), kMarker);
  EXPECT_EQ(CellAt(9, 21), kMarker);
  EXPECT_EQ(CountNonZeroCells(), 3);
}

TEST(DrawFillEdge, DirectionDoesNotMatterAndFlatEdgesAreOneDot) {
  ClearCells();
  DrawFillEdge(30, 40, 10, 30);
  const std::vector<int> upward = DotColumnPerRow();
  ClearCells();
  DrawFillEdge(10, 30, 30, 40);
  EXPECT_EQ(DotColumnPerRow(), upward);

  ClearCells();
  DrawFillEdge(3, 8, 60, 8);
  EXPECT_EQ(CellAt(3, 8), kMarker);
  EXPECT_EQ(CountNonZeroCells(), 1);
}

TEST(DrawFillEdge, ColumnAccumulatesInFloatRowAfterRow) {
  // Twelve steps of the float nearest 1/12 add up to just below 1: the last row stays in
  // column 0, where multiplying by the row number would reach column 1.
  ClearCells();
  DrawFillEdge(0, 0, 1, 12);
  const std::vector<int> columns = DotColumnPerRow();
  for (int y = 0; y <= 12; ++y) EXPECT_EQ(columns[y], 0) << y;
  EXPECT_EQ(CellAt(1, 12), 0);
}

TEST(DrawFillEdge, EdgesOffTheScreenArePinned) {
  ClearCells();
  DrawFillEdge(-20, -3, 100, 2);
  for (Cell cell : CellScreen) ASSERT_TRUE(cell == 0 || cell == kMarker);
  EXPECT_EQ(CellAt(0, 0), kMarker);
  EXPECT_EQ(CellAt(79, 2), kMarker);
}
