// Dots, lines and fill edges drawn straight into the CellScreen.
//
// The slopes and positions are held as 32-bit floats while the products and sums built from
// them are taken in double precision: that mix decides which Cell a dot lands in (a line from
// (0, 0) to (3, 38) ends at (2, 38), because 38 times the float nearest 3/38 falls short of 3).
#include "quorvel4/cell_lines.h"

#include <cstdlib>
#include <utility>

#include "quorvel4/types.h"

namespace {

constexpr Cell kDotCharacter = 0x2E;

int32_t Pin(int32_t value, int32_t last) {
  if (value < 0) return 0;
  if (value > last) return last;
  return value;
}

// Walks the major axis from `from` to `to` (both ends included by the caller's first dot),
// taking the minor coordinate from the float slope and intercept.
template <typename Plot>
void WalkMajorAxis(int32_t from, int32_t to, float slope, float intercept, Plot plot) {
  const int32_t step = to >= from ? 1 : -1;
  for (int32_t major = from; major != to;) {
    major += step;
    const double minor = static_cast<double>(major) * static_cast<double>(slope) + static_cast<double>(intercept);
    plot(major, static_cast<int32_t>(minor));
  }
}

// m = numerator / denominator and b = origin - start * m, each held as a 32-bit float.
std::pair<float, float> SlopeAndIntercept(int32_t numerator, int32_t denominator, int32_t start, int32_t origin) {
  const float slope = static_cast<float>(static_cast<double>(numerator) / static_cast<double>(denominator));
  const float intercept =
      static_cast<float>(static_cast<double>(origin) - static_cast<double>(start) * static_cast<double>(slope));
  return {slope, intercept};
}

}  // namespace

void PlotDot(int32_t x, int32_t y, int32_t colour) {
  x = Pin(x, kScreenWidth - 1);
  y = Pin(y, kScreenHeight - 1);
  CellScreen[y * kScreenWidth + x] = static_cast<Cell>(static_cast<uint32_t>(colour) | kDotCharacter);
}

void DrawLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t colour) {
  const int32_t dx = x2 - x1;
  const int32_t dy = y2 - y1;
  PlotDot(x1, y1, colour);
  if (std::abs(dx) > std::abs(dy)) {
    const auto [m, b] = SlopeAndIntercept(dy, dx, x1, y1);
    WalkMajorAxis(x1, x2, m, b, [colour](int32_t x, int32_t y) { PlotDot(x, y, colour); });
  } else if (dy != 0) {
    const auto [m, b] = SlopeAndIntercept(dx, dy, y1, x1);
    WalkMajorAxis(y1, y2, m, b, [colour](int32_t y, int32_t x) { PlotDot(x, y, colour); });
  }
}

void DrawFillEdge(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  const float rows = static_cast<float>(std::abs(y2 - y1));
  if (y1 > y2) {
    std::swap(x1, x2);
    std::swap(y1, y2);
  }
  if (y1 == y2) {
    PlotDot(x1, y1, 0);
    return;
  }
  // The column advances by accumulating ux row after row, rounded to float at every step.
  const float ux = static_cast<float>(static_cast<double>(x2 - x1) / static_cast<double>(rows));
  const float uy = static_cast<float>(static_cast<double>(y2 - y1) / static_cast<double>(rows));
  float fx = static_cast<float>(x1);
  float fy = static_cast<float>(y1);
  while (static_cast<double>(fy) <= static_cast<double>(y2)) {
    PlotDot(static_cast<int32_t>(fx), static_cast<int32_t>(fy), 0);
    fx = fx + ux;
    fy = fy + uy;
  }
  // An edge spanning exactly two rows also marks the Cell just right of its upper end.
  if (y1 + 1 == y2) PlotDot(x1 + 1, y1, 0);
}
