#include <gtest/gtest.h>

#include <algorithm>

#include "demo/cell_filters.h"
#include "quorvel4/types.h"

namespace {

void FillScreen(Cell cell) { std::fill(CellScreen, CellScreen + kScreenCells, cell); }

}  // namespace

TEST(CellFilters, XorTimeTurnsAZeroCellIntoTheShiftedKey) {
  FillScreen(0);
  FilterXorTime(17879);  // 17879 + 18761 = 0x8F20, shifted left by 2 within 16 bits
  EXPECT_EQ(CellScreen[0], 0x3C80);
  EXPECT_EQ(CellScreen[3999], 0x3C80);
}

TEST(CellFilters, XorRampDependsOnTheCellIndex) {
  FillScreen(0);
  FilterXorRamp(26266);
  // (26266 ^ 0x89) & 0xF0 = 0x10 at index 0; (26266 + 6 = 0x66A0, ^ 0x89 = 0x6629) & 0xF0 = 0x20 at 6.
  EXPECT_EQ(CellScreen[0], 0x20);
  EXPECT_EQ(CellScreen[6], 0x40);
  CellScreen[1] = 0xFFFF;
  FilterXorRamp(0);
  // (1 ^ 0x89) & 0xF0 = 0x80; 0xFFFF ^ 0x80 = 0xFF7F; the top bit falls off when shifted.
  EXPECT_EQ(CellScreen[1], 0xFEFE);
}

TEST(CellFilters, NoiseMaskAndInvertListedValues) {
  FillScreen(0);
  CellScreen[1] = 0x00DB;
  FilterNoise(64080);
  EXPECT_EQ(CellScreen[0], 0xFB54);
  // Index 1: ((64081 ^ 0x89) & 0xC1) = 0xC0, 0xDB ^ 0xC0 = 0x1B, << 2 = 0x6C, | (64080 + 2) = 0xFA52.
  EXPECT_EQ(CellScreen[1], 0xFA7E);

  FillScreen(0x00DB);
  FilterNoise(64080);
  EXPECT_EQ(CellScreen[0], 0xFA78);

  FillScreen(0xFFFF);
  FilterMask();
  EXPECT_EQ(CellScreen[0], 0x1252);

  FillScreen(0x00DB);
  FilterInvert();
  EXPECT_EQ(CellScreen[2000], 0xFF24);
  FilterInvert();
  EXPECT_EQ(CellScreen[2000], 0x00DB);
}

TEST(CellFilters, BarsShiftArithmeticallyInTwoMirroredBands) {
  FillScreen(0x8FDB);
  CellScreen[0 + 80 * 5] = 0x0FDB;
  FilterBars(0);  // at the scene start: columns 0-14 and 25-39 and 50-64 and 75-79 are bars
  EXPECT_EQ(CellScreen[1 + 80 * 5], 0xFC7E);   // sign bit copied in
  EXPECT_EQ(CellScreen[0 + 80 * 5], 0x007E);   // positive value: zeros come in
  EXPECT_EQ(CellScreen[15 + 80 * 5], 0x8FDB);  // a gap
  EXPECT_EQ(CellScreen[1 + 80 * 4], 0x8FDB);   // above the upper band
  EXPECT_EQ(CellScreen[1 + 80 * 15], 0x8FDB);  // below it
  // The lower band is mirrored: column 79 - x darkens where column x is a bar.
  EXPECT_EQ(CellScreen[79 + 80 * 34], 0xFC7E);
  EXPECT_EQ(CellScreen[79 - 15 + 80 * 43], 0x8FDB);
  EXPECT_EQ(CellScreen[79 - 14 + 80 * 43], 0xFC7E);
  EXPECT_EQ(CellScreen[79 + 80 * 44], 0x8FDB);

  // Ten milliseconds later the bars have moved one column left.
  FillScreen(0x8FDB);
  FilterBars(10);
  EXPECT_EQ(CellScreen[14 + 80 * 5], 0x8FDB);
  EXPECT_EQ(CellScreen[13 + 80 * 5], 0xFC7E);
  EXPECT_EQ(CellScreen[24 + 80 * 5], 0xFC7E);
}
