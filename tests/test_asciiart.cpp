#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <vector>

#include "quorvel4/qvl_asciiart.h"

namespace {

constexpr Pixel Green(int g) { return static_cast<Pixel>(g) << 8; }

Cell Entry(const AsciiArtConverter& c, int tl, int tr, int bl, int br) {
  return c.AsciiMap()[AsciiArtConverter::QuadrantKey(tl, tr, bl, br)];
}

// Converts one block of `n` x `n` pixels (rows of `n`) and returns the Cell written.
template <typename Convert>
Cell ConvertOneBlock(const std::vector<Pixel>& block, int n, Convert convert) {
  std::array<Cell, 80> cells{};
  convert(block.data(), SourceRect(0, 0, n, n), n, 0, 0, cells.data());
  return cells[0];
}

}  // namespace

TEST(AsciiArt, GlyphCoverageCountsEachQuadrant) {
  EXPECT_EQ(CoverageOf(AsciiArtFont + 12 * 219).tl, 16);  // 24 of 24 set
  const GlyphCoverage lower = CoverageOf(AsciiArtFont + 12 * 220);
  EXPECT_EQ(lower.tl + lower.tr, 0);
  EXPECT_EQ(lower.bl, 16);
  EXPECT_EQ(lower.br, 16);

  // 7 set pixels of 24 give 7 * 16 / 24 = 4 (truncated); one pixel gives 0.
  uint8_t glyph[12] = {0x03, 0x01, 0x01, 0x01, 0x01, 0x01, 0x10, 0, 0, 0, 0, 0};
  GlyphCoverage c = CoverageOf(glyph);
  EXPECT_EQ(c.tl, 4);
  EXPECT_EQ(c.tr, 0);
  EXPECT_EQ(c.bl, 0);
  EXPECT_EQ(c.br, 0);
  glyph[6] = glyph[7] = 0xF0;
  glyph[8] = 0x80;
  EXPECT_EQ(CoverageOf(glyph).br, 6);  // 9 pixels: 144 / 24
}

TEST(AsciiArt, BlockGlyphsAnswerTheirShapes) {
  AsciiArtConverter c;
  c.BuildMap(1);
  EXPECT_EQ(Entry(c, 0, 0, 0, 0), 0x0720);
  EXPECT_EQ(Entry(c, 15, 15, 15, 15), 0x07DB);
  EXPECT_EQ(Entry(c, 15, 0, 15, 0), 0x07DD);
  EXPECT_EQ(Entry(c, 0, 15, 0, 15), 0x07DE);
  EXPECT_EQ(Entry(c, 15, 15, 0, 0), 0x07DF);
  EXPECT_EQ(Entry(c, 0, 0, 15, 15), 0x07DC);
}

TEST(AsciiArt, FlagsChooseTheCharacterRange) {
  AsciiArtConverter c;
  c.BuildMap(0);
  EXPECT_EQ(Entry(c, 0, 0, 0, 0), 0x0700);  // character 0 is empty and comes first

  c.BuildMap(2);  // rebuilt with another range
  EXPECT_EQ(Entry(c, 0, 0, 0, 0), 0x0720);
  for (int key = 0; key < AsciiArtConverter::kMapEntries; ++key) {
    const Cell cell = c.AsciiMap()[key];
    ASSERT_EQ(cell >> 8, 0x07) << key;
    ASSERT_GE(cell & 0xFF, 32) << key;
    ASSERT_LE(cell & 0xFF, 126) << key;
  }

  const std::vector<Cell> printable(c.AsciiMap(), c.AsciiMap() + AsciiArtConverter::kMapEntries);
  c.BuildMap(3);  // bit 1 wins over bit 0
  EXPECT_TRUE(std::equal(printable.begin(), printable.end(), c.AsciiMap()));
}

// Every entry is a nearest character by the sum of absolute coverage differences, and no
// lower code is as near.
TEST(AsciiArt, EveryEntryIsTheLowestNearestCharacter) {
  AsciiArtConverter c;
  c.BuildMap(1);
  std::array<GlyphCoverage, 256> cov{};
  for (int ch = 0; ch < 256; ++ch) cov[ch] = CoverageOf(AsciiArtFont + 12 * ch);
  auto distance = [&](int ch, int key) {
    const int q[4] = {key >> 12, (key >> 8) & 15, (key >> 4) & 15, key & 15};
    const int v[4] = {cov[ch].tl, cov[ch].tr, cov[ch].bl, cov[ch].br};
    int d = 0;
    for (int i = 0; i < 4; ++i) d += v[i] > q[i] ? v[i] - q[i] : q[i] - v[i];
    return d;
  };
  for (int key = 0; key < AsciiArtConverter::kMapEntries; key += 7) {
    const int chosen = c.AsciiMap()[key] & 0xFF;
    const int best = distance(chosen, key);
    for (int ch = 32; ch < 256; ++ch) {
      if (ch < chosen) ASSERT_GT(distance(ch, key), best) << "key " << key << " char " << ch;
      else ASSERT_GE(distance(ch, key), best) << "key " << key << " char " << ch;
    }
  }
}

