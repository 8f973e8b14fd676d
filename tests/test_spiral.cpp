#include <gtest/gtest.h>

#include <vector>

#include "cell_screen_helpers.h"
#include "effects/spiral.h"

namespace {

constexpr Cell kMarker = 0x002E;
constexpr Cell kOutside = 0x0720;
constexpr Cell kInside = 0x0178;

bool IsFill(Cell cell) { return cell == kOutside || cell == kInside; }

// Checks the fill of one row against its borders (every Cell that is not a fill Cell): the
// row starts outside and switches after each run of borders, except a run that ends the row.
void ExpectRowFollowsParity(int y) {
  bool outside = true;
  for (int x = 0; x < kScreenWidth; ++x) {
    const Cell cell = CellAt(x, y);
    if (IsFill(cell)) {
      ASSERT_EQ(cell, outside ? kOutside : kInside) << "cell (" << x << ", " << y << ")";
    } else if (x + 1 < kScreenWidth && IsFill(CellAt(x + 1, y))) {
      outside = !outside;
    }
  }
}

}  // namespace

TEST(Spiral, FillsEveryCellAndEachRowSwitchesAfterEachRunOfMarkers) {
  for (int32_t time : {0, 8, 16, 13500, 16086 / 3, 48000}) {
    ClearCells();
    DrawSpiral(time);
    int markers = 0, inside = 0, outside = 0;
    for (Cell cell : CellScreen) {
      markers += cell == kMarker;
      inside += cell == kInside;
      outside += cell == kOutside;
    }
    EXPECT_EQ(markers + inside + outside, kScreenCells) << time;
    EXPECT_GT(inside, 0) << time;
    EXPECT_GT(outside, 0) << time;
    for (int y = 0; y < kScreenHeight; ++y) ExpectRowFollowsParity(y);
  }
}

TEST(Spiral, InnermostArmCrossesTheCentre) {
  // At time 0 the last of the 126 points, at radius -2.5, lie just above the centre: the
  // last two edges are two rows high and get their extra markers.
  ClearCells();
  DrawSpiral(0);
  for (const auto& [x, y] : {std::pair{39, 19}, {40, 19}, {39, 20}, {40, 20}, {39, 21}}) {
    EXPECT_EQ(CellAt(x, y), kMarker) << x << ", " << y;
  }
}

TEST(Spiral, SmallTimesFlickerBetweenNearbyPictures) {
  std::vector<std::vector<Cell>> pictures;
  for (int32_t time : {0, 8, 16}) {
    ClearCells();
    DrawSpiral(time);
    pictures.emplace_back(CellScreen, CellScreen + kScreenCells);
  }
  EXPECT_NE(pictures[0], pictures[1]);
  EXPECT_NE(pictures[1], pictures[2]);
}

TEST(Spiral, CellsAlreadyDrawnStayAndActAsBorders) {
  ClearCells();
  // A wall down column 5 and a cell in the last column of every row.
  for (int y = 0; y < kScreenHeight; ++y) {
    CellScreen[5 + kScreenWidth * y] = 0x4F41;
    CellScreen[79 + kScreenWidth * y] = 0x4F42;
  }
  DrawSpiral(14000);
  int kept = 0;
  for (int y = 0; y < kScreenHeight; ++y) {
    // The edge markers may land on them; the fill never does.
    EXPECT_TRUE(CellAt(5, y) == 0x4F41 || CellAt(5, y) == kMarker) << y;
    EXPECT_TRUE(CellAt(79, y) == 0x4F42 || CellAt(79, y) == kMarker) << y;
    kept += CellAt(5, y) == 0x4F41;
    ExpectRowFollowsParity(y);
  }
  EXPECT_GT(kept, 0);
}
