// The colour converter (module qvl_blockcolor): matches colours with shaded blocks.
#pragma once

#include <cstdint>
#include <memory>

#include "quorvel4/cell_converter.h"
#include "quorvel4/types.h"

// Renders each pixel block as a full-block or shade glyph in a pair of the 16 console
// colours, whose visual mix is nearest the block's mean colour. The choice is made once per
// 18-bit colour in BuildMap; converting is one table look-up per Cell.
class BlockColorConverter : public CellConverter {
 public:
  BlockColorConverter() = default;
  ~BlockColorConverter() override = default;
  BlockColorConverter(const BlockColorConverter&) = delete;
  BlockColorConverter& operator=(const BlockColorConverter&) = delete;

  // red, green and blue are levels 0 to 63. Needs no table.
  int32_t MatchCell(int32_t red, int32_t green, int32_t blue) override;
  // The table has no options: flags is ignored.
  void BuildMap(int32_t flags = kDefaultMap) override;
  void Convert1x1(const Pixel* pixels, const SourceRect& rect, int32_t pitch, int32_t cellX, int32_t cellY,
                  Cell* cells) override;
  void Convert2x2(const Pixel* pixels, const SourceRect& rect, int32_t pitch, int32_t cellX, int32_t cellY,
                  Cell* cells) override;
  void Convert4x4(const Pixel* pixels, const SourceRect& rect, int32_t pitch, int32_t cellX, int32_t cellY,
                  Cell* cells) override;

  // The table, indexed by red level * 4096 + green level * 64 + blue level (null before BuildMap).
  const Cell* BlockMap() const { return mBlockMap.get(); }
  // False before BuildMap, and after a BuildMap that found no memory for the table.
  bool HasMap() const { return mBlockMap != nullptr; }

  static constexpr int kMapEntries = 64 * 64 * 64;

 private:
  std::unique_ptr<Cell[]> mBlockMap;
};
