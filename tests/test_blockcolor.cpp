#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "quorvel4/qvl_blockcolor.h"

namespace {

int Foreground(Cell c) { return (c >> 8) & 0x0F; }
int Background(Cell c) { return (c >> 12) & 0x0F; }

// Echoes the colour key through the table instead of matching: mode 0 stores
// red * 64 + green, mode 1 green * 64 + blue. Two such converters reveal the exact
// colour key every block was reduced to.
class KeyEcho : public BlockColorConverter {
 public:
  explicit KeyEcho(int mode) : mode_(mode) { BuildMap(0); }
  int32_t MatchCell(int32_t red, int32_t green, int32_t blue) override {
    return mode_ == 0 ? red * 64 + green : green * 64 + blue;
  }

 private:
  int mode_;
};

enum class Block { k1x1, k2x2, k4x4 };

void Convert(BlockColorConverter& c, Block n, const Pixel* pixels, const SourceRect& rect, int32_t pitch, int32_t cellX,
         int32_t cellY, Cell* cells) {
  switch (n) {
    case Block::k1x1: c.Convert1x1(pixels, rect, pitch, cellX, cellY, cells); break;
    case Block::k2x2: c.Convert2x2(pixels, rect, pitch, cellX, cellY, cells); break;
    case Block::k4x4: c.Convert4x4(pixels, rect, pitch, cellX, cellY, cells); break;
  }
}

// The colour keys the blocks of `pixels` (a single row of cells, from cell 0) reduce to.
std::vector<int> Keys(Block n, const std::vector<Pixel>& pixels, const SourceRect& rect, int32_t pitch, int count) {
  static KeyEcho redGreen(0), greenBlue(1);
  std::vector<Cell> a(80, 0xFFFF), b(80, 0xFFFF);
  Convert(redGreen, n, pixels.data(), rect, pitch, 0, 0, a.data());
  Convert(greenBlue, n, pixels.data(), rect, pitch, 0, 0, b.data());
  std::vector<int> keys;
  for (int i = 0; i < count; ++i) keys.push_back(a[i] * 64 + (b[i] & 63));
  return keys;
}

int Key(int r, int g, int b) { return r * 4096 + g * 64 + b; }

class BuiltConverter : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    converter_ = new BlockColorConverter;
    converter_->BuildMap(0xFFFF);
  }
  static void TearDownTestSuite() { delete converter_; }
  static BlockColorConverter* converter_;
};
BlockColorConverter* BuiltConverter::converter_ = nullptr;

}  // namespace

TEST(BlockColorMatch, SolidColoursAndMixes) {
  BlockColorConverter c;  // needs no table
  EXPECT_EQ(c.MatchCell(0, 0, 0), 0x00DB);
  EXPECT_EQ(c.MatchCell(63, 63, 63), 0x0FDB);
  EXPECT_EQ(c.MatchCell(42, 21, 0), 0x06DB);
  EXPECT_EQ(c.MatchCell(32, 32, 32), 0x07B2);
  EXPECT_EQ(c.MatchCell(63, 0, 0), 0x4CB1);
  EXPECT_EQ(c.MatchCell(0, 0, 63), 0x19B1);
  EXPECT_EQ(c.MatchCell(31, 0, 0), 0x04B2);
  EXPECT_EQ(c.MatchCell(42, 42, 0), 0x6EB0);
  EXPECT_EQ(c.BlockMap(), nullptr);
}

TEST(BlockColorMatch, TiesKeepTheFirstCandidate) {
  BlockColorConverter c;
  // Halfway between black and red: black is the nearer solid colour by order, and the
  // half-and-half mix of red with it matches exactly.
  EXPECT_EQ(c.MatchCell(21, 0, 0), 0x04B1);
  // Next to red, the rounded three-quarter mix of red with itself (41) beats red (42):
  // a light shade in one colour.
  EXPECT_EQ(c.MatchCell(41, 0, 0), 0x44B0);
}

