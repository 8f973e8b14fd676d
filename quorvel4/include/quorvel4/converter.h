// Converters from pixels to cells.
#pragma once

#include <cstdint>
#include <memory>

#include "quorvel4/types.h"

// Turns rectangles of 32-bit pixels into Cells. The three conversions share one contract:
// pixels are read in rows of `pitch` pixels; the block grid starts at (rect.left, rect.top);
// (right - left) / N columns by (bottom - top) / N rows of Cells are written from cell
// (cellX, cellY) of `cells`, whose rows are always 80 Cells long. Nothing is clipped.
//
// A converter owns its look-up table. BuildMap makes it; when the memory for it cannot be
// had, the converter is left without a table (HasMap() is false) and the caller decides what
// follows. Converting without a table stops the program through QVL_ASSERT.
class CellConverter {
 public:
  virtual ~CellConverter() = default;

  // The Cell (in the low 16 bits) that stands for one uniform colour; what the three
  // numbers are is each converter's own (see there). CellFor is the same question asked
  // the same way of every converter.
  virtual int32_t MatchCell(int32_t first, int32_t second, int32_t third) = 0;
  // Builds the look-up table, replacing any earlier one. `flags` are the converter's table
  // options; kDefaultMap (0) asks for its default table.
  virtual void BuildMap(int32_t flags) = 0;
  virtual void Convert1x1(const Pixel* pixels, const SourceRect& rect, int32_t pitch, int32_t cellX,
                          int32_t cellY, Cell* cells) = 0;
  virtual void Convert2x2(const Pixel* pixels, const SourceRect& rect, int32_t pitch, int32_t cellX,
                          int32_t cellY, Cell* cells) = 0;
  virtual void Convert4x4(const Pixel* pixels, const SourceRect& rect, int32_t pitch, int32_t cellX,
                          int32_t cellY, Cell* cells) = 0;

  static constexpr int32_t kDefaultMap = 0;

  // The whole 160 x 100 canvas into all 80 x 50 cells, two by two pixels per Cell: the
  // conversion a frame of the show ends with.
  void ConvertCanvas(const Pixel* canvas = Canvas, Cell* cells = CellScreen) {
    Convert2x2(canvas, SourceRect(0, 0, kCanvasWidth, kCanvasHeight), kCanvasWidth, 0, 0, cells);
  }

  // The Cell that a block of one colour converts into. Needs the table.
  Cell CellFor(Pixel colour) {
    Cell cell = 0;
    Convert1x1(&colour, SourceRect(0, 0, 1, 1), 1, 0, 0, &cell);
    return cell;
  }
};

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
