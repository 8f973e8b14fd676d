// What the effects that plot single pixels share.
#pragma once

#include <cstdint>

#include "quorvel4/types.h"

// Puts `colour` at (x, y) of the Canvas, unchecked: each effect clips in its own way.
inline void PlotPixel(int32_t x, int32_t y, int32_t colour) {
  Canvas[x + kCanvasWidth * y] = static_cast<Pixel>(colour);
}

// The sparkles and the swarm turn whole degrees into radians with this rounded divisor
// (the pinwheel and the spiral keep divisors of their own).
constexpr double kDegreesPerRadian = 57.3;
