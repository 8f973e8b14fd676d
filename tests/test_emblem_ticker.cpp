#include <gtest/gtest.h>

#include <string>

#include "effects/emblem_ticker.h"
#include "quorvel4/types.h"

namespace {

constexpr Cell kUntouched = 0xABCD;

void FillScreen(Cell value) {
  for (Cell& c : CellScreen) c = value;
}

Cell At(int column, int row) { return CellScreen[column + 80 * row]; }

// The ten cells of a copy of `emblem`: five characters, four spaces, character 0.
Cell SlotCell(const std::string& emblem, int j) {
  const uint8_t ch = j < 5 ? static_cast<uint8_t>(emblem[j]) : j < 9 ? ' ' : 0;
  return static_cast<Cell>(0x0F00 | ch);
}

// What row `row` must hold when copies start at the columns first, first + 20, ...
void ExpectRow(int row, int first, const std::string& emblem) {
  for (int column = 0; column < 80; ++column) {
    const int offset = ((column - first) % 20 + 20) % 20;
    const Cell expected = offset < 10 ? SlotCell(emblem, offset) : kUntouched;
    ASSERT_EQ(At(column, row), expected) << "row " << row << " column " << column;
  }
}

}  // namespace

TEST(EmblemTicker, CheckerboardOfCopiesOnOddRowsOnly) {
  FillScreen(kUntouched);
  DrawEmblemTicker(0);
  for (int row = 0; row < 50; ++row) {
    if (row % 2 == 0 || row == 49) {
      for (int column = 0; column < 80; ++column) ASSERT_EQ(At(column, row), kUntouched);
    } else if (row % 4 == 1) {
      ExpectRow(row, 10, "(_o_)");
    } else {
      ExpectRow(row, 0, "(_o_)");
    }
  }
  EXPECT_EQ(At(19, 1), 0x0F00);  // the zero byte is written as character 0
  EXPECT_EQ(At(79, 1), 0x0F00);
}

TEST(EmblemTicker, ScrollsRightAndWrapsEvery20Columns) {
  FillScreen(kUntouched);
  DrawEmblemTicker(880);  // shift 11
  ExpectRow(1, 1, "(_o_)");
  ExpectRow(3, 11, "(_o_)");
  EXPECT_EQ(At(0, 3), 0x0F00);  // the last column of copy -2

  FillScreen(kUntouched);
  DrawEmblemTicker(1600);  // shift back to 0, next emblem
  ExpectRow(1, 10, "~!~!~");
}

TEST(EmblemTicker, CyclesThroughTheSixEmblemsEverySecond) {
  const char* emblems[] = {"(_o_)", "~!~!~", "B===D", "KVRT6", ":|:|:", "(.V.)", "(_o_)"};
  for (int second = 0; second <= 6; ++second) {
    FillScreen(kUntouched);
    const int time = second * 1000 + 800;
    DrawEmblemTicker(time);
    const int shift = (time / 80) % 20;
    ExpectRow(3, shift, emblems[second]);
  }
}

TEST(EmblemTicker, NegativeTimeDrawsNothing) {
  FillScreen(kUntouched);
  DrawEmblemTicker(-1000);
  for (Cell c : CellScreen) ASSERT_EQ(c, kUntouched);
}
