// Provisional: replaced by the real effect.
#include "pinwheel.h"

void DrawPinwheel(int32_t) {}
