#include "indexed_picture.h"

#include <cstring>

#include "quorvel4/font.h"
#include "quorvel4/raster.h"

namespace {

// Draws as RasterizeCells does (the tests compare the two), but in palette indices: the
// video and GIF writers need nothing else, and it spares a conversion from RGB per pixel.
void DrawIndices(const Cell* cells, uint8_t* out) {
  for (int cy = 0; cy < kScreenHeight; ++cy)
    for (int cx = 0; cx < kScreenWidth; ++cx) {
      const Cell cell = cells[cy * kScreenWidth + cx];
      const uint8_t* glyph = Glyph(static_cast<unsigned char>(cell & 0xFF));
      const uint8_t fg = (cell >> 8) & 0x0F, bg = (cell >> 12) & 0x0F;
      for (int k = 0; k < kGlyphHeight; ++k) {
        uint8_t* row = out + static_cast<size_t>(cy * kGlyphHeight + k) * kRasterWidth + cx * kGlyphWidth;
        for (int j = 0; j < kGlyphWidth; ++j) row[j] = (glyph[k] >> j) & 1 ? fg : bg;
      }
    }
}

}  // namespace

void IndexCells(const Cell* cells, int scale, IndexedPicture* picture) {
  picture->width = kRasterWidth * scale;
  picture->height = kRasterHeight * scale;
  picture->indices.resize(static_cast<size_t>(picture->width) * picture->height);
  if (scale == 1) {
    DrawIndices(cells, picture->indices.data());
    return;
  }
  std::vector<uint8_t> base(static_cast<size_t>(kRasterWidth) * kRasterHeight);
  DrawIndices(cells, base.data());
  for (int y = 0; y < kRasterHeight; ++y) {
    uint8_t* first = &picture->indices[static_cast<size_t>(y) * scale * picture->width];
    for (int x = 0; x < kRasterWidth; ++x) std::memset(first + x * scale, base[y * kRasterWidth + x], scale);
    for (int copy = 1; copy < scale; ++copy) std::memcpy(first + copy * picture->width, first, picture->width);
  }
}
