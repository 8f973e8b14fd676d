// Coloured character noise over the whole CellScreen.
//
// Each column starts from a random attribute and character near a slowly waving base and
// drifts down the rows in random quarter steps, giving vertical streaks that flicker every
// frame. The spread of the starting values doubles every 4 seconds of the time argument.
//
// Random numbers drawn per call: 80 columns * (2 + 2 * 50 rows) = 8160.
#include "cell_noise.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "quorvel4/qmath.h"
#include "quorvel4/random.h"
#include "quorvel4/types.h"

namespace {

// From about 120 s on the spread would leave the 32-bit integer range (and later the float
// range), so its growth stops there; the show passes at most about 12.6 s.
constexpr int32_t kLastGrowingTime = 119999;

// pow's last bit may differ between C libraries, but for every time the float spread is the
// same for any result within two ulps (test_exact_library_math).
float Spread(int32_t time) {
  const double doublings = std::min(time, kLastGrowingTime) / 4000.0;
  return static_cast<float>(2.0 * std::pow(2.0, doublings));
}

// |base + rand() % n|, the starting value of one of a column's two running values.
float StartValue(int32_t base, int32_t n) { return static_cast<float>(std::abs(base + Random() % n)); }

// One drift step: down by a quarter or not at all, then wrapped by 255 keeping the sign
// (fmod is exact in every C library: its result is always representable).
float Drift(float value) {
  const float stepped = static_cast<float>(double(value) + (Random() % 2 - 1) * 0.25);
  return static_cast<float>(std::fmod(double(stepped), 255.0));
}

// The low 16 bits of attribute * 256 + character: a negative character borrows from the
// attribute byte.
Cell NoiseCell(float attribute, float character) {
  const int32_t value = static_cast<int32_t>(attribute) * 256 + static_cast<int32_t>(character);
  return static_cast<Cell>(value);
}

}  // namespace

void DrawCellNoise(int32_t time) {
  const float spread = Spread(time);
  const int32_t n = static_cast<int32_t>(double(spread) + 1.0);
  const double timePhase = (time % 1000) / 400.0;

  float x = 0.0f;
  for (int column = 0; column < kScreenWidth; ++column, x += 1.0f) {
    const float wave = static_cast<float>(QvlSin((double(x) / 40.0 + timePhase) / 30.0) * double(spread));
    const int32_t base = static_cast<int32_t>(wave);
    float attribute = StartValue(base, n);
    float character = StartValue(base, n);
    for (int row = 0; row < kScreenHeight; ++row) {
      attribute = Drift(attribute);
      character = Drift(character);
      CellScreen[column + kScreenWidth * row] = NoiseCell(attribute, character);
    }
  }
}
