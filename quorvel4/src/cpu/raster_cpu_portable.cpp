// Processors the build knows no wider vectors for: the portable loops.
#include "../raster_paint.h"

void PaintCells(const Cell* cells, int columns, int rows, PixelLayout layout, uint8_t* out, std::size_t pitch) {
  PaintCellsPortable(cells, columns, rows, layout, out, pitch);
}
