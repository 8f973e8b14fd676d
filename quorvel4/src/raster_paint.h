// The rasteriser's inner loops, shared by the portable build of them and by the builds for
// particular processors (raster_x86_64.cpp), which compile the same loops with wider vector
// instructions.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <utility>

#include "quorvel4/font.h"
#include "quorvel4/palette.h"
#include "quorvel4/raster.h"

namespace qvl_raster {

// A glyph row's byte as eight pixel masks: all ones where bit j is set (the foreground
// shows), zero where the background does. A pixel row is then bg ^ ((fg ^ bg) & mask): a
// few vector operations and no branch per pixel.
struct alignas(32) RowMask {
  uint32_t pixel[kGlyphWidth];
};

constexpr std::array<RowMask, 256> MakeRowMasks() {
  std::array<RowMask, 256> masks{};
  for (int bits = 0; bits < 256; ++bits)
    for (int j = 0; j < kGlyphWidth; ++j) masks[bits].pixel[j] = (bits >> j) & 1 ? 0xFFFFFFFFu : 0u;
  return masks;
}

inline constexpr std::array<RowMask, 256> kRowMasks = MakeRowMasks();

// The bytes of a colour in the layout's order (the three-byte layout uses the first three),
// as the 32-bit word that holds them in that order in memory on any machine.
inline uint32_t PixelWord(const Rgb& colour, PixelLayout layout) {
  const bool bgr = layout == PixelLayout::kBgra;
  const uint8_t bytes[4] = {bgr ? colour.b : colour.r, colour.g, bgr ? colour.r : colour.b, 0xFF};
  uint32_t word = 0;
  std::memcpy(&word, bytes, sizeof word);
  return word;
}

template <int kBytes>
void PaintRow(uint8_t bits, uint32_t background, uint32_t difference, uint8_t* line) {
  const RowMask& mask = kRowMasks[bits];
  // Word by word straight into the picture: compilers join the eight four-byte stores into
  // vector stores (one or two, as wide as the processor's vectors). A three-byte pixel is
  // written as a whole word whose fourth byte the next pixel overwrites, but the row's last
  // pixel, whose fourth byte would land on the next cell or past the line.
  for (int j = 0; j < kGlyphWidth; ++j) {
    const uint32_t pixel = background ^ (difference & mask.pixel[j]);
    std::memcpy(line + kBytes * j, &pixel, kBytes == 3 && j == kGlyphWidth - 1 ? 3 : 4);
  }
}

// A cell's twelve rows, written out one by one rather than in a loop: the compiler then keeps
// the row addresses in registers.
template <int kBytes, std::size_t... kRow>
void PaintRows(const uint8_t* glyph, uint32_t background, uint32_t difference, uint8_t* top, std::size_t pitch,
               std::index_sequence<kRow...>) {
  (PaintRow<kBytes>(glyph[kRow], background, difference, top + kRow * pitch), ...);
}

// Cell by cell, each cell's twelve rows with its colours at hand (the palette is turned into
// pixel words once); a band of cells spans a few kilobytes of the picture, which stay in the
// cache until the band is complete.
template <int kBytes>
void Paint(const Cell* cells, int columns, int rows, PixelLayout layout, uint8_t* out, std::size_t pitch) {
  uint32_t words[std::size(kVgaPalette)];
  for (std::size_t i = 0; i < std::size(kVgaPalette); ++i) words[i] = PixelWord(kVgaPalette[i], layout);
  for (int cy = 0; cy < rows; ++cy) {
    uint8_t* cellTop = out + static_cast<std::size_t>(cy) * kGlyphHeight * pitch;
    for (int cx = 0; cx < columns; ++cx, cellTop += kGlyphWidth * kBytes) {
      const Cell cell = cells[cy * columns + cx];
      const uint32_t background = words[CellBackground(cell)];
      const uint32_t difference = background ^ words[CellForeground(cell)];
      PaintRows<kBytes>(Glyph(CellCharacter(cell)), background, difference, cellTop, pitch,
                        std::make_index_sequence<kGlyphHeight>{});
    }
  }
}

inline void PaintAnyLayout(const Cell* cells, int columns, int rows, PixelLayout layout, uint8_t* out, std::size_t pitch) {
  if (BytesPerPixel(layout) == 4) {
    Paint<4>(cells, columns, rows, layout, out, pitch);
  } else {
    Paint<3>(cells, columns, rows, layout, out, pitch);
  }
}

}  // namespace qvl_raster

// The loops as every processor of the build's kind runs them.
void PaintCellsPortable(const Cell* cells, int columns, int rows, PixelLayout layout, uint8_t* out,
                        std::size_t pitch);

