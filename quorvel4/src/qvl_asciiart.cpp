#include "quorvel4/qvl_asciiart.h"

#include <array>
#include <bit>
#include <cstddef>
#include <cstdlib>

#include "cell_table.h"
#include "quorvel4/assert.h"

namespace {

constexpr const char* kModule = "qvl_asciiart";

constexpr int kQuadrantRows = 6;
constexpr uint8_t kLeftColumns = 0x0F;   // bits 0-3: columns 0-3
constexpr uint8_t kRightColumns = 0xF0;  // bits 4-7: columns 4-7

struct CharRange {
  int first, last;
};

CharRange RangeForFlags(int32_t flags) {
  if (flags & AsciiArtConverter::kPrintableAscii) return {32, 126};
  if (flags & AsciiArtConverter::kNoControlCharacters) return {32, 255};
  return {0, 255};
}

int SetPixels(const uint8_t* rows, uint8_t mask) {
  int count = 0;
  for (int r = 0; r < kQuadrantRows; ++r) count += std::popcount(static_cast<unsigned>(rows[r] & mask));
  return count;
}

int Distance(const GlyphCoverage& c, int tl, int tr, int bl, int br) {
  return std::abs(c.tl - tl) + std::abs(c.tr - tr) + std::abs(c.bl - bl) + std::abs(c.br - br);
}

inline int Level(Pixel p) { return static_cast<int>(PixelGreen(p)) >> 4; }

// The level of the 2 x 2 sub-block at p: the mean brightness rounded down, then reduced.
inline int SubBlockLevel(const Pixel* p, int32_t pitch) {
  const int sum = static_cast<int>(PixelGreen(p[0]) + PixelGreen(p[1]) + PixelGreen(p[pitch]) + PixelGreen(p[pitch + 1]));
  return (sum >> 2) >> 4;
}

// Walks the block grid of a conversion; `keyOf` turns a block's top-left pixel pointer into
// its quadrant key.
template <int N, typename KeyOf>
void ConvertBlocks(const Cell* map, const Pixel* pixels, const SourceRect& rect, int32_t pitch, int32_t cellX,
                   int32_t cellY, Cell* cells, KeyOf keyOf) {
  const int32_t columns = (rect.right - rect.left) / N;
  const int32_t rows = (rect.bottom - rect.top) / N;
  for (int32_t r = 0; r < rows; ++r) {
    Cell* dst = cells + static_cast<ptrdiff_t>(cellY + r) * kScreenWidth + cellX;
    const Pixel* src = pixels + static_cast<ptrdiff_t>(rect.top + N * r) * pitch + rect.left;
    for (int32_t k = 0; k < columns; ++k) dst[k] = map[keyOf(src + N * k)];
  }
}

}  // namespace

GlyphCoverage CoverageOf(const uint8_t* glyph) {
  const uint8_t* lower = glyph + kQuadrantRows;
  return {SetPixels(glyph, kLeftColumns) * 16 / 24, SetPixels(glyph, kRightColumns) * 16 / 24,
          SetPixels(lower, kLeftColumns) * 16 / 24, SetPixels(lower, kRightColumns) * 16 / 24};
}

int32_t AsciiArtConverter::MatchCell(int32_t /*first*/, int32_t brightness, int32_t /*third*/) {
  QVL_ASSERT(kModule, mAsciiMap!=NULL);
  // Pinned so that a brightness out of range cannot index outside the table.
  const int32_t level = (brightness < 0 ? 0 : brightness > 255 ? 255 : brightness) >> 4;
  return mAsciiMap[level * 0x1111];
}

void AsciiArtConverter::BuildMap(int32_t flags) {
  const CharRange range = RangeForFlags(flags);

  mAsciiMap.reset();  // the old table goes first: two are never held at once
  mAsciiMap = NewCellTable(kMapEntries);
  if (!mAsciiMap) return;

  std::array<GlyphCoverage, 256> coverage{};
  for (int ch = range.first; ch <= range.last; ++ch) coverage[ch] = CoverageOf(AsciiArtFont + kGlyphHeight * ch);

  for (int key = 0; key < kMapEntries; ++key) {
    const int tl = key >> 12, tr = (key >> 8) & 15, bl = (key >> 4) & 15, br = key & 15;
    int best = 65535, bestChar = range.first;
    for (int ch = range.first; ch <= range.last; ++ch) {
      const int d = Distance(coverage[ch], tl, tr, bl, br);
      if (d < best) {  // strictly smaller: the lowest code keeps a tie
        best = d;
        bestChar = ch;
      }
    }
    mAsciiMap[key] = MakeCell(static_cast<uint8_t>(bestChar), kColourLightGrey, kColourBlack);
  }
}

void AsciiArtConverter::Convert1x1(const Pixel* pixels, const SourceRect& rect, int32_t pitch, int32_t cellX,
                                   int32_t cellY, Cell* cells) {
  QVL_ASSERT(kModule, mAsciiMap!=NULL);
  ConvertBlocks<1>(mAsciiMap.get(), pixels, rect, pitch, cellX, cellY, cells,
                   [](const Pixel* p) { return Level(*p) * 0x1111; });
}

void AsciiArtConverter::Convert2x2(const Pixel* pixels, const SourceRect& rect, int32_t pitch, int32_t cellX,
                                   int32_t cellY, Cell* cells) {
  QVL_ASSERT(kModule, mAsciiMap!=NULL);
  ConvertBlocks<2>(mAsciiMap.get(), pixels, rect, pitch, cellX, cellY, cells, [pitch](const Pixel* p) {
    return QuadrantKey(Level(p[0]), Level(p[1]), Level(p[pitch]), Level(p[pitch + 1]));
  });
}

void AsciiArtConverter::Convert4x4(const Pixel* pixels, const SourceRect& rect, int32_t pitch, int32_t cellX,
                                   int32_t cellY, Cell* cells) {
  QVL_ASSERT(kModule, mAsciiMap!=NULL);
  ConvertBlocks<4>(mAsciiMap.get(), pixels, rect, pitch, cellX, cellY, cells, [pitch](const Pixel* p) {
    const Pixel* lower = p + 2 * pitch;
    return QuadrantKey(SubBlockLevel(p, pitch), SubBlockLevel(p + 2, pitch), SubBlockLevel(lower, pitch),
                       SubBlockLevel(lower + 2, pitch));
  });
}
