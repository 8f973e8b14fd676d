// A wobbling seven-turn spiral shown as the border between two fills: its outline is marked
// with invisible marker Cells, then every empty Cell is filled row by row, switching between a
// blank fill and blue crosses each time the scan leaves a run of markers.
#include "spiral.h"

#include <cmath>

#include "quorvel4/cell_lines.h"
#include "quorvel4/qmath.h"
#include "quorvel4/types.h"

namespace {

constexpr double kDegreesPerRadian = 57.14;
constexpr float kStartRadius = 60.0f;
constexpr float kRadiusStep = 0.5f;
constexpr float kAngleStep = 20.0f;
constexpr float kTotalDegrees = 2520.0f;  // seven turns, 126 points
constexpr double kCentreX = 40.0;
constexpr double kCentreY = 25.0;
constexpr double kWobble = 4.0;
constexpr Cell kOutsideFill = 0x0720;  // a grey space: shows as blank
constexpr Cell kInsideFill = 0x0178;   // a blue "x"

void MarkSpiral(int32_t time) {
  // fmod is exact in every C library (its result is always representable).
  const float start = static_cast<float>(std::fmod(static_cast<double>(time / 12), 360.0));
  float radius = kStartRadius;
  float previousX = 0.0f;
  float previousY = 0.0f;
  for (float angle = start; angle < start + kTotalDegrees; angle += kAngleStep) {
    const double turned = static_cast<double>(time) + static_cast<double>(angle);
    const double radians = static_cast<double>(angle) / kDegreesPerRadian;
    const float x = static_cast<float>(
        (static_cast<double>(radius) + kWobble * QvlSin(turned / 43.0)) * QvlSin(radians) + kCentreX);
    const float y = static_cast<float>(
        (static_cast<double>(radius) + kWobble * QvlCos(turned / 60.0)) * QvlCos(radians) + kCentreY);
    if (angle == start) {
      previousX = x;
      previousY = y;
    }
    radius = radius - kRadiusStep;
    DrawFillEdge(static_cast<int32_t>(previousX), static_cast<int32_t>(previousY), static_cast<int32_t>(x),
                 static_cast<int32_t>(y));
    previousX = x;
    previousY = y;
  }
}

// Fills the empty Cells of one row. Leaving a run of non-empty Cells switches between the
// outside and the inside fill; the right-hand neighbour is read before the scan fills it. The
// last column has no neighbour in the row, and a switch there would have nothing left to fill.
void FillRow(Cell* row) {
  bool outside = true;
  for (int x = 0; x < kScreenWidth; ++x) {
    const bool edge = row[x] != 0;
    if (edge && x + 1 < kScreenWidth && row[x + 1] == 0) outside = !outside;
    if (!edge) row[x] = outside ? kOutsideFill : kInsideFill;
  }
}

}  // namespace

void DrawSpiral(int32_t time) {
  MarkSpiral(time);
  for (int y = 0; y < kScreenHeight; ++y) FillRow(CellScreen + y * kScreenWidth);
}
