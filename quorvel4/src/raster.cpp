#include "quorvel4/raster.h"

#include <cstddef>

#include "quorvel4/font.h"
#include "quorvel4/palette.h"

namespace {

// The three colour bytes' places inside a pixel, and where the alpha byte goes (-1: none).
struct ByteOrder {
  int red, green, blue, alpha;
};

constexpr ByteOrder OrderOf(PixelLayout layout) {
  switch (layout) {
    case PixelLayout::kRgba:
      return {0, 1, 2, 3};
    case PixelLayout::kBgra:
      return {2, 1, 0, 3};
    case PixelLayout::kRgb:
      break;
  }
  return {0, 1, 2, -1};
}

}  // namespace

void RasterizeCellsInto(const Cell* cells, int columns, int rows, PixelLayout layout, uint8_t* out, std::size_t pitch) {
  const ByteOrder order = OrderOf(layout);
  const int bytes = BytesPerPixel(layout);
  for (int cy = 0; cy < rows; ++cy)
    for (int cx = 0; cx < columns; ++cx) {
      const Cell cell = cells[cy * columns + cx];
      const uint8_t* glyph = Glyph(CellCharacter(cell));
      const Rgb& fg = kVgaPalette[CellForeground(cell)];
      const Rgb& bg = kVgaPalette[CellBackground(cell)];
      for (int k = 0; k < kGlyphHeight; ++k) {
        uint8_t* p = out + static_cast<std::size_t>(cy * kGlyphHeight + k) * pitch +
                     static_cast<std::size_t>(cx * kGlyphWidth) * bytes;
        for (int j = 0; j < kGlyphWidth; ++j, p += bytes) {
          const Rgb& c = (glyph[k] >> j) & 1 ? fg : bg;
          p[order.red] = c.r;
          p[order.green] = c.g;
          p[order.blue] = c.b;
          if (order.alpha >= 0) p[order.alpha] = 0xFF;
        }
      }
    }
}

std::vector<uint8_t> RasterizeCells(const Cell* cells, int columns, int rows) {
  const std::size_t pitch = static_cast<std::size_t>(columns) * kGlyphWidth * 3;
  std::vector<uint8_t> rgb(pitch * rows * kGlyphHeight);
  RasterizeCellsInto(cells, columns, rows, PixelLayout::kRgb, rgb.data(), pitch);
  return rgb;
}
