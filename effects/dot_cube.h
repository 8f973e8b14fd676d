// A turning lattice of glowing dots, shown through the Canvas.
#pragma once

#include <cstdint>

void MakeDotGrid();
void BuildDotPalette();
void DrawDotCube(int32_t time);
void DrawDotCubeClose(int32_t time);
