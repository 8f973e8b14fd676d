// A turning lattice of glowing dots, shown through the Canvas.
#pragma once

#include <cstdint>

// No dots and a black palette (and an empty grid), as before the start-up's MakeDotGrid and
// BuildDotPalette. Those two are the cube's only state, the same in every run: a frame
// depends on its time alone.
void ResetDotCube();

void MakeDotGrid();
void BuildDotPalette();
void DrawDotCube(int32_t time);
void DrawDotCubeClose(int32_t time);
