// Ripples on a water surface: an integer height field stepped with the two-field wave scheme
// (the new height comes from the neighbours in one field and the older height in the other),
// disturbed by a source gliding along a Lissajous path and by random drops, shown in grey.
#include "water_ripples.h"

#include <cmath>
#include <cstring>

#include "quorvel4/assert.h"
#include "quorvel4/qmath.h"
#include "quorvel4/random.h"
#include "quorvel4/types.h"

int32_t* RippleFields[2] = {nullptr, nullptr};

void PrepareRippleFields() {
  for (int32_t*& field : RippleFields) {
    if (field == nullptr) field = new int32_t[kRippleFieldBytes / sizeof(int32_t)];
    std::memset(field, 0, kRippleFieldBytes);
  }
}

namespace {

constexpr int32_t kWidth = kCanvasWidth;
constexpr int32_t kSourceHeight = 455;
constexpr int32_t kDampingShift = 6;
constexpr int32_t kBrightest = 255;

// Which field is current in this call; alternates on every call, false again only when a new
// run starts (ResetWaterRipples).
bool gTurn = false;

int32_t Index(int32_t x, int32_t y) { return x + kWidth * y; }

// Raises the four neighbours of the source's point (not the point itself). The time is divided
// in floating point, so the source glides rather than steps.
void DisturbAtSource(int32_t* field, int32_t time) {
  const double sx = static_cast<float>(QvlSin(time / 400.0) * 30.0 + 80.0);
  const double sy = static_cast<float>(QvlCos(time / 250.0) * 30.0 + 50.0);
  field[Index(static_cast<int32_t>(sx + 1.0), static_cast<int32_t>(sy))] = kSourceHeight;
  field[Index(static_cast<int32_t>(sx), static_cast<int32_t>(sy + 1.0))] = kSourceHeight;
  field[Index(static_cast<int32_t>(sx), static_cast<int32_t>(sy - 1.0))] = kSourceHeight;
  field[Index(static_cast<int32_t>(sx - 1.0), static_cast<int32_t>(sy))] = kSourceHeight;
}

// The drop level: grows with the time up to 3, then a heavy shower (9) until the level would
// pass 4, after which it falls back to 0.
float DropLevel(int32_t time) {
  float h = static_cast<float>(time / 1500.0);
  if (h > 4.0f) h = 0.0f;
  if (h > 3.0f) h = 9.0f;
  return h;
}

// 2 raised to the level drops (rounded up), each at a random element, all of one height.
// pow(2, h) is exact for whole h; for the fractional levels any result within two ulps gives
// the same count, so C libraries that differ in pow's last bit drop the same number
// (test_exact_library_math).
void LetDropsFall(int32_t* field, int32_t time) {
  const float h = DropLevel(time);
  const double drops = std::pow(2.0, static_cast<double>(h));
  const int32_t height = static_cast<int32_t>(static_cast<double>(h) * 44.0 + 50.0);
  for (int32_t count = 0; drops > count; ++count) {
    const int32_t x = Random() % kCanvasWidth;
    const int32_t y = Random() % kCanvasHeight;
    field[Index(x, y)] = height;
  }
}

// One wave step of the inner elements: each new height depends only on `current` and on the
// element's own older height, so the order of the elements does not matter.
void StepWaves(const int32_t* current, int32_t* previous) {
  for (int32_t y = 1; y < kCanvasHeight - 1; ++y) {
    for (int32_t x = 1; x < kWidth - 1; ++x) {
      const int32_t i = Index(x, y);
      int32_t s = current[i - 1] + current[i + 1] + current[i - kWidth] + current[i + kWidth] +
                  current[i - kWidth - 1] + current[i - kWidth + 1] + current[i + kWidth - 1] +
                  current[i + kWidth + 1] - 4 * previous[i];
      s = s / 4;
      s = s - (s >> kDampingShift);
      if (s > kBrightest) s = kBrightest;
      if (s < 0) s = 0;
      previous[i] = s;
      Canvas[i] = static_cast<Pixel>(s) * 0x010101u;
    }
  }
}

}  // namespace

void ResetWaterRipples() {
  gTurn = false;
  for (int32_t* field : RippleFields)
    if (field != nullptr) std::memset(field, 0, kRippleFieldBytes);
}

void DrawWaterRipples(int32_t time) {
  QVL_ASSERT("water_ripples", RippleFields[0] != nullptr && RippleFields[1] != nullptr);
  int32_t* current = gTurn ? RippleFields[0] : RippleFields[1];
  int32_t* previous = gTurn ? RippleFields[1] : RippleFields[0];
  gTurn = !gTurn;
  DisturbAtSource(current, time);
  LetDropsFall(current, time);
  StepWaves(current, previous);
}
