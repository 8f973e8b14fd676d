// Provisional: replaced by the real effect.
#include "dot_cube.h"

void MakeDotGrid() {}
void BuildDotPalette() {}
void DrawDotCube(int32_t) {}
void DrawDotCubeClose(int32_t) {}
