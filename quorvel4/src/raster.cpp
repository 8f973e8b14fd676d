#include "quorvel4/raster.h"

#include "raster_paint.h"

void PaintCellsPortable(const Cell* cells, int columns, int rows, PixelLayout layout, uint8_t* out,
                        std::size_t pitch) {
  qvl_raster::PaintAnyLayout(cells, columns, rows, layout, out, pitch);
}

std::vector<uint8_t> RasterizeCells(const Cell* cells, int columns, int rows) {
  const std::size_t pitch = static_cast<std::size_t>(columns) * kGlyphWidth * 3;
  std::vector<uint8_t> rgb(pitch * rows * kGlyphHeight);
  RasterizeCellsInto(cells, columns, rows, PixelLayout::kRgb, rgb.data(), pitch);
  return rgb;
}
