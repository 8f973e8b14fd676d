// A checkerboard of scrolling text emblems in the CellScreen.
#pragma once

#include <cstdint>

void DrawEmblemTicker(int32_t time);
