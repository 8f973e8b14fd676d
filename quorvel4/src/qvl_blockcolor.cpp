#include <cstddef>

#include "cell_table.h"
#include "quorvel4/assert.h"
#include "quorvel4/qvl_blockcolor.h"
#include "quorvel4/palette.h"

namespace {

constexpr const char* kModule = "qvl_blockcolor";

// A colour on the converter's 0-63 level scale. Not the palette's Rgb: the distances are
// signed, and the never-chosen entry 8 lies far outside any byte.
struct Level3 {
  int32_t r, g, b;
};

// Console colour i on the 0-63 level scale: the palette's channels reduced to 6 bits, as the
// pixels are. Dark grey (8) is pushed far out of range so that neither it nor any mix with it
// is ever the nearest.
constexpr Level3 BlockColour(int i) {
  if (i == kColourDarkGrey) return {9999, 9999, 9999};
  return {kVgaPalette[i].r >> 2, kVgaPalette[i].g >> 2, kVgaPalette[i].b >> 2};
}

constexpr int kFullBlock = 219, kDarkShade = 178, kMediumShade = 177, kLightShade = 176;

constexpr Level3 Half(const Level3& a, const Level3& b) {
  return {(a.r + b.r) / 2, (a.g + b.g) / 2, (a.b + b.b) / 2};
}

// Three quarters of `major` and one quarter of `minor`, each term truncated on its own.
constexpr Level3 ThreeQuarters(const Level3& major, const Level3& minor) {
  return {(3 * major.r) / 4 + minor.r / 4, (3 * major.g) / 4 + minor.g / 4, (3 * major.b) / 4 + minor.b / 4};
}

constexpr int kMixCount = 48;

// For each nearest solid colour e, the 48 mixes of e with every colour j, in the order they
// are tried: half and half, three quarters j, three quarters e, for j = 0 to 15; with the
// Cell that shows each. Working them out once keeps the 262,144 matches of a table build
// cheap, and keeping each channel in an array of its own lets the distances be computed
// side by side.
struct MixTable {
  int32_t r[16][kMixCount], g[16][kMixCount], b[16][kMixCount];
  int32_t cell[16][kMixCount];
};

constexpr MixTable MakeMixTable() {
  MixTable t{};
  for (int e = 0; e < 16; ++e) {
    const Level3 pe = BlockColour(e);
    for (int j = 0; j < 16; ++j) {
      const Level3 pj = BlockColour(j);
      const int32_t attribute = j > e ? e * 16 + j : j * 16 + e;  // the higher colour in front
      const Level3 colours[3] = {Half(pj, pe), ThreeQuarters(pj, pe), ThreeQuarters(pe, pj)};
      const int32_t glyphs[3] = {kMediumShade, j > e ? kDarkShade : kLightShade, e > j ? kDarkShade : kLightShade};
      for (int m = 0; m < 3; ++m) {
        t.r[e][3 * j + m] = colours[m].r;
        t.g[e][3 * j + m] = colours[m].g;
        t.b[e][3 * j + m] = colours[m].b;
        t.cell[e][3 * j + m] = attribute * 256 + glyphs[m];
      }
    }
  }
  return t;
}

constexpr MixTable kMixes = MakeMixTable();

// The palette with each channel in an array of its own.
struct SolidTable {
  int32_t r[16], g[16], b[16];
};

constexpr SolidTable MakeSolidTable() {
  SolidTable t{};
  for (int i = 0; i < 16; ++i) {
    const Level3 c = BlockColour(i);
    t.r[i] = c.r, t.g[i] = c.g, t.b[i] = c.b;
  }
  return t;
}

constexpr SolidTable kSolids = MakeSolidTable();

// The first of the N colours (r[k], g[k], b[k]) nearest to the target; its distance goes to
// `distance`. All N distances are computed before they are compared, so the compiler can
// work on several at once.
template <int N>
int FirstNearest(const int32_t* r, const int32_t* g, const int32_t* b, int32_t red, int32_t green, int32_t blue,
                 int32_t* distance) {
  int32_t d[N];
  for (int k = 0; k < N; ++k) d[k] = (r[k] - red) * (r[k] - red) + (g[k] - green) * (g[k] - green) + (b[k] - blue) * (b[k] - blue);
  int32_t nearest = d[0];
  for (int k = 1; k < N; ++k) nearest = d[k] < nearest ? d[k] : nearest;
  int k = 0;
  while (d[k] != nearest) ++k;
  *distance = nearest;
  return k;
}

// The colour key of a pixel: its three channels reduced to 6 bits each.
// Red level to bits 12-17, green level to bits 6-11, blue level to bits 0-5.
inline uint32_t ColourKey(Pixel v) { return ((v & 0xFCu) << 10) | ((v >> 4) & 0xFC0u) | ((v >> 18) & 0x3Fu); }

// Walks the block grid of a conversion; `reduce` turns a block's top-left pixel pointer into
// one pixel value. The keys of a run of blocks are worked out before any is looked up, which
// lets the compiler vectorise the pixel arithmetic.
template <int N, typename Reduce>
void ConvertBlocks(const Cell* map, const Pixel* pixels, const SourceRect& rect, int32_t pitch, int32_t cellX,
                   int32_t cellY, Cell* cells, Reduce reduce) {
  constexpr int32_t kRun = 80;
  const int32_t columns = (rect.right - rect.left) / N;
  const int32_t rows = (rect.bottom - rect.top) / N;
  uint32_t keys[kRun];
  for (int32_t r = 0; r < rows; ++r) {
    Cell* dst = cells + static_cast<ptrdiff_t>(cellY + r) * kScreenWidth + cellX;
    const Pixel* src = pixels + static_cast<ptrdiff_t>(rect.top + N * r) * pitch + rect.left;
    for (int32_t start = 0; start < columns; start += kRun) {
      const int32_t count = columns - start < kRun ? columns - start : kRun;
      for (int32_t k = 0; k < count; ++k) keys[k] = ColourKey(reduce(src + N * (start + k)));
      for (int32_t k = 0; k < count; ++k) dst[start + k] = map[keys[k]];
    }
  }
}

}  // namespace

