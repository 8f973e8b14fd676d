// Provisional: replaced by the real effect.
#include "starfield.h"

void DrawStarfield(int32_t) {}
