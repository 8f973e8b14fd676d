// Provisional: replaced by the real effect.
#include "spiral.h"

void DrawSpiral(int32_t) {}
