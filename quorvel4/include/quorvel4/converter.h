// Converters from pixels to cells.
#pragma once

#include <cstdint>

#include "quorvel4/types.h"

// Turns rectangles of 32-bit pixels into Cells. The three conversions share one contract:
// pixels are read in rows of `pitch` pixels; the block grid starts at (rect.left, rect.top);
// (right - left) / N columns by (bottom - top) / N rows of Cells are written from cell
// (cellX, cellY) of `cells`, whose rows are always 80 Cells long. Nothing is clipped.
class CellConverter {
 public:
  virtual ~CellConverter() = default;

  // The Cell (in the low 16 bits) that stands for one uniform colour.
  virtual int32_t MatchCell(int32_t first, int32_t second, int32_t third) = 0;
  // Builds the look-up table, replacing any earlier one.
  virtual void BuildMap(int32_t flags) = 0;
  virtual void Convert1x1(const Pixel* pixels, const SourceRect& rect, int32_t pitch, int32_t cellX,
                          int32_t cellY, Cell* cells) = 0;
  virtual void Convert2x2(const Pixel* pixels, const SourceRect& rect, int32_t pitch, int32_t cellX,
                          int32_t cellY, Cell* cells) = 0;
  virtual void Convert4x4(const Pixel* pixels, const SourceRect& rect, int32_t pitch, int32_t cellX,
                          int32_t cellY, Cell* cells) = 0;
};

// Renders each pixel block as a full-block or shade glyph in a pair of the 16 console
// colours, whose visual mix is nearest the block's mean colour. The choice is made once per
// 18-bit colour in BuildMap; converting is one table look-up per Cell.
class BlockColorConverter : public CellConverter {
 public:
  BlockColorConverter() = default;
  ~BlockColorConverter() override;
  BlockColorConverter(const BlockColorConverter&) = delete;
  BlockColorConverter& operator=(const BlockColorConverter&) = delete;

  // red, green and blue are levels 0 to 63. Needs no table.
  int32_t MatchCell(int32_t red, int32_t green, int32_t blue) override;
  // flags is ignored.
  void BuildMap(int32_t flags) override;
  void Convert1x1(const Pixel* pixels, const SourceRect& rect, int32_t pitch, int32_t cellX, int32_t cellY,
                  Cell* cells) override;
  void Convert2x2(const Pixel* pixels, const SourceRect& rect, int32_t pitch, int32_t cellX, int32_t cellY,
                  Cell* cells) override;
  void Convert4x4(const Pixel* pixels, const SourceRect& rect, int32_t pitch, int32_t cellX, int32_t cellY,
                  Cell* cells) override;

  // The table, indexed by red level * 4096 + green level * 64 + blue level (null before BuildMap).
  const Cell* BlockMap() const { return mBlockMap; }

  static constexpr int kMapEntries = 64 * 64 * 64;

 private:
  Cell* mBlockMap = nullptr;
};
