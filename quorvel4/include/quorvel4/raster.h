// Draws cells as pixels, the way a VGA text screen shows them: each cell an 8 x 12 glyph
// of the library's font in its foreground colour on its background colour.
#pragma once

#include <cstdint>
#include <vector>

#include "quorvel4/types.h"

constexpr int kRasterWidth = kScreenWidth * 8;    // 640
constexpr int kRasterHeight = kScreenHeight * 12;  // 600

// Rasterises `columns` x `rows` cells (row-major, `columns` to a row) into 8-bit RGB triples,
// 8 * columns pixels wide and 12 * rows high.
std::vector<uint8_t> RasterizeCells(const Cell* cells, int columns = kScreenWidth, int rows = kScreenHeight);
