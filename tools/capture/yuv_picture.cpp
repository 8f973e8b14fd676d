#include "yuv_picture.h"

#include <array>
#include <cmath>
#include <cstring>

#include "quorvel4/palette.h"

namespace {

struct Yuv {
  uint8_t y, cb, cr;
};

// BT.709 with studio swing: Y from 16 to 235, Cb and Cr from 16 to 240.
std::array<Yuv, 16> MakeYuvPalette() {
  std::array<Yuv, 16> table{};
  for (int i = 0; i < 16; ++i) {
    const double r = kVgaPalette[i].r / 255.0, g = kVgaPalette[i].g / 255.0, b = kVgaPalette[i].b / 255.0;
    const double luma = 0.2126 * r + 0.7152 * g + 0.0722 * b;
    table[i] = {static_cast<uint8_t>(std::lround(16 + 219 * luma)),
                static_cast<uint8_t>(std::lround(128 + 224 * (b - luma) / 1.8556)),
                static_cast<uint8_t>(std::lround(128 + 224 * (r - luma) / 1.5748))};
  }
  return table;
}

const std::array<Yuv, 16> kYuv = MakeYuvPalette();

// One chroma row: each sample the mean of the 2 x 2 enlarged pixels it covers; `source`
// maps an enlarged column to its source column.
void ChromaRow(const IndexedPicture& picture, int scale, int chromaY, const std::vector<int>& source, uint8_t* cb,
               uint8_t* cr) {
  const uint8_t* top = &picture.indices[static_cast<size_t>(2 * chromaY / scale) * picture.width];
  const uint8_t* bottom = &picture.indices[static_cast<size_t>((2 * chromaY + 1) / scale) * picture.width];
  const size_t chromaWidth = source.size() / 2;
  for (size_t x = 0; x < chromaWidth; ++x) {
    const int left = source[2 * x], right = source[2 * x + 1];
    const Yuv& a = kYuv[top[left]];
    const Yuv& b = kYuv[top[right]];
    const Yuv& c = kYuv[bottom[left]];
    const Yuv& d = kYuv[bottom[right]];
    cb[x] = static_cast<uint8_t>((a.cb + b.cb + c.cb + d.cb + 2) / 4);
    cr[x] = static_cast<uint8_t>((a.cr + b.cr + c.cr + d.cr + 2) / 4);
  }
}

}  // namespace

void ToYuv420(const IndexedPicture& picture, int scale, std::vector<uint8_t>* yuv) {
  const int width = picture.width * scale, height = picture.height * scale;
  const size_t lumaSize = static_cast<size_t>(width) * height;
  const int chromaWidth = width / 2, chromaHeight = height / 2;
  const size_t chromaSize = static_cast<size_t>(chromaWidth) * chromaHeight;
  yuv->resize(lumaSize + 2 * chromaSize);
  uint8_t* const luma = yuv->data();
  uint8_t* const cb = luma + lumaSize;
  uint8_t* const cr = cb + chromaSize;
  std::vector<int> source(width);
  for (int x = 0; x < width; ++x) source[x] = x / scale;
  // Luma: each source row once, then copied to the other rows of its enlargement.
  for (int sy = 0; sy < picture.height; ++sy) {
    const uint8_t* from = &picture.indices[static_cast<size_t>(sy) * picture.width];
    uint8_t* first = luma + static_cast<size_t>(sy) * scale * width;
    for (int x = 0; x < width; ++x) first[x] = kYuv[from[source[x]]].y;
    for (int copy = 1; copy < scale; ++copy) std::memcpy(first + copy * width, first, width);
  }
  // Chroma: at even scales each sample covers one source pixel, and consecutive rows that
  // cover the same source rows are copies.
  for (int y = 0; y < chromaHeight; ++y) {
    uint8_t* cbRow = cb + static_cast<size_t>(y) * chromaWidth;
    uint8_t* crRow = cr + static_cast<size_t>(y) * chromaWidth;
    const bool sameRows = y > 0 && 2 * y / scale == 2 * (y - 1) / scale && (2 * y + 1) / scale == (2 * y - 1) / scale;
    if (sameRows) {
      std::memcpy(cbRow, cbRow - chromaWidth, chromaWidth);
      std::memcpy(crRow, crRow - chromaWidth, chromaWidth);
    } else {
      ChromaRow(picture, scale, y, source, cbRow, crRow);
    }
  }
}
