// Solid triangles on the Canvas.
#pragma once

#include <cstdint>

#include "quorvel4/types.h"

// Paints the triangle with vertices (x0, y0), (x1, y1), (x2, y2), given in any order and any
// winding, with `colour`, clipped to the 160 x 100 Canvas. Nothing outside the Canvas is
// ever written, whatever the coordinates (the whole int32_t range is accepted).
//
// Triangles whose three x or three y are equal draw nothing. Otherwise the triangle is
// split at its middle vertex into a flat-bottomed and a flat-topped part; the split point on
// the long edge is computed exactly in integers, truncated toward zero, so huge coordinates
// cannot overflow it. Each part is scanned row by row with float edges: the left edge is
// truncated, the right edge rounded to nearest (it starts half a pixel to the right), and
// both ends of a row's span are painted. The middle row belongs to both parts.
//
// Edge positions are 32-bit floats: for vertices within a few thousand pixels of the Canvas
// the edges are exact to a small fraction of a pixel, but with vertices millions of pixels
// away they grow coarse and a painted edge may stray from the true one (the painted rows
// stay exact, and the clipping still holds).
void FillTriangle(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t x2, int32_t y2, Pixel colour);

// The triangle with apex (apexX, apexY) above the flat edge from (leftX, bottomY) to
// (rightX, bottomY); leftX and rightX may come in either order, leftY is not read.
// Requires apexY < bottomY; otherwise nothing is drawn.
void FillFlatBottom(int32_t apexX, int32_t apexY, int32_t leftX, int32_t leftY, int32_t rightX, int32_t bottomY,
                    Pixel colour);

// The triangle with the flat edge from (leftX, topY) to (rightX, topY) above the apex
// (apexX, apexY); leftX and rightX may come in either order, rightY is not read.
// Requires topY < apexY; otherwise nothing is drawn.
void FillFlatTop(int32_t leftX, int32_t topY, int32_t rightX, int32_t rightY, int32_t apexX, int32_t apexY,
                 Pixel colour);