TEST(AsciiArt, MatchCellUsesOnlyTheBrightness) {
  AsciiArtConverter c;
  c.BuildMap(1);
  const Cell expected = c.AsciiMap()[0x8888];
  EXPECT_EQ(c.MatchCell(0, 0x80, 0), expected);
  EXPECT_EQ(c.MatchCell(-7, 0x8F, 123456), expected);
  EXPECT_EQ(c.MatchCell(0, 0xFF, 0), 0x07DB);
  // Out-of-range brightness is pinned, never read outside the table.
  EXPECT_EQ(c.MatchCell(0, 100000, 0), c.AsciiMap()[0xFFFF]);
  EXPECT_EQ(c.MatchCell(0, -100000, 0), c.AsciiMap()[0]);
}

TEST(AsciiArt, ConversionsReadGreenPerQuadrant) {
  AsciiArtConverter c;
  c.BuildMap(1);
  auto c1 = [&](auto... a) { c.Convert1x1(a...); };
  auto c2 = [&](auto... a) { c.Convert2x2(a...); };
  auto c4 = [&](auto... a) { c.Convert4x4(a...); };

  // Red and blue are ignored: full red and blue with no green is black.
  EXPECT_EQ(ConvertOneBlock({0x00FF00FF}, 1, c1), 0x0720);
  EXPECT_EQ(ConvertOneBlock({Green(0xF0)}, 1, c1), 0x07DB);
  EXPECT_EQ(ConvertOneBlock({Green(0x7F)}, 1, c1), Entry(c, 7, 7, 7, 7));

  const Pixel on = Green(0xFF), off = 0x00FF00FF;
  EXPECT_EQ(ConvertOneBlock({on, off, on, off}, 2, c2), 0x07DD);
  EXPECT_EQ(ConvertOneBlock({off, on, off, on}, 2, c2), 0x07DE);
  EXPECT_EQ(ConvertOneBlock({on, on, off, off}, 2, c2), 0x07DF);
  EXPECT_EQ(ConvertOneBlock({Green(0x10), Green(0x20), Green(0x30), Green(0x40)}, 2, c2), Entry(c, 1, 2, 3, 4));

  // 4x4: each 2 x 2 sub-block feeds one quadrant, its mean rounded down before the level.
  std::vector<Pixel> block(16, 0);
  auto at = [&](int x, int y) -> Pixel& { return block[y * 4 + x]; };
  at(2, 0) = at(3, 0) = at(2, 1) = at(3, 1) = on;  // top right
  EXPECT_EQ(ConvertOneBlock(block, 4, c4), Entry(c, 0, 15, 0, 0));
  at(0, 2) = at(1, 2) = at(0, 3) = Green(0xFF);  // bottom left: 765 / 4 = 191, level 11
  at(1, 3) = 0;
  EXPECT_EQ(ConvertOneBlock(block, 4, c4), Entry(c, 0, 15, 11, 0));
  at(1, 3) = Green(0x03);  // 768 / 4 = 192, level 12
  EXPECT_EQ(ConvertOneBlock(block, 4, c4), Entry(c, 0, 15, 12, 0));
  for (int i = 0; i < 16; ++i) {  // each single pixel moves exactly one quadrant
    std::vector<Pixel> one(16, 0);
    one[i] = Green(0xFF);
    const int x = i % 4, y = i / 4, level = (0xFF / 4) >> 4;
    const int q[4] = {x < 2 && y < 2 ? level : 0, x >= 2 && y < 2 ? level : 0, x < 2 && y >= 2 ? level : 0,
                      x >= 2 && y >= 2 ? level : 0};
    EXPECT_EQ(ConvertOneBlock(one, 4, c4), Entry(c, q[0], q[1], q[2], q[3])) << i;
  }
}

TEST(AsciiArt, GridFollowsTheRectangleAndCellOrigin) {
  AsciiArtConverter c;
  c.BuildMap(1);
  // 5 x 3 pixels with pitch 6: 2 x 1 Cells from (1, 1); the odd column and row are not read.
  std::vector<Pixel> pixels(6 * 3, Green(0xFF));
  pixels[4] = pixels[6 + 4] = 0;  // column 4: outside the grid
  std::vector<Cell> cells(80 * 3, 0xABCD);
  c.Convert2x2(pixels.data(), SourceRect(0, 0, 5, 3), 6, 1, 1, cells.data());
  for (int i = 0; i < 80 * 3; ++i) {
    const bool written = i == 81 || i == 82;
    EXPECT_EQ(cells[i], written ? 0x07DB : 0xABCD) << i;
  }
  // A right edge left of the left edge writes nothing.
  c.Convert1x1(pixels.data(), SourceRect(3, 0, 1, 2), 6, 0, 0, cells.data());
  EXPECT_EQ(cells[0], 0xABCD);
}

TEST(AsciiArtDeathTest, ConversionsWithoutTableStopWithTheAssertion) {
  const char* report = "Assertion failed: mAsciiMap!=NULL, file qvl_asciiart, line [0-9]+";
  Pixel pixels[16] = {};
  Cell cells[80] = {};
  EXPECT_DEATH(AsciiArtConverter().Convert2x2(pixels, SourceRect(0, 0, 2, 2), 2, 0, 0, cells), report);
  EXPECT_DEATH(AsciiArtConverter().Convert1x1(pixels, SourceRect(0, 0, 1, 1), 1, 0, 0, cells), report);
  EXPECT_DEATH(AsciiArtConverter().Convert4x4(pixels, SourceRect(0, 0, 4, 4), 4, 0, 0, cells), report);
  EXPECT_DEATH(AsciiArtConverter().MatchCell(0, 0, 0), report);
}
