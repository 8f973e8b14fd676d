// Text in a big bitmap font, one Cell per glyph pixel.
#pragma once

#include <cstdint>

#include "quorvel4/types.h"

// The columns one character covers (glyph columns 0 to 6; bit 7 of a glyph row is never drawn).
constexpr int kBigTextColumns = 7;

void DrawBigText(const char* text, int32_t column, int32_t row, int32_t scroll, int32_t rise, Cell cell);
