// The slogan rolling along whole rows and columns of the CellScreen.
#pragma once

#include <cstdint>

// The lines' places back to where a run starts them.
void ResetTextLines();

void DrawTextLines(int32_t time);
