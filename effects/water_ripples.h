// Ripples on a water surface, shown as grey levels in the Canvas.
#pragma once

#include <cstddef>
#include <cstdint>

// The two height fields: they live for the whole run.
constexpr size_t kRippleFieldBytes = 66096;
extern int32_t* RippleFields[2];

// Allocates the fields (the first time) and sets both to zero: the demo does it at start-up.
void PrepareRippleFields();

// Calm water: both fields (if allocated) to zero, and the first field current again.
void ResetWaterRipples();

void DrawWaterRipples(int32_t time);
