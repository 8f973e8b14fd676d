// A wheel of spokes every half degree, each drawn as a hub segment and an outer segment in
// opposite colours (white and red), the colours swapping every 15 degrees.
#include "pinwheel.h"

#include <cmath>

#include "quorvel4/cell_lines.h"
#include "quorvel4/qmath.h"

namespace {

constexpr int32_t kHubX = 39;
constexpr int32_t kHubY = 24;
constexpr double kInnerRadius = 20.0;
constexpr double kOuterRadius = 40.0;
constexpr double kWidthScale = 1.33;  // cells are taller than wide
constexpr double kDegreesPerRadian = 57.2;  // the wheel's own, slightly short, conversion
constexpr double kSectorDegrees = 15.0;
constexpr int32_t kWhite = 0x0F00;
constexpr int32_t kRed = 0x0400;

struct SpokePoint {
  int32_t x;
  int32_t y;
};

// The point at `radius` along the spoke at `radians`; angle 0 points straight down.
SpokePoint PointOnSpoke(double radians, double radius) {
  const float x = static_cast<float>(QvlSin(radians) * radius * kWidthScale + kHubX);
  const float y = static_cast<float>(QvlCos(radians) * radius + kHubY);
  return {static_cast<int32_t>(x), static_cast<int32_t>(y)};
}

}  // namespace

void DrawPinwheel(int32_t time) {
  // Turns one degree every 100 ms and jumps back after 15 degrees. fmod, here and below, is
  // exact in every C library (its result is always representable).
  const int32_t start = static_cast<int32_t>(std::fmod(time / 100.0, kSectorDegrees));
  bool flag = false;
  // 721 spokes: the last one lies on the first, in the same colours.
  for (float a = static_cast<float>(start); a <= static_cast<float>(start + 360); a += 0.5f) {
    const double radians = static_cast<double>(a) / kDegreesPerRadian;
    const SpokePoint inner = PointOnSpoke(radians, kInnerRadius);
    const SpokePoint outer = PointOnSpoke(radians, kOuterRadius);
    if (std::fmod(static_cast<double>(start) + static_cast<double>(a), kSectorDegrees) == 0.0) flag = !flag;
    const int32_t hubColour = flag ? kWhite : kRed;
    const int32_t rimColour = flag ? kRed : kWhite;
    DrawLine(kHubX, kHubY, inner.x, inner.y, hubColour);
    DrawLine(inner.x, inner.y, outer.x, outer.y, rimColour);
  }
}
