// The slogan rolling along whole rows and columns of the CellScreen.
#pragma once

#include <cstdint>

void DrawTextLines(int32_t time);