namespace {

// The matching rule written out plainly, as a check on the table-driven matcher: the
// nearest of the 16 solid colours e, then the mixes of e with each colour j in turn, the
// first of equal distances staying.
int32_t PlainMatch(int r, int g, int b) {
  static const int P[16][3] = {{0, 0, 0},    {0, 0, 42},   {0, 42, 0},   {0, 42, 42},   {42, 0, 0},   {42, 0, 42},
                               {42, 21, 0},  {42, 42, 42}, {9999, 9999, 9999},          {21, 21, 63}, {21, 63, 21},
                               {21, 63, 63}, {63, 21, 21}, {63, 21, 63}, {63, 63, 21},  {63, 63, 63}};
  auto dist = [&](int q0, int q1, int q2) { return (q0 - r) * (q0 - r) + (q1 - g) * (q1 - g) + (q2 - b) * (q2 - b); };
  int best = 0x7FFFFFFF, e = 0, result = 0;
  for (int i = 0; i < 16; ++i)
    if (int d = dist(P[i][0], P[i][1], P[i][2]); d < best) best = d, e = i, result = i * 256 + 219;
  for (int j = 0; j < 16; ++j) {
    const int hi = std::max(j, e), lo = std::min(j, e), attribute = lo * 16 + hi;
    int m[3][3];
    for (int c = 0; c < 3; ++c) {
      m[0][c] = (P[j][c] + P[e][c]) / 2;
      m[1][c] = (3 * P[j][c]) / 4 + P[e][c] / 4;
      m[2][c] = P[j][c] / 4 + (3 * P[e][c]) / 4;
    }
    const int glyph[3] = {177, j > e ? 178 : 176, e > j ? 178 : 176};
    for (int t = 0; t < 3; ++t)
      if (int d = dist(m[t][0], m[t][1], m[t][2]); d < best) best = d, result = attribute * 256 + glyph[t];
  }
  return result;
}

}  // namespace

TEST(BlockColorMatch, AgreesWithThePlainRuleForEveryLevel) {
  BlockColorConverter c;
  for (int r = 0; r < 64; ++r)
    for (int g = 0; g < 64; ++g)
      for (int b = 0; b < 64; ++b) ASSERT_EQ(c.MatchCell(r, g, b), PlainMatch(r, g, b)) << r << "," << g << "," << b;
}

TEST_F(BuiltConverter, EveryEntryIsTheMatchOfItsKeyAndNeverDarkGrey) {
  const Cell* map = converter_->BlockMap();
  ASSERT_NE(map, nullptr);
  for (int r = 0; r < 64; ++r)
    for (int g = 0; g < 64; ++g)
      for (int b = 0; b < 64; ++b) {
        const Cell cell = map[Key(r, g, b)];
        ASSERT_EQ(cell, static_cast<Cell>(converter_->MatchCell(r, g, b))) << r << "," << g << "," << b;
        ASSERT_NE(Foreground(cell), 8) << r << "," << g << "," << b;
        ASSERT_NE(Background(cell), 8) << r << "," << g << "," << b;
        const int ch = cell & 0xFF;
        ASSERT_TRUE(ch == 0xDB || ch == 0xB0 || ch == 0xB1 || ch == 0xB2) << ch;
      }
}

TEST_F(BuiltConverter, RebuildingGivesTheSameTable) {
  std::vector<Cell> first(converter_->BlockMap(), converter_->BlockMap() + BlockColorConverter::kMapEntries);
  converter_->BuildMap(0);
  ASSERT_NE(converter_->BlockMap(), nullptr);
  EXPECT_EQ(0, std::memcmp(first.data(), converter_->BlockMap(), first.size() * sizeof(Cell)));
}

TEST(BlockColorBuild, UsesTheOverriddenMatch) {
  KeyEcho echo(1);
  EXPECT_EQ(echo.BlockMap()[Key(5, 6, 7)], 6 * 64 + 7);
  EXPECT_EQ(echo.BlockMap()[Key(63, 63, 63)], 63 * 64 + 63);
}

