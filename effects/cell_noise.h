// Coloured character noise over the whole CellScreen.
#pragma once

#include <cstdint>

void DrawCellNoise(int32_t time);
