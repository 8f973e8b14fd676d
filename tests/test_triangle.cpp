#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "quorvel4/triangle.h"

namespace {

constexpr Pixel kInk = 0x00ABCDEF;

struct Vertex {
  int32_t x, y;
};

void ClearCanvas() { std::fill(Canvas, Canvas + kCanvasPixels, Pixel{0}); }

bool Painted(int x, int y) { return Canvas[y * kCanvasWidth + x] == kInk; }

int CountPainted() { return static_cast<int>(std::count(Canvas, Canvas + kCanvasPixels, kInk)); }

std::vector<Pixel> Paint(const std::array<Vertex, 3>& v) {
  ClearCanvas();
  FillTriangle(v[0].x, v[0].y, v[1].x, v[1].y, v[2].x, v[2].y, kInk);
  return std::vector<Pixel>(Canvas, Canvas + kCanvasPixels);
}

// The painted columns of row y as [first, last], or {-1, -1} when the row is empty. Fails
// the test when the painted pixels of the row are not one run.
std::pair<int, int> RowSpan(int y) {
  int first = -1, last = -1;
  for (int x = 0; x < kCanvasWidth; ++x)
    if (Painted(x, y)) {
      if (first < 0) first = x;
      EXPECT_TRUE(last < 0 || last == x - 1) << "row " << y << " has a gap at " << x;
      last = x;
    }
  return {first, last};
}

// Signed distances of point (px, py) from the three edges, positive inside.
std::array<double, 3> EdgeDistances(const std::array<Vertex, 3>& v, double px, double py) {
  const double area = double(v[1].x - v[0].x) * (v[2].y - v[0].y) - double(v[2].x - v[0].x) * (v[1].y - v[0].y);
  std::array<double, 3> d{};
  for (int i = 0; i < 3; ++i) {
    const Vertex& a = v[i];
    const Vertex& b = v[(i + 1) % 3];
    const double cross = double(b.x - a.x) * (py - a.y) - double(b.y - a.y) * (px - a.x);
    d[i] = (area > 0 ? cross : -cross) / std::hypot(double(b.x - a.x), double(b.y - a.y));
  }
  return d;
}

std::array<Vertex, 3> RandomTriangle(std::mt19937& rng, int lo, int hi) {
  std::uniform_int_distribution<int32_t> coord(lo, hi);
  return {{{coord(rng), coord(rng)}, {coord(rng), coord(rng)}, {coord(rng), coord(rng)}}};
}

}  // namespace

TEST(Triangle, DegenerateAndOffCanvasTrianglesPaintNothing) {
  const std::array<Vertex, 3> cases[] = {
      {{{10, 10}, {10, 50}, {10, 90}}},      // one column
      {{{10, 20}, {50, 20}, {90, 20}}},      // one row
      {{{-5, 0}, {-90, 50}, {-1, 99}}},      // left of the Canvas
      {{{160, 0}, {300, 50}, {161, 99}}},    // right of it
      {{{0, -1}, {159, -80}, {80, -2}}},     // above
      {{{0, 100}, {159, 180}, {80, 101}}},   // below
      {{{-5, 200}, {-90, -50}, {-1, 999}}},  // left, spanning every row
  };
  for (const auto& v : cases) {
    Paint(v);
    EXPECT_EQ(CountPainted(), 0) << v[0].x << "," << v[0].y;
  }
}

TEST(Triangle, RightAngleTriangleHasTruncatedLeftAndRoundedRightEdges) {
  Paint({{{0, 0}, {20, 0}, {0, 20}}});
  for (int y = 0; y <= 20; ++y) EXPECT_EQ(RowSpan(y), std::make_pair(0, 20 - y)) << y;
  EXPECT_EQ(CountPainted(), 21 * 22 / 2);

  // Right edge from (10, 0) to (14, 10): x + 0.4 at row 1 stays in column 10, x + 0.6 at
  // row 4 (11.6) reaches column 12.
  Paint({{{14, 10}, {10, 0}, {10, 10}}});
  EXPECT_EQ(RowSpan(1), std::make_pair(10, 10));
  EXPECT_EQ(RowSpan(4), std::make_pair(10, 12));
  EXPECT_EQ(RowSpan(10), std::make_pair(10, 14));
}

TEST(Triangle, ClippedRowsStillAdvanceTheEdges) {
  // Right edge from (-50, 0) to (50, 100): at row y it lies at y - 50, rounded y - 49.5.
  // Rows up to 48 lie wholly left of the Canvas; row 49 truncates -0.5 to column 0.
  Paint({{{-50, 0}, {50, 100}, {-50, 100}}});
  for (int y = 0; y < kCanvasHeight; ++y) {
    const auto span = RowSpan(y);
    if (y < 49) {
      EXPECT_EQ(span.first, -1) << y;
    } else {
      EXPECT_EQ(span, std::make_pair(0, static_cast<int>(y - 49.5))) << y;
    }
  }
}

TEST(Triangle, TallTriangleCoversEveryRowAndNothingElse) {
  Paint({{{80, -50}, {0, 150}, {159, 150}}});
  for (int y = 0; y < kCanvasHeight; ++y) {
    const auto span = RowSpan(y);
    EXPECT_NE(span.first, -1) << y;
    EXPECT_LE(span.first, 80);
    EXPECT_GE(span.second, 80);
  }
}

