// The ASCII-art converter: matches shapes instead of colours.
#pragma once

#include <cstdint>
#include <memory>

#include "quorvel4/cell_converter.h"
#include "quorvel4/font.h"

// The glyphs whose coverage the converter matches: the library's 8 x 12 code page 437 font.
inline constexpr const uint8_t* AsciiArtFont = kFont8x12;

// How much of each 4 x 6 quadrant of one 8 x 12 glyph is set, scaled to 0 to 16
// (set pixels * 16 / 24, truncated).
struct GlyphCoverage {
  int tl, tr, bl, br;
};
GlyphCoverage CoverageOf(const uint8_t* glyph);

// Treats the green channel of each pixel as brightness, splits every Cell into four
// quadrants and picks the character whose glyph, light grey on black, covers each quadrant
// most like the brightness found there. BuildMap precomputes the choice for all 65,536
// quadrant keys TL * 4096 + TR * 256 + BL * 16 + BR (levels 0 to 15); converting is one
// look-up per Cell. Every Cell it produces has attribute 0x07.
class AsciiArtConverter : public CellConverter {
 public:
  AsciiArtConverter() = default;
  ~AsciiArtConverter() override = default;
  AsciiArtConverter(const AsciiArtConverter&) = delete;
  AsciiArtConverter& operator=(const AsciiArtConverter&) = delete;

  // Only `brightness` (0 to 255) is used: the Cell whose four quadrants all have level
  // brightness >> 4. Values outside 0 to 255 are pinned to that range. Needs the table.
  int32_t MatchCell(int32_t first, int32_t brightness, int32_t third) override;

  // The characters the table may use (the flags of BuildMap).
  static constexpr int32_t kAllCharacters = 0;        // 0 to 255
  static constexpr int32_t kNoControlCharacters = 1;  // 32 to 255
  static constexpr int32_t kPrintableAscii = 2;       // 32 to 126 (wins over kNoControlCharacters)

  // flags selects the characters, as above. Among equally good characters the lowest code
  // wins.
  void BuildMap(int32_t flags = kDefaultMap) override;

  // 1x1: one pixel fills all four quadrants. 2x2: one pixel per quadrant. 4x4: each
  // quadrant is the mean (rounded down) of a 2 x 2 sub-block.
  void Convert1x1(const Pixel* pixels, const SourceRect& rect, int32_t pitch, int32_t cellX, int32_t cellY,
                  Cell* cells) override;
  void Convert2x2(const Pixel* pixels, const SourceRect& rect, int32_t pitch, int32_t cellX, int32_t cellY,
                  Cell* cells) override;
  void Convert4x4(const Pixel* pixels, const SourceRect& rect, int32_t pitch, int32_t cellX, int32_t cellY,
                  Cell* cells) override;

  // The table, indexed by quadrant key (null before BuildMap).
  const Cell* AsciiMap() const { return mAsciiMap.get(); }
  // False before BuildMap, and after a BuildMap that found no memory for the table.
  bool HasMap() const { return mAsciiMap != nullptr; }

  static constexpr int kMapEntries = 65536;

  // The quadrant key of four levels 0 to 15.
  static constexpr int QuadrantKey(int tl, int tr, int bl, int br) { return tl * 4096 + tr * 256 + bl * 16 + br; }

 private:
  std::unique_ptr<Cell[]> mAsciiMap;
};
