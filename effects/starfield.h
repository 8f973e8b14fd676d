// Stars flying toward the viewer, drawn into the Canvas.
#pragma once

#include <cstdint>

void DrawStarfield(int32_t time);
