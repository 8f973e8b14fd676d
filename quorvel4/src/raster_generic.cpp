// Processors the build knows no wider vectors for: the portable loops.
#include "raster_paint.h"

// RasterizeCellsInto is defined here, for this kind of processor.
void RasterizeCellsInto(const Cell* cells, int columns, int rows, PixelLayout layout, uint8_t* out,
                        std::size_t pitch) {
  PaintCellsPortable(cells, columns, rows, layout, out, pitch);
}
