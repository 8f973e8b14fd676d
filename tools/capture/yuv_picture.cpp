#include "yuv_picture.h"

#include <array>
#include <cmath>

#include "quorvel4/palette.h"

namespace {

struct Yuv {
  int y, cb, cr;
};

// BT.709 with studio swing: Y from 16 to 235, Cb and Cr from 16 to 240.
std::array<Yuv, 16> MakeYuvPalette() {
  std::array<Yuv, 16> table{};
  for (int i = 0; i < 16; ++i) {
    const double r = kVgaPalette[i].r / 255.0, g = kVgaPalette[i].g / 255.0, b = kVgaPalette[i].b / 255.0;
    const double luma = 0.2126 * r + 0.7152 * g + 0.0722 * b;
    table[i] = {static_cast<int>(std::lround(16 + 219 * luma)),
                static_cast<int>(std::lround(128 + 224 * (b - luma) / 1.8556)),
                static_cast<int>(std::lround(128 + 224 * (r - luma) / 1.5748))};
  }
  return table;
}

}  // namespace

void ToYuv420(const IndexedPicture& picture, int scale, std::vector<uint8_t>* yuv) {
  static const std::array<Yuv, 16> kYuv = MakeYuvPalette();
  const int width = picture.width * scale, height = picture.height * scale;
  const size_t lumaSize = static_cast<size_t>(width) * height;
  const int chromaWidth = width / 2, chromaHeight = height / 2;
  yuv->resize(lumaSize + 2 * static_cast<size_t>(chromaWidth) * chromaHeight);
  uint8_t* luma = yuv->data();
  uint8_t* cb = luma + lumaSize;
  uint8_t* cr = cb + static_cast<size_t>(chromaWidth) * chromaHeight;
  auto source = [&](int x, int y) { return picture.indices[static_cast<size_t>(y / scale) * picture.width + x / scale]; };
  for (int y = 0; y < height; ++y) {
    const uint8_t* from = &picture.indices[static_cast<size_t>(y / scale) * picture.width];
    uint8_t* to = luma + static_cast<size_t>(y) * width;
    for (int x = 0; x < picture.width; ++x)
      for (int copy = 0; copy < scale; ++copy) *to++ = static_cast<uint8_t>(kYuv[from[x]].y);
  }
  for (int y = 0; y < chromaHeight; ++y)
    for (int x = 0; x < chromaWidth; ++x) {
      int sumCb = 0, sumCr = 0;
      if (scale % 2 == 0) {  // all four pixels come from one source pixel
        const Yuv& colour = kYuv[source(2 * x, 2 * y)];
        sumCb = 4 * colour.cb;
        sumCr = 4 * colour.cr;
      } else {
        for (const auto& [dx, dy] : {std::pair{0, 0}, std::pair{1, 0}, std::pair{0, 1}, std::pair{1, 1}}) {
          const Yuv& colour = kYuv[source(2 * x + dx, 2 * y + dy)];
          sumCb += colour.cb;
          sumCr += colour.cr;
        }
      }
      cb[static_cast<size_t>(y) * chromaWidth + x] = static_cast<uint8_t>((sumCb + 2) / 4);
      cr[static_cast<size_t>(y) * chromaWidth + x] = static_cast<uint8_t>((sumCr + 2) / 4);
    }
}
