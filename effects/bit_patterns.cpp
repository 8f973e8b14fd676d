// Provisional: replaced by the real effect.
#include "bit_patterns.h"

void DrawXorPattern(int32_t) {}
void DrawAndPattern(int32_t) {}
