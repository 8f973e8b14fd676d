#include "quorvel4/raster.h"

#include <array>
#include <cstddef>
#include <cstring>
#include <type_traits>
#include <utility>

#include "quorvel4/font.h"
#include "quorvel4/palette.h"

namespace {

// A glyph row's byte as eight pixel masks: all ones where bit j is set (the foreground
// shows), zero where the background does. A pixel row is then bg ^ ((fg ^ bg) & mask): a
// few vector operations and no branch per pixel.
struct alignas(16) RowMask {
  uint32_t pixel[kGlyphWidth];
};

constexpr std::array<RowMask, 256> MakeRowMasks() {
  std::array<RowMask, 256> masks{};
  for (int bits = 0; bits < 256; ++bits)
    for (int j = 0; j < kGlyphWidth; ++j) masks[bits].pixel[j] = (bits >> j) & 1 ? 0xFFFFFFFFu : 0u;
  return masks;
}

constexpr std::array<RowMask, 256> kRowMasks = MakeRowMasks();

// The bytes of a colour in the layout's order (the three-byte layout uses the first three),
// as the 32-bit word that holds them in that order in memory on any machine.
uint32_t PixelWord(const Rgb& colour, PixelLayout layout) {
  const bool bgr = layout == PixelLayout::kBgra;
  const uint8_t bytes[4] = {bgr ? colour.b : colour.r, colour.g, bgr ? colour.r : colour.b, 0xFF};
  uint32_t word = 0;
  std::memcpy(&word, bytes, sizeof word);
  return word;
}

// The eight pixels of one glyph row of one cell. Written as plain loops over words, which
// compilers turn into vector instructions.
struct PixelRow {
  uint32_t pixel[kGlyphWidth];
};

void StoreRow(uint8_t* out, const PixelRow& row, std::integral_constant<int, 4>) {
  std::memcpy(out, row.pixel, sizeof row.pixel);
}

// Three bytes a pixel: each word is written whole, its fourth byte overwritten by the next
// pixel, but the last pixel's, which would land on the next cell or past the line.
void StoreRow(uint8_t* out, const PixelRow& row, std::integral_constant<int, 3>) {
  for (int j = 0; j < kGlyphWidth - 1; ++j) std::memcpy(out + 3 * j, &row.pixel[j], 4);
  std::memcpy(out + 3 * (kGlyphWidth - 1), &row.pixel[kGlyphWidth - 1], 3);
}

template <int kBytes>
void PaintRow(uint8_t bits, uint32_t background, uint32_t difference, uint8_t* line) {
  const RowMask& mask = kRowMasks[bits];
  PixelRow row;
  for (int j = 0; j < kGlyphWidth; ++j) row.pixel[j] = background ^ (difference & mask.pixel[j]);
  StoreRow(line, row, std::integral_constant<int, kBytes>{});
}

// A cell's twelve rows, written out one by one rather than in a loop: the compiler then keeps
// the row addresses in registers.
template <int kBytes, std::size_t... kRow>
void PaintRows(const uint8_t* glyph, uint32_t background, uint32_t difference, uint8_t* top, std::size_t pitch,
               std::index_sequence<kRow...>) {
  (PaintRow<kBytes>(glyph[kRow], background, difference, top + kRow * pitch), ...);
}

// Cell by cell, each cell's twelve rows with its colours at hand; a band of cells spans a
// few kilobytes of the picture, which stay in the cache until the band is complete.
template <int kBytes>
void Paint(const Cell* cells, int columns, int rows, PixelLayout layout, uint8_t* out, std::size_t pitch) {
  for (int cy = 0; cy < rows; ++cy) {
    uint8_t* cellTop = out + static_cast<std::size_t>(cy) * kGlyphHeight * pitch;
    for (int cx = 0; cx < columns; ++cx, cellTop += kGlyphWidth * kBytes) {
      const Cell cell = cells[cy * columns + cx];
      const uint32_t background = PixelWord(kVgaPalette[CellBackground(cell)], layout);
      const uint32_t difference = background ^ PixelWord(kVgaPalette[CellForeground(cell)], layout);
      PaintRows<kBytes>(Glyph(CellCharacter(cell)), background, difference, cellTop, pitch,
                        std::make_index_sequence<kGlyphHeight>{});
    }
  }
}

}  // namespace

void RasterizeCellsInto(const Cell* cells, int columns, int rows, PixelLayout layout, uint8_t* out, std::size_t pitch) {
  if (BytesPerPixel(layout) == 4) {
    Paint<4>(cells, columns, rows, layout, out, pitch);
  } else {
    Paint<3>(cells, columns, rows, layout, out, pitch);
  }
}

std::vector<uint8_t> RasterizeCells(const Cell* cells, int columns, int rows) {
  const std::size_t pitch = static_cast<std::size_t>(columns) * kGlyphWidth * 3;
  std::vector<uint8_t> rgb(pitch * rows * kGlyphHeight);
  RasterizeCellsInto(cells, columns, rows, PixelLayout::kRgb, rgb.data(), pitch);
  return rgb;
}
