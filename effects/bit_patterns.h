// White-on-black patterns from the bits of the pixel coordinates.
#pragma once

#include <cstdint>

void DrawXorPattern(int32_t time);
void DrawAndPattern(int32_t time);
