// A turning spiral shown as the border between two fills of the CellScreen.
#pragma once

#include <cstdint>

void DrawSpiral(int32_t time);
