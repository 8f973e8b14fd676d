// Ripples on a water surface, shown as grey levels in the Canvas.
#pragma once

#include <cstddef>
#include <cstdint>

// The two height fields (allocated and zeroed by the demo at start-up).
constexpr size_t kRippleFieldBytes = 66096;
extern int32_t* RippleFields[2];

void DrawWaterRipples(int32_t time);
