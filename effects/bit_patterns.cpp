// White-on-black patterns from the bits of the pixel coordinates.
//
// A pixel is lit where the XOR (or the AND) of its folded coordinates exceeds a threshold
// that rises along a quarter sine wave over 64 steps of 50 ms and then falls back to 0.
#include "bit_patterns.h"

#include <cstring>

#include "quorvel4/qmath.h"
#include "quorvel4/types.h"

namespace {

constexpr Pixel kLit = 0xFFFFFF;
// Slightly less than pi / 128, so the last phases stay at 63 instead of reaching 64.
constexpr double kPhaseStep = 0.02453125;
constexpr int kPhases = 64;
constexpr int kFoldX = 64;
constexpr int kFoldY = 32;

int32_t Threshold(int32_t time) {
  const int32_t phase = (time / 50) % kPhases;
  return static_cast<int32_t>(QvlSin(phase * kPhaseStep) * 64.0);
}

template <typename Combine>
void DrawPattern(int32_t time, Combine combine) {
  const int32_t threshold = Threshold(time);
  std::memset(Canvas, 0, sizeof Canvas);
  for (int y = 0; y < kCanvasHeight; ++y) {
    Pixel* row = Canvas + y * kCanvasWidth;
    for (int x = 0; x < kCanvasWidth; ++x) {
      if (combine(x % kFoldX, y % kFoldY) > threshold) row[x] = kLit;
    }
  }
}

}  // namespace

void DrawXorPattern(int32_t time) {
  DrawPattern(time, [](int a, int b) { return a ^ b; });
}

void DrawAndPattern(int32_t time) {
  DrawPattern(time, [](int a, int b) { return a & b; });
}