TEST(BlockColorConvert, TwoByTwoTakesTheMeanRoundedDown) {
  // Red 255, 255, 254, 254 -> 254 (level 63); green 8, 8, 8, 7 -> 7 (level 1, not 2);
  // blue all 255 next to red all 255 must not carry. Byte 3 is set everywhere.
  const std::vector<Pixel> px = {0xFFFF08FF, 0xFFFF08FF,  // row 0
                                 0xFFFF08FE, 0xFFFF07FE};
  EXPECT_EQ(Keys(Block::k2x2, px, {0, 0, 2, 2}, 2, 1)[0], Key(63, 1, 63));

  const std::vector<Pixel> dark = {0x00030303, 0x00040404, 0x00040404, 0x00040404};
  EXPECT_EQ(Keys(Block::k2x2, dark, {0, 0, 2, 2}, 2, 1)[0], Key(0, 0, 0));  // 15 / 4 = 3
}

TEST(BlockColorConvert, FourByFourTakesTheMeanOfSixteen) {
  std::vector<Pixel> px(16, 0x00FF00FF);  // red and blue full
  px[5] = 0xAA000000;                      // one black pixel: 15 * 255 / 16 = 239 -> level 59
  px[10] = 0x00001000;                     // green 16 in one pixel: 16 / 16 = 1 -> level 0
  px[10] |= 0x00FF00FF;
  EXPECT_EQ(Keys(Block::k4x4, px, {0, 0, 4, 4}, 4, 1)[0], Key(59, 0, 59));
}

TEST(BlockColorConvert, OneByOneReducesEachPixel) {
  const std::vector<Pixel> px = {0x00030201, 0xFF0C0804, 0x00FCFDFE};
  const std::vector<int> expected = {Key(0, 0, 0), Key(1, 2, 3), Key(63, 63, 63)};
  EXPECT_EQ(Keys(Block::k1x1, px, {0, 0, 3, 1}, 3, 3), expected);
}

TEST_F(BuiltConverter, ByteThreeIsIgnored) {
  std::vector<Pixel> plain(kCanvasPixels), marked(kCanvasPixels);
  uint32_t s = 12345;
  for (int i = 0; i < kCanvasPixels; ++i) {
    s = s * 1664525u + 1013904223u;
    plain[i] = s >> 8;
    marked[i] = plain[i] | (s << 24) | 0x01000000u;
  }
  for (Block n : {Block::k1x1, Block::k2x2, Block::k4x4}) {
    std::vector<Cell> a(kScreenCells * 2, 0), b(kScreenCells * 2, 0);
    const SourceRect rect = n == Block::k1x1 ? SourceRect(0, 0, 80, 50) : SourceRect(0, 0, 160, 100);
    Convert(*converter_, n, plain.data(), rect, kCanvasWidth, 0, 0, a.data());
    Convert(*converter_, n, marked.data(), rect, kCanvasWidth, 0, 0, b.data());
    EXPECT_EQ(a, b);
  }
}

TEST_F(BuiltConverter, TheFullCanvasFillsTheScreen) {
  std::vector<Pixel> px(kCanvasPixels);
  for (int i = 0; i < kCanvasPixels; ++i) px[i] = (i % 160) * 0x010101u;  // a grey ramp
  std::vector<Cell> cells(kScreenCells + 1, 0xABCD);
  converter_->ConvertCanvas(px.data(), cells.data());
  for (int y = 0; y < kScreenHeight; ++y)
    for (int x = 0; x < kScreenWidth; ++x) {
      const int level = (2 * x) >> 2;  // the mean of 2x, 2x + 1, 2x, 2x + 1 is 2x
      ASSERT_EQ(cells[y * 80 + x], converter_->BlockMap()[Key(level, level, level)]) << x << "," << y;
    }
  EXPECT_EQ(cells[kScreenCells], 0xABCD);
}

