// Provisional: replaced by the real effect.
#include "water_ripples.h"

int32_t* RippleFields[2] = {nullptr, nullptr};

void DrawWaterRipples(int32_t) {}