TEST(Triangle, FlatFillersRequireTheirRowOrder) {
  ClearCanvas();
  FillFlatBottom(50, 40, 10, 40, 90, 40, kInk);  // apex on the flat row
  FillFlatBottom(50, 60, 10, 40, 90, 40, kInk);  // apex below it
  FillFlatTop(10, 40, 90, 40, 50, 40, kInk);
  FillFlatTop(10, 40, 90, 40, 50, 20, kInk);
  EXPECT_EQ(CountPainted(), 0);

  // Left and right may come in either order.
  ClearCanvas();
  FillFlatBottom(50, 10, 90, 40, 10, 40, kInk);
  const std::vector<Pixel> swapped(Canvas, Canvas + kCanvasPixels);
  ClearCanvas();
  FillFlatBottom(50, 10, 10, 40, 90, 40, kInk);
  EXPECT_TRUE(std::equal(swapped.begin(), swapped.end(), Canvas));
  EXPECT_EQ(RowSpan(40), std::make_pair(10, 90));
}

TEST(Triangle, EveryVertexOrderPaintsTheSamePixels) {
  std::mt19937 rng(7);
  for (int n = 0; n < 400; ++n) {
    std::array<Vertex, 3> v = n % 2 ? RandomTriangle(rng, -40, 200) : RandomTriangle(rng, 0, 159);
    if (n % 5 == 0) v[1].y = v[0].y;  // flat top or bottom
    std::sort(v.begin(), v.end(), [](Vertex a, Vertex b) { return a.x != b.x ? a.x < b.x : a.y < b.y; });
    const std::vector<Pixel> reference = Paint(v);
    while (std::next_permutation(v.begin(), v.end(),
                                 [](Vertex a, Vertex b) { return a.x != b.x ? a.x < b.x : a.y < b.y; }))
      ASSERT_EQ(Paint(v), reference) << "triangle " << n;
  }
}

// Pixels well inside the triangle are painted, pixels well outside are not. The margin
// covers the truncated split point, the truncated left and the rounded right edge.
TEST(Triangle, PaintedPixelsFollowTheGeometry) {
  std::mt19937 rng(11);
  constexpr double kMargin = 3.0;
  for (int n = 0; n < 300; ++n) {
    const std::array<Vertex, 3> v = n % 3 ? RandomTriangle(rng, -300, 460) : RandomTriangle(rng, 0, 159);
    Paint(v);
    for (int y = 0; y < kCanvasHeight; ++y)
      for (int x = 0; x < kCanvasWidth; ++x) {
        const auto d = EdgeDistances(v, x, y);
        const double inside = std::min({d[0], d[1], d[2]});
        if (inside >= kMargin) {
          ASSERT_TRUE(Painted(x, y)) << "triangle " << n << " at " << x << "," << y;
        }
        if (inside <= -kMargin) {
          ASSERT_FALSE(Painted(x, y)) << "triangle " << n << " at " << x << "," << y;
        }
      }
  }
}

// Far-out vertices: nothing is written outside the Canvas (the sanitizer build checks every
// write), the split point is exact, and only the triangle's rows are painted. (Its columns
// are not checked here: float edge positions far off the Canvas are coarse.)
TEST(Triangle, FarOutVerticesAreClippedSafely) {
  constexpr int32_t kMin = std::numeric_limits<int32_t>::min(), kMax = std::numeric_limits<int32_t>::max();

  // The split product (y1 - y0) * (x2 - x0) needs more than 32 bits here; the triangle
  // covers the whole Canvas.
  Paint({{{-2000000000, -2000000000}, {2000000000, 50}, {-1900000000, 2000000000}}});
  EXPECT_EQ(CountPainted(), kCanvasPixels);

  // The lower-left half of the plane, cut on the diagonal x = y.
  Paint({{{kMin, kMin}, {kMax, kMax}, {kMin, kMax}}});
  for (int y = 0; y < kCanvasHeight; ++y) EXPECT_EQ(RowSpan(y), std::make_pair(0, y)) << y;

  std::mt19937 rng(3);
  std::uniform_int_distribution<int32_t> any(kMin, kMax), near(-400, 500);
  for (int n = 0; n < 3000; ++n) {
    std::array<Vertex, 3> v{};
    for (Vertex& p : v) {
      p.x = n % 3 == 0 ? any(rng) : near(rng);
      p.y = n % 2 == 0 ? any(rng) : near(rng);
    }
    if (n % 7 == 0) v[2] = {n % 2 ? kMax : kMin, v[2].y};
    Paint(v);
    if (n % 11 == 0) {  // the halves called directly, with any arguments
      FillFlatBottom(v[0].x, v[0].y, v[1].x, v[1].y, v[2].x, v[2].y, kInk);
      FillFlatTop(v[0].x, v[0].y, v[1].x, v[1].y, v[2].x, v[2].y, kInk);
      continue;
    }
    const int64_t minY = std::min({v[0].y, v[1].y, v[2].y}), maxY = std::max({v[0].y, v[1].y, v[2].y});
    for (int y = 0; y < kCanvasHeight; ++y)
      for (int x = 0; x < kCanvasWidth; ++x)
        if (Painted(x, y)) {
          ASSERT_TRUE(y >= minY && y <= maxY) << "triangle " << n;
        }
  }
}