TEST_F(BuiltConverter, IncompleteBlocksAreNeverRead) {
  // 161 pixels wide: 80 columns. The buffer ends right before the last pixel of the last
  // row, so reading the 161st column there would leave it (the sanitizer build reports it);
  // the other rows' last pixel is poisoned and must not change anything.
  const int pitch = 161;
  std::vector<Pixel> px(pitch * 2 - 1);
  for (int i = 0; i < pitch * 2 - 1; ++i) px[i] = (i % pitch == 160) ? 0x00FFFFFF : 0;
  std::vector<Cell> cells(81, 0x1234);
  converter_->Convert2x2(px.data(), {0, 0, 161, 2}, pitch, 0, 0, cells.data());
  for (int x = 0; x < 80; ++x) EXPECT_EQ(cells[x], 0x00DB) << x;
  EXPECT_EQ(cells[80], 0x1234);

  // Width 1, height 1 or right left of left: no Cells at all.
  converter_->Convert2x2(px.data(), {0, 0, 1, 2}, pitch, 0, 0, cells.data());
  converter_->Convert2x2(px.data(), {0, 0, 160, 1}, pitch, 0, 0, cells.data());
  converter_->Convert2x2(px.data(), {10, 0, 4, 2}, pitch, 0, 0, cells.data());
  converter_->Convert4x4(px.data(), {0, 0, 3, 2}, pitch, 0, 0, cells.data());
  converter_->Convert1x1(px.data(), {5, 0, 4, 1}, pitch, 0, 0, cells.data());
  for (int x = 0; x < 80; ++x) EXPECT_EQ(cells[x], 0x00DB) << x;
  EXPECT_EQ(cells[80], 0x1234);
}

TEST(BlockColorConvert, SourceAndCellOffsets) {
  // A 10 x 10 picture whose pixel (x, y) has red level x and green level y. The 2 x 2 grid
  // from (3, 4) to (7, 8) lands at cell (5, 2): four Cells, nothing around them.
  const int pitch = 10;
  std::vector<Pixel> px(pitch * 10);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < pitch; ++x) px[y * pitch + x] = static_cast<Pixel>((x * 8) | ((y * 8) << 8));
  KeyEcho redGreen(0);
  std::vector<Cell> cells(kScreenCells, 0xFFFF);
  redGreen.Convert2x2(px.data(), {3, 4, 7, 8}, pitch, 5, 2, cells.data());
  for (int i = 0; i < kScreenCells; ++i) {
    const int cx = i % 80, cy = i / 80;
    if (cx >= 5 && cx < 7 && cy >= 2 && cy < 4) {
      // Block (k, r) covers x = 3 + 2k, 4 + 2k and y = 4 + 2r, 5 + 2r: mean 8 * (x + 0.5) -> level 2x + 1.
      const int k = cx - 5, r = cy - 2;
      const int red = (8 * (3 + 2 * k) + 4) >> 2, green = (8 * (4 + 2 * r) + 4) >> 2;
      EXPECT_EQ(cells[i], red * 64 + green) << cx << "," << cy;
    } else {
      ASSERT_EQ(cells[i], 0xFFFF) << cx << "," << cy;
    }
  }
}

TEST(BlockColorDeathTest, ConvertingWithoutATableStops) {
  BlockColorConverter c;
  std::vector<Pixel> px(16, 0);
  std::vector<Cell> cells(80, 0);
  const char* report = "Assertion failed: mBlockMap!=NULL, file qvl_blockcolor, line [0-9]+";
  EXPECT_DEATH(c.Convert2x2(px.data(), {0, 0, 2, 2}, 2, 0, 0, cells.data()), report);
  EXPECT_DEATH(c.Convert1x1(px.data(), {0, 0, 1, 1}, 1, 0, 0, cells.data()), report);
  EXPECT_DEATH(c.Convert4x4(px.data(), {0, 0, 4, 4}, 4, 0, 0, cells.data()), report);
}
