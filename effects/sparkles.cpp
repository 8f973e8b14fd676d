// A thousand small circling plus signs in the Canvas.
//
// Each sparkle circles a fixed random point at a radius of 5 pixels, advancing by a random
// 0 to 9 degrees per step, and pulses through arm lengths 1 to 4. A plus sign is only its
// centre and the four arm tips.
#include "sparkles.h"
#include "canvas_plot.h"

#include <array>

#include "quorvel4/qmath.h"
#include "quorvel4/random.h"
#include "quorvel4/types.h"

namespace {

struct Sparkle {
  int32_t x;
  int32_t y;
  int32_t colour;
  int32_t active;
  int32_t angle;  // whole degrees, 0 to 359
  int32_t size;   // arm length, 1 to 4
  int32_t centreX;
  int32_t centreY;
};

constexpr int kSparkles = 1000;
constexpr double kRadius = 5.0;

std::array<Sparkle, kSparkles> gSparkles{};

void DrawSparkle(const Sparkle& s) {
  if (!(s.x > 0 && s.x < kCanvasWidth && s.y > 0 && s.y < kCanvasHeight)) return;
  PlotPixel(s.x, s.y, s.colour);
  if (s.x - s.size >= 0) PlotPixel(s.x - s.size, s.y, s.colour);
  if (s.x + s.size < kCanvasWidth) PlotPixel(s.x + s.size, s.y, s.colour);
  if (s.y + s.size < kCanvasHeight) PlotPixel(s.x, s.y + s.size, s.colour);
  // Stricter than the left arm: the upper arm never reaches row 0.
  if (s.y - s.size > 0) PlotPixel(s.x, s.y - s.size, s.colour);
}

}  // namespace

void ResetSparkles() { gSparkles.fill(Sparkle{}); }

void InitSparkles() {
  for (Sparkle& s : gSparkles) {
    s.active = 1;
    s.size = 1;
    const int32_t blue = Random() % 256;
    const int32_t green = Random() % 256;
    const int32_t red = Random() % 256;
    s.colour = blue * 0x10000 + green * 0x100 + red;
    s.centreX = Random() % 159;
    s.centreY = Random() % 99;
  }
}

void MoveSparkles() {
  for (Sparkle& s : gSparkles) {
    if (s.active == 0) continue;
    // The position comes from the angle before this step's advance.
    const double radians = s.angle / kDegreesPerRadian;
    s.x = static_cast<int32_t>(QvlSin(radians) * kRadius + s.centreX);
    s.y = static_cast<int32_t>(QvlCos(radians) * kRadius + s.centreY);
    s.angle += Random() % 10;
    if (s.angle >= 360) s.angle = 0;
    s.size += 1;
    if (s.size > 4) s.size = 1;
  }
}

void DrawSparkles() {
  for (const Sparkle& s : gSparkles) DrawSparkle(s);
}
