// Text in a big bitmap font, one Cell per glyph pixel.
#pragma once

#include <cstdint>

#include "quorvel4/types.h"

void DrawBigText(const char* text, int32_t column, int32_t row, int32_t scroll, int32_t rise, Cell cell);
