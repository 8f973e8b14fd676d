#include "indexed_picture.h"

#include <array>
#include <cstring>

#include "quorvel4/palette.h"
#include "quorvel4/raster.h"

namespace {

// The palette's channels take the levels 0x00, 0x55, 0xAA and 0xFF: the top two bits of
// each tell them apart, so six bits name a colour.
int ColourKey(uint8_t r, uint8_t g, uint8_t b) { return (r >> 6) << 4 | (g >> 6) << 2 | (b >> 6); }

std::array<int8_t, 64> MakeIndexTable() {
  std::array<int8_t, 64> table;
  table.fill(-1);
  for (int i = 0; i < 16; ++i) table[ColourKey(kVgaPalette[i].r, kVgaPalette[i].g, kVgaPalette[i].b)] = int8_t(i);
  return table;
}

}  // namespace

bool IndexCells(const Cell* cells, int scale, IndexedPicture* picture, std::string* error) {
  static const std::array<int8_t, 64> kIndexOf = MakeIndexTable();
  const std::vector<uint8_t> rgb = RasterizeCells(cells);
  picture->width = kRasterWidth * scale;
  picture->height = kRasterHeight * scale;
  picture->indices.resize(static_cast<size_t>(picture->width) * picture->height);
  for (int y = 0; y < kRasterHeight; ++y) {
    uint8_t* row = &picture->indices[static_cast<size_t>(y) * scale * picture->width];
    for (int x = 0; x < kRasterWidth; ++x) {
      const uint8_t* pixel = &rgb[(static_cast<size_t>(y) * kRasterWidth + x) * 3];
      const int index = kIndexOf[ColourKey(pixel[0], pixel[1], pixel[2])];
      if (index < 0 || kVgaPalette[index].r != pixel[0] || kVgaPalette[index].g != pixel[1] ||
          kVgaPalette[index].b != pixel[2]) {
        *error = "the picture has a colour outside the palette";
        return false;
      }
      std::memset(row + x * scale, index, scale);
    }
    for (int copy = 1; copy < scale; ++copy) std::memcpy(row + copy * picture->width, row, picture->width);
  }
  return true;
}
