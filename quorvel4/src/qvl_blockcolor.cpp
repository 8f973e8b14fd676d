#include <cstdio>
#include <cstdlib>
#include <new>

#include "quorvel4/assert.h"
#include "quorvel4/console.h"
#include "quorvel4/converter.h"

namespace {

constexpr const char* kModule = "qvl_blockcolor";

struct Level3 {
  int32_t r, g, b;
};

// The console colours on the 0-63 level scale. Entry 8 (dark grey) is pushed far out of
// range so that neither it nor any mix with it is ever the nearest.
constexpr Level3 kBlockPalette[16] = {
    {0, 0, 0},     {0, 0, 42},    {0, 42, 0},    {0, 42, 42},   {42, 0, 0},    {42, 0, 42},
    {42, 21, 0},   {42, 42, 42},  {9999, 9999, 9999}, {21, 21, 63}, {21, 63, 21}, {21, 63, 63},
    {63, 21, 21},  {63, 21, 63},  {63, 63, 21},  {63, 63, 63},
};

constexpr int kFullBlock = 219, kDarkShade = 178, kMediumShade = 177, kLightShade = 176;

int32_t Distance(const Level3& q, int32_t r, int32_t g, int32_t b) {
  return (q.r - r) * (q.r - r) + (q.g - g) * (q.g - g) + (q.b - b) * (q.b - b);
}

Level3 Half(const Level3& a, const Level3& b) { return {(a.r + b.r) / 2, (a.g + b.g) / 2, (a.b + b.b) / 2}; }

// Three quarters of `major` and one quarter of `minor`, each term truncated on its own.
Level3 ThreeQuarters(const Level3& major, const Level3& minor) {
  return {(3 * major.r) / 4 + minor.r / 4, (3 * major.g) / 4 + minor.g / 4, (3 * major.b) / 4 + minor.b / 4};
}

// The colour key of a pixel: its three channels reduced to 6 bits each.
inline int ColourKey(Pixel v) {
  return static_cast<int>(((v & 0xFF) >> 2) * 4096 + (((v >> 8) & 0xFF) >> 2) * 64 + (((v >> 16) & 0xFF) >> 2));
}

// Walks the block grid of a conversion; `reduce` turns a block's top-left pixel pointer into
// one pixel value.
template <int N, typename Reduce>
void ConvertBlocks(const Cell* map, const Pixel* pixels, const SourceRect& rect, int32_t pitch, int32_t cellX,
                   int32_t cellY, Cell* cells, Reduce reduce) {
  const int32_t columns = (rect.right - rect.left) / N;
  const int32_t rows = (rect.bottom - rect.top) / N;
  for (int32_t r = 0; r < rows; ++r) {
    Cell* dst = cells + static_cast<ptrdiff_t>(cellY + r) * 80 + cellX;
    const Pixel* src = pixels + static_cast<ptrdiff_t>(rect.top + N * r) * pitch + rect.left;
    for (int32_t k = 0; k < columns; ++k) dst[k] = map[ColourKey(reduce(src + N * k))];
  }
}

}  // namespace

BlockColorConverter::~BlockColorConverter() { delete[] mBlockMap; }

int32_t BlockColorConverter::MatchCell(int32_t red, int32_t green, int32_t blue) {
  int32_t best = 0x7FFFFFFF;
  int32_t attribute = 0, character = kFullBlock;
  int e = 0;

  // Stage 1: the nearest solid colour; the lowest number wins a tie.
  for (int i = 0; i < 16; ++i) {
    const int32_t d = Distance(kBlockPalette[i], red, green, blue);
    if (d < best) {
      best = d;
      e = i;
      attribute = i;
      character = kFullBlock;
    }
  }

  // Stage 2: mixes of that colour with every colour, e itself included.
  const Level3& pe = kBlockPalette[e];
  for (int j = 0; j < 16; ++j) {
    const Level3& pj = kBlockPalette[j];
    const int32_t high = j > e ? j : e, low = j > e ? e : j;

    int32_t d = Distance(Half(pj, pe), red, green, blue);
    if (d < best) {
      best = d;
      attribute = low * 16 + high;
      character = kMediumShade;
    }
    d = Distance(ThreeQuarters(pj, pe), red, green, blue);  // j at 75 %
    if (d < best) {
      best = d;
      attribute = low * 16 + high;
      character = j > e ? kDarkShade : kLightShade;
    }
    d = Distance(ThreeQuarters(pe, pj), red, green, blue);  // e at 75 %
    if (d < best) {
      best = d;
      attribute = low * 16 + high;
      character = e > j ? kDarkShade : kLightShade;
    }
  }
  return attribute * 256 + character;
}

void BlockColorConverter::BuildMap(int32_t /*flags*/) {
  delete[] mBlockMap;
  mBlockMap = new (std::nothrow) Cell[kMapEntries];
  if (mBlockMap == nullptr) {
    ShutdownConsole();
    std::fprintf(stderr, "%s: cannot allocate the %zu-byte colour table\n", kModule, sizeof(Cell) * kMapEntries);
    std::exit(1);
  }
  for (int r = 0; r < 64; ++r)
    for (int g = 0; g < 64; ++g)
      for (int b = 0; b < 64; ++b) mBlockMap[r * 4096 + g * 64 + b] = static_cast<Cell>(MatchCell(r, g, b));
}

void BlockColorConverter::Convert1x1(const Pixel* pixels, const SourceRect& rect, int32_t pitch, int32_t cellX,
                                     int32_t cellY, Cell* cells) {
  QVL_ASSERT(kModule, mBlockMap!=NULL);
  ConvertBlocks<1>(mBlockMap, pixels, rect, pitch, cellX, cellY, cells, [](const Pixel* p) { return *p; });
}

void BlockColorConverter::Convert2x2(const Pixel* pixels, const SourceRect& rect, int32_t pitch, int32_t cellX,
                                     int32_t cellY, Cell* cells) {
  QVL_ASSERT(kModule, mBlockMap!=NULL);
  // Red and blue are summed together in one word: four values below 256 cannot carry
  // across the 8 bits of green between them.
  ConvertBlocks<2>(mBlockMap, pixels, rect, pitch, cellX, cellY, cells, [pitch](const Pixel* p) {
    const uint32_t s1 = (p[0] & 0x00FF00FF) + (p[1] & 0x00FF00FF) + (p[pitch] & 0x00FF00FF) + (p[pitch + 1] & 0x00FF00FF);
    const uint32_t s2 = (p[0] & 0x0000FF00) + (p[1] & 0x0000FF00) + (p[pitch] & 0x0000FF00) + (p[pitch + 1] & 0x0000FF00);
    return ((s1 >> 2) & 0x00FF00FFu) + ((s2 >> 2) & 0x0000FF00u);
  });
}

void BlockColorConverter::Convert4x4(const Pixel* pixels, const SourceRect& rect, int32_t pitch, int32_t cellX,
                                     int32_t cellY, Cell* cells) {
  QVL_ASSERT(kModule, mBlockMap!=NULL);
  ConvertBlocks<4>(mBlockMap, pixels, rect, pitch, cellX, cellY, cells, [pitch](const Pixel* p) {
    uint32_t s1 = 0, s2 = 0;
    for (int dy = 0; dy < 4; ++dy)
      for (int dx = 0; dx < 4; ++dx) {
        const Pixel v = p[dx + dy * pitch];
        s1 += v & 0x00FF00FF;
        s2 += v & 0x0000FF00;
      }
    return ((s1 >> 4) & 0x00FF00FFu) + ((s2 >> 4) & 0x0000FF00u);
  });
}
