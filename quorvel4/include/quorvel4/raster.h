// Draws cells as pixels, the way a VGA text screen shows them: each cell an 8 x 12 glyph
// of the library's font in its foreground colour on its background colour.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "quorvel4/types.h"

constexpr int kRasterWidth = kScreenWidth * 8;    // 640
constexpr int kRasterHeight = kScreenHeight * 12;  // 600

// Rasterises `columns` x `rows` cells (row-major, `columns` to a row) into 8-bit RGB triples,
// 8 * columns pixels wide and 12 * rows high.
std::vector<uint8_t> RasterizeCells(const Cell* cells, int columns = kScreenWidth, int rows = kScreenHeight);

// The byte order of one pixel in memory. The alpha byte of the four-byte layouts is 255.
enum class PixelLayout { kRgb, kRgba, kBgra };

constexpr int BytesPerPixel(PixelLayout layout) { return layout == PixelLayout::kRgb ? 3 : 4; }

// The same picture written into a buffer the caller owns, with rows `pitch` bytes apart (at
// least 8 * columns * BytesPerPixel). Allocates nothing, so a display can call it every frame.
void RasterizeCellsInto(const Cell* cells, int columns, int rows, PixelLayout layout, uint8_t* out, std::size_t pitch);
