#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "cell_screen_helpers.h"
#include "effects/big_text.h"

namespace {

constexpr Cell kText = 0xFFDB;
constexpr Cell kShadow = 0x11DB;
constexpr Cell kBelow = 0x2B41;  // stands for a picture already on the screen

void FillCells(Cell value) {
  for (Cell& cell : CellScreen) cell = value;
}

int CountCells(Cell value) {
  int count = 0;
  for (Cell cell : CellScreen) count += cell == value;
  return count;
}

const char kFullBlock[] = "\xDB";  // glyph 219: every pixel lit, bit 7 included

}  // namespace

TEST(BigText, CapitalAIsDrawnPixelForPixel) {
  FillCells(kBelow);
  DrawBigText("A", 10, 5, 0, 0, kText);
  const char* rows[12] = {".......", "..##...", ".####..", "##..##.", "##..##.", "##..##.",
                          "######.", "##..##.", "##..##.", "##..##.", ".......", "......."};
  for (int k = 0; k < 12; ++k) {
    std::string drawn;
    for (int j = 0; j < 7; ++j) drawn += CellAt(10 + j, 5 + k) == kText ? '#' : '.';
    EXPECT_EQ(drawn, rows[k]) << "glyph row " << k;
  }
  EXPECT_EQ(CountCells(kText), 36);
}

TEST(BigText, CharactersAreSevenColumnsWideAndBitSevenIsNeverDrawn) {
  ClearCells();
  DrawBigText("\xDB\xDB", 3, 2, 0, 0, kText);
  EXPECT_EQ(CountCells(kText), 2 * 7 * 12);
  for (int y = 2; y < 14; ++y) {
    EXPECT_EQ(CellAt(2, y), 0);
    for (int x = 3; x < 17; ++x) EXPECT_EQ(CellAt(x, y), kText);
    EXPECT_EQ(CellAt(17, y), 0);
  }
}

TEST(BigText, NothingIsWrittenForEmptyTextsSpacesOrTextsScrolledAway) {
  FillCells(kBelow);
  DrawBigText("", 0, 0, 0, 0, kText);
  DrawBigText("   ", 0, 0, 0, 0, kText);
  DrawBigText("A0:A", 0, 20, 28, 0, kText);        // scrolled exactly its width to the left
  DrawBigText("A0:A", 0, 20, -80, 0, kText);       // pushed right of the screen
  EXPECT_EQ(CountCells(kBelow), kScreenCells);
}

TEST(BigText, GlyphsStraddlingAnEdgeAreCutColumnByColumn) {
  ClearCells();
  DrawBigText(kFullBlock, 0, 0, 3, 0, kText);  // columns -3 to 3
  EXPECT_EQ(CountCells(kText), 4 * 12);
  EXPECT_EQ(CellAt(3, 0), kText);
  EXPECT_EQ(CellAt(4, 0), 0);

  ClearCells();
  DrawBigText(kFullBlock, 77, 20, 0, 0, kText);  // columns 77 to 83: nothing wraps around
  EXPECT_EQ(CountCells(kText), 3 * 12);
  for (int y = 0; y < kScreenHeight; ++y) EXPECT_EQ(CellAt(0, y), 0) << y;

  // A text far wider than the screen never writes past column 79.
  ClearCells();
  DrawBigText(std::string(100, '\xDB').c_str(), 0, 0, 0, 0, kText);
  EXPECT_EQ(CountCells(kText), kScreenWidth * 12);
  EXPECT_EQ(CountNonZeroCells(), kScreenWidth * 12);
}

TEST(BigText, RowsOffTheScreenAreSkipped) {
  ClearCells();
  DrawBigText(kFullBlock, 0, 45, 0, 0, kText);
  EXPECT_EQ(CountCells(kText), 5 * 7);
  ClearCells();
  DrawBigText(kFullBlock, 0, 5, 0, 10, kText);  // raised to row -5
  EXPECT_EQ(CountCells(kText), 7 * 7);
  EXPECT_EQ(CellAt(0, 6), kText);
  EXPECT_EQ(CellAt(0, 7), 0);
  ClearCells();
  DrawBigText(kFullBlock, 0, -1000, 0, 0, kText);
  DrawBigText(kFullBlock, 0, 1000, 0, 0, kText);
  DrawBigText(kFullBlock, 0, INT32_MAX, 0, INT32_MIN, kText);
  EXPECT_EQ(CountNonZeroCells(), 0);
}

TEST(BigText, ExtremeScrollAndColumnValuesDrawNothingAndDoNotOverflow) {
  ClearCells();
  DrawBigText("AAAA", INT32_MAX, 0, INT32_MIN, 0, kText);
  DrawBigText("AAAA", INT32_MIN, 0, INT32_MAX, 0, kText);
  EXPECT_EQ(CountNonZeroCells(), 0);
}

TEST(BigText, ShadowShowsOnlyWhereTheTextLeavesItsPixelsUnlit) {
  ClearCells();
  DrawBigText("A:0", 0, 8, 0, 0, kText);
  const std::vector<Cell> textAlone(CellScreen, CellScreen + kScreenCells);
  auto lit = [&](int x, int y) { return x >= 0 && y >= 0 && textAlone[x + kScreenWidth * y] == kText; };

  FillCells(kBelow);
  DrawBigText("A:0", 1, 9, 0, 0, kShadow);
  DrawBigText("A:0", 0, 8, 0, 0, kText);
  int shadows = 0;
  for (int y = 0; y < kScreenHeight; ++y) {
    for (int x = 0; x < kScreenWidth; ++x) {
      const Cell expected = lit(x, y) ? kText : lit(x - 1, y - 1) ? kShadow : kBelow;
      ASSERT_EQ(CellAt(x, y), expected) << x << ", " << y;
      shadows += expected == kShadow;
    }
  }
  EXPECT_GT(shadows, 0);
}
