// A wheel of white and red spokes drawn into the CellScreen.
#pragma once

#include <cstdint>

void DrawPinwheel(int32_t time);
