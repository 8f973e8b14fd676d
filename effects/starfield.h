// Stars flying toward the viewer, drawn into the Canvas.
#pragma once

#include <cstdint>

// Forgets the stars: the next call places all of them anew, as the first call of a run does.
void ResetStarfield();

void DrawStarfield(int32_t time);
