// Provisional: replaced by the real primitives.
#include "quorvel4/cell_lines.h"

void PlotDot(int32_t, int32_t, int32_t) {}
void DrawLine(int32_t, int32_t, int32_t, int32_t, int32_t) {}
void DrawFillEdge(int32_t, int32_t, int32_t, int32_t) {}
