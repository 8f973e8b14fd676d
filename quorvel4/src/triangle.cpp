#include "quorvel4/triangle.h"

#include <algorithm>
#include <cstddef>
#include <utility>

namespace {

// a * b / c, truncated toward zero, for differences of two 32-bit values (|a|, |b|, |c| below
// 2^32) and c > 0. The product needs up to 64 bits of magnitude, which an unsigned 64-bit
// integer holds exactly; the sign is put back after the division.
int64_t MulDivTowardZero(int64_t a, int64_t b, int64_t c) {
  const bool negative = (a < 0) != (b < 0);
  const uint64_t magnitude = (static_cast<uint64_t>(a < 0 ? -a : a) * static_cast<uint64_t>(b < 0 ? -b : b)) /
                             static_cast<uint64_t>(c);
  return negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
}

constexpr int32_t kLastColumn = kCanvasWidth - 1;
constexpr int32_t kLastRow = kCanvasHeight - 1;

bool OnCanvasColumn(int32_t x) { return x >= 0 && x <= kLastColumn; }

// Truncation toward zero of an edge position. Positions far off the Canvas are pinned
// first, which keeps the conversion defined and changes no clipping decision.
int32_t TruncEdge(float v) {
  constexpr float kFar = 1e9f;
  if (v < -kFar) return -1000000000;
  if (v > kFar) return 1000000000;
  return static_cast<int32_t>(v);
}

// The two edges of a flat-sided part: positions and their per-row increments, all held as
// 32-bit floats.
struct Edges {
  float left, right, dl, dr;

  void Advance() {
    left = static_cast<float>(double(left) + double(dl));
    right = static_cast<float>(double(right) + double(dr));
  }
  // Moves both edges down `rows` rows in one step.
  void AdvanceBy(double rows) {
    left = static_cast<float>(double(left) + rows * double(dl));
    right = static_cast<float>(double(right) + rows * double(dr));
  }
};

void PaintSpan(int32_t y, int32_t xl, int32_t xr, Pixel colour) {
  if (xl > xr) return;
  Pixel* row = Canvas + static_cast<ptrdiff_t>(y) * kCanvasWidth;
  std::fill(row + xl, row + xr + 1, colour);
}

// All three vertex x lie on the Canvas, so every span does too: no bound checks.
void FastScan(Edges e, int32_t firstRow, int32_t lastRow, Pixel colour) {
  for (int32_t y = firstRow; y <= lastRow; ++y) {
    const int32_t xl = static_cast<int32_t>(e.left), xr = static_cast<int32_t>(e.right);
    PaintSpan(y, xl, xr, colour);
    e.Advance();
  }
}

void ClippingScan(Edges e, int32_t firstRow, int32_t lastRow, Pixel colour) {
  for (int32_t y = firstRow; y <= lastRow; ++y) {
    int32_t xl = TruncEdge(e.left), xr = TruncEdge(e.right);
    e.Advance();  // before clipping: a skipped row still moves the edges
    if (xl < 0) {
      xl = 0;
      if (xr < 0) continue;
    }
    if (xr > kLastColumn) {
      xr = kLastColumn;
      if (xl > kLastColumn) continue;
    }
    PaintSpan(y, xl, xr, colour);
  }
}

// Scans a part from row `top` to row `bottom`, clipped to the Canvas rows. `e` holds the
// edges at row `top`.
void ScanPart(Edges e, int32_t top, int32_t bottom, bool allColumnsOnCanvas, Pixel colour) {
  int32_t firstRow = top;
  if (top < 0) {
    e.AdvanceBy(-double(top));
    firstRow = 0;
  }
  const int32_t lastRow = std::min(bottom, kLastRow);
  if (allColumnsOnCanvas)
    FastScan(e, firstRow, lastRow, colour);
  else
    ClippingScan(e, firstRow, lastRow, colour);
}

// An edge's per-row increment: the horizontal run (exact in 64 bits) over the height,
// rounded once to a float.
float Slope(int64_t run, float height) { return static_cast<float>(double(run) / double(height)); }

// A part with one flat side: its left edge runs from column leftTop in row `top` to column
// leftBottom in row `bottom`, its right edge from rightTop to rightBottom. The left edge
// starts truncated, the right edge half a pixel further right (rounded to nearest).
void FillPart(int32_t leftTop, int32_t rightTop, int32_t leftBottom, int32_t rightBottom, int32_t top, int32_t bottom,
              Pixel colour) {
  if (top >= bottom) return;
  const float h = static_cast<float>(int64_t{bottom} - top);
  Edges e;
  e.dl = Slope(int64_t{leftBottom} - leftTop, h);
  e.dr = Slope(int64_t{rightBottom} - rightTop, h);
  e.left = static_cast<float>(leftTop);
  e.right = static_cast<float>(double(rightTop) + 0.5);
  const bool onCanvas = OnCanvasColumn(leftTop) && OnCanvasColumn(rightTop) && OnCanvasColumn(leftBottom) &&
                        OnCanvasColumn(rightBottom);
  ScanPart(e, top, bottom, onCanvas, colour);
}

}  // namespace

void FillFlatBottom(int32_t apexX, int32_t apexY, int32_t leftX, int32_t /*leftY*/, int32_t rightX, int32_t bottomY,
                    Pixel colour) {
  if (rightX < leftX) std::swap(leftX, rightX);
  FillPart(apexX, apexX, leftX, rightX, apexY, bottomY, colour);
}

void FillFlatTop(int32_t leftX, int32_t topY, int32_t rightX, int32_t /*rightY*/, int32_t apexX, int32_t apexY,
                 Pixel colour) {
  if (rightX < leftX) std::swap(leftX, rightX);
  FillPart(leftX, rightX, apexX, apexX, topY, apexY, colour);
}

void FillTriangle(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t x2, int32_t y2, Pixel colour) {
  if ((x0 == x1 && x1 == x2) || (y0 == y1 && y1 == y2)) return;

  // Three compare-and-swaps, each moving whole vertices and only on strictly smaller y.
  if (y1 < y0) {
    std::swap(x0, x1);
    std::swap(y0, y1);
  }
  if (y2 < y0) {
    std::swap(x0, x2);
    std::swap(y0, y2);
  }
  if (y2 < y1) {
    std::swap(x1, x2);
    std::swap(y1, y2);
  }

  if (y2 < 0 || y0 > kLastRow) return;
  if (x0 < 0 && x1 < 0 && x2 < 0) return;
  if (x0 > kLastColumn && x1 > kLastColumn && x2 > kLastColumn) return;

  if (y0 == y1) {
    FillFlatTop(x0, y0, x1, y1, x2, y2, colour);
  } else if (y1 == y2) {
    FillFlatBottom(x0, y0, x1, y1, x2, y2, colour);
  } else {
    // Where the long edge crosses row y1. The quotient lies between x0 and x2, so the result
    // fits again in 32 bits.
    const int32_t xs = static_cast<int32_t>(x0 + MulDivTowardZero(int64_t{y1} - y0, int64_t{x2} - x0, int64_t{y2} - y0));
    FillFlatBottom(x0, y0, xs, y1, x1, y1, colour);
    FillFlatTop(x1, y1, xs, y1, x2, y2, colour);
  }
}
