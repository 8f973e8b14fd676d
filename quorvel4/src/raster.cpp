#include "quorvel4/raster.h"

#include <cstddef>

#include "quorvel4/font.h"
#include "quorvel4/palette.h"

std::vector<uint8_t> RasterizeCells(const Cell* cells, int columns, int rows) {
  const int width = columns * kGlyphWidth;
  std::vector<uint8_t> rgb(static_cast<std::size_t>(width) * rows * kGlyphHeight * 3);
  for (int cy = 0; cy < rows; ++cy)
    for (int cx = 0; cx < columns; ++cx) {
      const Cell cell = cells[cy * columns + cx];
      const uint8_t* glyph = Glyph(static_cast<unsigned char>(cell & 0xFF));
      const Rgb& fg = kVgaPalette[(cell >> 8) & 0x0F];
      const Rgb& bg = kVgaPalette[(cell >> 12) & 0x0F];
      for (int k = 0; k < kGlyphHeight; ++k)
        for (int j = 0; j < kGlyphWidth; ++j) {
          const Rgb& c = (glyph[k] >> j) & 1 ? fg : bg;
          uint8_t* p = &rgb[(static_cast<std::size_t>(cy * kGlyphHeight + k) * width + cx * kGlyphWidth + j) * 3];
          p[0] = c.r;
          p[1] = c.g;
          p[2] = c.b;
        }
    }
  return rgb;
}
