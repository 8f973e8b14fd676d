#include <gtest/gtest.h>

#include <vector>

#include "quorvel4/font.h"
#include "quorvel4/palette.h"
#include "quorvel4/raster.h"
#include "raster_paint.h"

namespace {

// Two cells: a full block (219) white on blue, then a space white on brown.
constexpr Cell kCells[2] = {0x1FDB, 0x6F20};

TEST(Raster, FullBlockShowsItsForegroundAndSpaceItsBackground) {
  const std::vector<uint8_t> rgb = RasterizeCells(kCells, 2, 1);
  ASSERT_EQ(rgb.size(), 16u * 12u * 3u);
  for (int y = 0; y < 12; ++y) {
    const uint8_t* block = &rgb[(y * 16 + 3) * 3];
    const uint8_t* space = &rgb[(y * 16 + 12) * 3];
    EXPECT_EQ(block[0], 0xFF);
    EXPECT_EQ(block[2], 0xFF);
    EXPECT_EQ(space[0], 0xAA);  // brown is 0xAA5500, not dark yellow
    EXPECT_EQ(space[1], 0x55);
    EXPECT_EQ(space[2], 0x00);
  }
}

// Every layout holds the same colours in its own byte order, honours the pitch and leaves the
// padding at the end of each row alone.
TEST(Raster, LayoutsAndPitchHoldTheSamePicture) {
  const std::vector<uint8_t> rgb = RasterizeCells(kCells, 2, 1);
  constexpr size_t kPitch = 16 * 4 + 5;
  for (PixelLayout layout : {PixelLayout::kRgba, PixelLayout::kBgra}) {
    std::vector<uint8_t> out(kPitch * 12, 0x33);
    RasterizeCellsInto(kCells, 2, 1, layout, out.data(), kPitch);
    const bool bgr = layout == PixelLayout::kBgra;
    for (int y = 0; y < 12; ++y) {
      for (int x = 0; x < 16; ++x) {
        const uint8_t* want = &rgb[(y * 16 + x) * 3];
        const uint8_t* got = &out[y * kPitch + x * 4];
        EXPECT_EQ(got[bgr ? 2 : 0], want[0]);
        EXPECT_EQ(got[1], want[1]);
        EXPECT_EQ(got[bgr ? 0 : 2], want[2]);
        EXPECT_EQ(got[3], 0xFF);
      }
      for (size_t pad = 16 * 4; pad < kPitch; ++pad) EXPECT_EQ(out[y * kPitch + pad], 0x33);
    }
  }
}

// Every character in every colour pair, seven cells to a row (so cells start at odd
// places) with padding after each row: each pixel is its glyph bit's colour, in each layout,
// from the loops this processor runs and from the portable ones.
TEST(Raster, EveryCellValueInEveryLayoutShowsItsGlyphInItsColours) {
  constexpr int kColumns = 7, kRows = 65536 / kColumns + 1;
  std::vector<Cell> cells(kColumns * kRows);
  for (size_t i = 0; i < cells.size(); ++i) cells[i] = static_cast<Cell>(i * 40503u);  // odd: all values
  for (auto paint : {&RasterizeCellsInto, &PaintCellsPortable}) {
    for (PixelLayout layout : {PixelLayout::kRgb, PixelLayout::kRgba, PixelLayout::kBgra}) {
      const int bytes = BytesPerPixel(layout);
      const size_t pitch = kColumns * 8 * bytes + 3;
      std::vector<uint8_t> out(pitch * kRows * 12, 0x33);
      paint(cells.data(), kColumns, kRows, layout, out.data(), pitch);
      int wrong = 0;
      for (int row = 0; row < kRows * 12; ++row) {
        for (int x = 0; x < kColumns * 8; ++x) {
          const Cell cell = cells[row / 12 * kColumns + x / 8];
          const bool ink = (Glyph(CellCharacter(cell))[row % 12] >> (x % 8)) & 1;
          const Rgb& want = kVgaPalette[ink ? CellForeground(cell) : CellBackground(cell)];
          const uint8_t* got = &out[row * pitch + x * bytes];
          const uint8_t red = got[layout == PixelLayout::kBgra ? 2 : 0], blue = got[layout == PixelLayout::kBgra ? 0 : 2];
          wrong += red != want.r || got[1] != want.g || blue != want.b || (bytes == 4 && got[3] != 0xFF);
        }
        for (size_t pad = kColumns * 8 * bytes; pad < pitch; ++pad) wrong += out[row * pitch + pad] != 0x33;
      }
      EXPECT_EQ(wrong, 0) << "layout " << static_cast<int>(layout) << (paint == &PaintCellsPortable ? ", portable" : "");
    }
  }
}

}  // namespace
