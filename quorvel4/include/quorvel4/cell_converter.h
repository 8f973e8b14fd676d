// The interface every converter from pixels to cells has (BlockColorConverter in
// qvl_blockcolor.h, AsciiArtConverter in qvl_asciiart.h).
#pragma once

#include <cstdint>

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
