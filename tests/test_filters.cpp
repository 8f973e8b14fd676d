#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "demo/cell_filters.h"
#include "quorvel4/types.h"

namespace {

void FillScreen(Cell cell) { std::fill(CellScreen, CellScreen + kScreenCells, cell); }

// Runs `filter` over every 16-bit value (one per Cell, cell i holding i % 4000 + 4000 * pass)
// and passes each result to `check` with the value it came from and its cell.
void ForEveryValue(const std::function<void()>& filter, const std::function<void(Cell, Cell, int)>& check) {
  for (int base = 0; base < 65536; base += kScreenCells) {
    for (int i = 0; i < kScreenCells; ++i) CellScreen[i] = static_cast<Cell>(base + i);
    filter();
    for (int i = 0; i < kScreenCells && base + i < 65536; ++i) check(static_cast<Cell>(base + i), CellScreen[i], i);
  }
}

}  // namespace

// Values recorded from the filters as the show's frames were audited.
TEST(CellFilters, KnownValues) {
  FillScreen(0);
  FilterXorTime(17879);
  EXPECT_EQ(CellScreen[0], 0x3C80);
  EXPECT_EQ(CellScreen[3999], 0x3C80);

  FillScreen(0);
  FilterXorRamp(26266);
  EXPECT_EQ(CellScreen[0], 0x20);
  EXPECT_EQ(CellScreen[6], 0x40);
  CellScreen[1] = 0xFFFF;
  FilterXorRamp(0);
  EXPECT_EQ(CellScreen[1], 0xFEFE);

  FillScreen(0);
  CellScreen[1] = 0x00DB;
  FilterNoise(64080);
  EXPECT_EQ(CellScreen[0], 0xFB54);
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
}

TEST(CellFilters, WhatEachFilterCanLeave) {
  // The xor filters shift left: their lowest bits come out clear. The mask keeps only the
  // bits it names, shifted down. Inverting twice gives every Cell back.
  ForEveryValue([] { FilterXorTime(31337); }, [](Cell, Cell out, int) { ASSERT_EQ(out & 3, 0); });
  ForEveryValue([] { FilterXorRamp(31337); }, [](Cell, Cell out, int) { ASSERT_EQ(out & 1, 0); });
  ForEveryValue(FilterMask, [](Cell, Cell out, int) { ASSERT_EQ(out & ~0x1252, 0); });
  ForEveryValue([] { FilterInvert(); FilterInvert(); }, [](Cell in, Cell out, int) { ASSERT_EQ(out, in); });
  // The ramp of the xor filter follows the cell and the time together: moving the time by
  // one moves the picture by one cell.
  FillScreen(0);
  FilterXorRamp(100);
  const std::vector<Cell> earlier(CellScreen, CellScreen + kScreenCells);
  FillScreen(0);
  FilterXorRamp(101);
  EXPECT_TRUE(std::equal(CellScreen, CellScreen + kScreenCells - 1, earlier.begin() + 1));
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

// The keys are worked out in 32 bits that wrap: the largest times give the low 16 bits of the
// wrapped sums (checked with the sanitizers, which stop on a signed overflow).
TEST(CellFilters, TheLargestTimesWrapInsteadOfOverflowing) {
  FillScreen(0);
  FilterXorTime(INT32_MAX);  // key 0x7FFFFFFF + 0x4949: low bits 0x4948
  EXPECT_EQ(CellScreen[0], (0x4948 << 2) & 0xFFFF);
  FillScreen(0);
  FilterXorRamp(INT32_MAX);  // cell 1: (0x80000000 ^ 0x89) & 0xF0 = 0x80
  EXPECT_EQ(CellScreen[1], 0x80 << 1);
  FillScreen(0);
  FilterNoise(INT32_MAX);  // cell 3999: the or-ed time + 2 * 3999 wraps to 0x80001F3D
  EXPECT_EQ(CellScreen[3999], static_cast<Cell>(((((0x7FFFFFFFu + 3999u) ^ 0x89u) & 0xC1u) << 2 | 0x1F3Du) & 0xFFFF));
}