int32_t BlockColorConverter::MatchCell(int32_t red, int32_t green, int32_t blue) {
  // Stage 1: the nearest solid colour e; the lowest number wins a tie.
  int32_t best = 0;
  const int e = FirstNearest<16>(kSolids.r, kSolids.g, kSolids.b, red, green, blue, &best);
  int32_t cell = e * 256 + kFullBlock;

  // Stage 2: mixes of e with every colour, e itself included. The distance of stage 1
  // carries on, a mix must be strictly nearer, and among equally near mixes the first
  // tried wins.
  int32_t nearest = 0;
  const int k = FirstNearest<kMixCount>(kMixes.r[e], kMixes.g[e], kMixes.b[e], red, green, blue, &nearest);
  if (nearest < best) cell = kMixes.cell[e][k];
  return cell;
}

void BlockColorConverter::BuildMap(int32_t /*flags*/) {
  mBlockMap.reset();  // the old table goes first: two are never held at once
  mBlockMap = NewCellTable(kMapEntries);
  if (!mBlockMap) return;
  for (int r = 0; r < 64; ++r)
    for (int g = 0; g < 64; ++g)
      for (int b = 0; b < 64; ++b) mBlockMap[r * 4096 + g * 64 + b] = static_cast<Cell>(MatchCell(r, g, b));
}

void BlockColorConverter::Convert1x1(const Pixel* pixels, const SourceRect& rect, int32_t pitch, int32_t cellX,
                                     int32_t cellY, Cell* cells) {
  QVL_ASSERT(kModule, mBlockMap!=NULL);
  ConvertBlocks<1>(mBlockMap.get(), pixels, rect, pitch, cellX, cellY, cells, [](const Pixel* p) { return *p; });
}

void BlockColorConverter::Convert2x2(const Pixel* pixels, const SourceRect& rect, int32_t pitch, int32_t cellX,
                                     int32_t cellY, Cell* cells) {
  QVL_ASSERT(kModule, mBlockMap!=NULL);
  // Red and blue are summed together in one word: four values below 256 cannot carry
  // across the 8 bits of green between them.
  ConvertBlocks<2>(mBlockMap.get(), pixels, rect, pitch, cellX, cellY, cells, [pitch](const Pixel* p) {
    const Pixel* q = p + pitch;
    const uint32_t s1 = (p[0] & 0x00FF00FF) + (p[1] & 0x00FF00FF) + (q[0] & 0x00FF00FF) + (q[1] & 0x00FF00FF);
    const uint32_t s2 = (p[0] & 0x0000FF00) + (p[1] & 0x0000FF00) + (q[0] & 0x0000FF00) + (q[1] & 0x0000FF00);
    return ((s1 >> 2) & 0x00FF00FFu) + ((s2 >> 2) & 0x0000FF00u);
  });
}

void BlockColorConverter::Convert4x4(const Pixel* pixels, const SourceRect& rect, int32_t pitch, int32_t cellX,
                                     int32_t cellY, Cell* cells) {
  QVL_ASSERT(kModule, mBlockMap!=NULL);
  ConvertBlocks<4>(mBlockMap.get(), pixels, rect, pitch, cellX, cellY, cells, [pitch](const Pixel* p) {
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
