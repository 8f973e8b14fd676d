#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "effects/text_lines.h"
#include "quorvel4/types.h"

namespace {

const std::string kSlogan = "kvrt 6 world domination";
constexpr Cell kUntouched = 0xABCD;

void FillScreen(Cell value) {
  for (Cell& c : CellScreen) c = value;
}

Cell At(int column, int row) { return CellScreen[column + 80 * row]; }

Cell SloganCell(int time, int step) {
  const int start = (time / 100) % 23;
  return static_cast<Cell>(0x0F00 | static_cast<uint8_t>(kSlogan[(start + step) % 23]));
}

void ExpectColumnDown(int time, int column) {
  for (int k = 0; k < 50; ++k) ASSERT_EQ(At(column, k), SloganCell(time, k)) << "column " << column << " row " << k;
}

void ExpectColumnUp(int time, int column) {
  for (int k = 0; k < 50; ++k) {
    ASSERT_EQ(At(column, 49 - k), SloganCell(time, k)) << "column " << column << " row " << 49 - k;
  }
}

int CountWritten() {
  int n = 0;
  for (Cell c : CellScreen) n += c != kUntouched;
  return n;
}

}  // namespace

TEST(TextLines, ModeZeroFillsEveryColumnAlternatelyDownAndUp) {
  FillScreen(kUntouched);
  DrawTextLines(0);
  for (int column = 0; column < 80; ++column) {
    // Columns 0, 4, ... and 1, 5, ... run downward; 2, 6, ... and 3, 7, ... upward.
    if (column % 4 < 2) {
      ExpectColumnDown(0, column);
    } else {
      ExpectColumnUp(0, column);
    }
  }
  EXPECT_EQ(At(0, 49), 0x0F00 | 't');  // slogan index 49 % 23 = 3
  EXPECT_EQ(At(2, 49), 0x0F00 | 'k');

  // 2300 units later the text has rolled by one full slogan and looks the same; at 2400 it
  // has moved on by one character.
  DrawTextLines(2350);
  EXPECT_EQ(At(0, 0), 0x0F00 | 'k');
  DrawTextLines(2400);
  EXPECT_EQ(At(0, 0), 0x0F00 | 'v');
}

TEST(TextLines, ModeFollowsTheTimeInSlicesOf4000) {
  // Outside an update slice the lines stay at their starting places, row 0 and column 0.
  FillScreen(kUntouched);
  DrawTextLines(4000);
  EXPECT_EQ(CountWritten(), 80 + 50 - 1);
  for (int k = 0; k < 80; ++k) ASSERT_EQ(At(k, 0), SloganCell(4000, k));
  for (int k = 1; k < 50; ++k) ASSERT_EQ(At(0, k), SloganCell(4000, k));

  FillScreen(kUntouched);
  DrawTextLines(12000);
  EXPECT_EQ(CountWritten(), 4000);  // mode 0 again
}

TEST(TextLines, SliceMovesTheFirstPairEveryCallAndTheSecondEveryOtherCall) {
  // 4150: first pair to column 70, row 0; the second pair follows to column 20, row 32.
  FillScreen(kUntouched);
  DrawTextLines(4150);
  // The column, drawn after the row, wins at (70, 0).
  for (int k = 0; k < 80; ++k) ASSERT_EQ(At(k, 0), k == 70 ? SloganCell(4150, 0) : SloganCell(4150, k));
  for (int k = 0; k < 50; ++k) ASSERT_EQ(At(70, k), SloganCell(4150, k));
  EXPECT_EQ(CountWritten(), 129);

  // 8110, mode 2: only the first pair moves (to column 30, row 10); the second stays.
  FillScreen(kUntouched);
  DrawTextLines(8110);
  EXPECT_EQ(At(79, 32), SloganCell(8110, 0));  // the crossing row runs right to left
  EXPECT_EQ(At(0, 32), SloganCell(8110, 79));
  EXPECT_EQ(At(20, 49), SloganCell(8110, 0));  // the crossing column runs upward
  EXPECT_EQ(At(1, 10), SloganCell(8110, 1));
  EXPECT_EQ(At(30, 1), SloganCell(8110, 1));
  EXPECT_EQ(CountWritten(), 2 * 80 + 2 * 50 - 4);

  // 8120: both pairs move, first to column 40, row 20, second to column 70, row 2.
  FillScreen(kUntouched);
  DrawTextLines(8120);
  EXPECT_EQ(At(1, 20), SloganCell(8120, 1));
  EXPECT_EQ(At(40, 1), SloganCell(8120, 1));
  EXPECT_EQ(At(78, 2), SloganCell(8120, 1));
  EXPECT_EQ(At(70, 48), SloganCell(8120, 1));
  EXPECT_EQ(At(1, 32), kUntouched);

  // 8300 lies outside the slice: the places of 8120 stay.
  FillScreen(kUntouched);
  DrawTextLines(8300);
  EXPECT_EQ(At(1, 20), SloganCell(8300, 1));
  EXPECT_EQ(At(78, 2), SloganCell(8300, 1));
}

TEST(TextLines, LinesDrawnLaterWinWhereTheyCross) {
  DrawTextLines(4150);  // second pair to column 20, row 32
  FillScreen(kUntouched);
  // 8132: the first pair moves alone onto row 32 (and column 52); the right-to-left row and
  // then the upward column are drawn over it.
  DrawTextLines(8132);
  for (int column = 0; column < 80; ++column) {
    const Cell expected = column == 20 ? SloganCell(8132, 49 - 32) : SloganCell(8132, 79 - column);
    ASSERT_EQ(At(column, 32), expected) << "column " << column;
  }
  // Off the crossing row, the first pair's downward column shows through.
  EXPECT_EQ(At(52, 31), SloganCell(8132, 31));
}

TEST(TextLines, NegativeTimeDrawsNothing) {
  FillScreen(kUntouched);
  DrawTextLines(-4150);
  DrawTextLines(-1);
  EXPECT_EQ(CountWritten(), 0);
  // And leaves the places alone: the next mode-1 call outside a slice still uses row 0.
  DrawTextLines(4000);
  EXPECT_EQ(At(5, 0), SloganCell(4000, 5));
}
