// Dots and lines drawn straight into the CellScreen.
#pragma once

#include <cstdint>

// Puts the dot character (colour | 0x2E) at (x, y), pinned to the screen.
void PlotDot(int32_t x, int32_t y, int32_t colour);

// A line of dots from (x1, y1) to (x2, y2), one per step of the major axis.
void DrawLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t colour);

// The marker Cells 0x002E outlining a region for a row-by-row fill: one per Cell row.
void DrawFillEdge(int32_t x1, int32_t y1, int32_t x2, int32_t y2);
