// Two full-screen sine plasmas. Each pixel mixes sines and cosines of its column, its row and
// the time; every term that depends on the column alone, the row alone or the time alone is
// worked out once per column or per frame, in the same precision and order as the per-pixel
// formula, so each pixel comes out exactly as if computed in full.
#include "plasma.h"

#include <cstdint>

#include "quorvel4/qmath.h"
#include "quorvel4/types.h"

namespace {

// Each plasma's phase: grows by t / 5000 per column on every call, back to 0 only when a new
// run starts (ResetPlasma).
float gColourDrift = 0.0f;
float gBlueDrift = 0.0f;

// The row terms of one frame (they depend on the row and on t only).
struct RowTerms {
  double greenBase[kCanvasHeight];  // y + t / 2, to which each column adds its drift
  double blueScaled[kCanvasHeight];  // cos(y + t / P2) / P3
  double blueSecond[kCanvasHeight];  // cos((y + t) / P5)
  double red[kCanvasHeight];         // cos((y - t) / P7)
};

void ComputeRowTerms(const PlasmaShape& shape, double t, RowTerms* rows) {
  for (int y = 0; y < kCanvasHeight; ++y) {
    const double row = y;
    rows->greenBase[y] = row + t / 2.0;
    rows->blueScaled[y] = QvlCos(row + t / shape.rowTimeB) / shape.rowScaleB;
    rows->blueSecond[y] = QvlCos((row + t) / shape.rowB);
    rows->red[y] = QvlCos((row - t) / shape.rowR);
  }
}

// (value + 1) / 2 * 250 in three single-precision steps.
float ToLevel(float value) {
  value = value + 1.0f;
  value = value / 2.0f;
  return value * 250.0f;
}

// Truncates a channel level already clamped to at most 255. Levels below 0 (or not numbers
// at all, should the time be) give 0: the same as truncation for the small negative values
// the formulas produce, and no conversion of a NaN to an integer.
uint32_t ToChannel(float level) { return level > 0.0f ? static_cast<uint32_t>(level) : 0u; }

void RenderPlasma(const PlasmaShape& shape, float& drift, float time) {
  const float t = static_cast<float>(static_cast<double>(time) / 20.0);
  const double td = t;
  RowTerms rows;
  ComputeRowTerms(shape, td, &rows);
  for (int x = 0; x < kCanvasWidth; ++x) {
    drift = static_cast<float>(static_cast<double>(drift) + td / 5000.0);
    const double column = x;
    const double drifted = drift;
    const double greenColumn = QvlSin((column - td) / shape.columnG);
    const double greenWeight = QvlCos(drifted / 1000.0) * shape.driftWeight;
    const double blueColumn = QvlSin((column + td) / shape.columnB);
    const double redColumn = QvlSin((column + td) / shape.columnR);
    Pixel* pixel = Canvas + x;
    for (int y = 0; y < kCanvasHeight; ++y, pixel += kCanvasWidth) {
      float g = static_cast<float>(greenColumn + greenWeight * QvlSin((rows.greenBase[y] + drifted) / 40.0));
      float b = static_cast<float>(rows.blueScaled[y] * blueColumn + rows.blueSecond[y]);
      float r = static_cast<float>(redColumn * rows.red[y]);
      g = ToLevel(g);
      b = ToLevel(b);
      r = ToLevel(r);
      if (g > 255.0f) g = 255.0f;
      if (b > 255.0f) b = 255.0f;
      if (r > 255.0f) r = 255.0f;
      if (shape.dimGreenRed) {
        g = g / 4.0f;
        r = r / 4.0f;
      }
      *pixel = ToChannel(b) << 16 | ToChannel(g) << 8 | ToChannel(r);
    }
  }
}

}  // namespace

void ResetPlasma() {
  gColourDrift = 0.0f;
  gBlueDrift = 0.0f;
}

void DrawPlasma(float time) { RenderPlasma(kColourPlasma, gColourDrift, time); }

void DrawBluePlasma(float time) { RenderPlasma(kBluePlasma, gBlueDrift, time); }
