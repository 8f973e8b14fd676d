// A turning lattice of glowing dots, shown through the Canvas.
#pragma once

#include <cstdint>

// No dots, a black grid and a black palette, as before the start-up's MakeDotGrid and
// BuildDotPalette.
void ResetDotCube();

void MakeDotGrid();
void BuildDotPalette();
void DrawDotCube(int32_t time);
void DrawDotCubeClose(int32_t time);
