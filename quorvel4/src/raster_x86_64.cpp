// x86-64: the baseline has 16-byte vectors only, so a cell's row of eight four-byte pixels
// takes two stores. Where the processor has AVX2, the same loops compiled for it write the row
// in one, which takes about a fifth off a frame (BM_RasterizeBgra beside
// BM_RasterizeBgraPortable). The choice is made once, at run time, so the program still runs
// on any x86-64 processor.
#include "raster_paint.h"

namespace {

// flatten pulls the loops into this function, so all of them are compiled for AVX2.
[[gnu::target("avx2"), gnu::flatten]] void PaintCellsAvx2(const Cell* cells, int columns, int rows,
                                                          PixelLayout layout, uint8_t* out, std::size_t pitch) {
  qvl_raster::PaintAnyLayout(cells, columns, rows, layout, out, pitch);
}

}  // namespace

// RasterizeCellsInto is defined here, for this kind of processor.
void RasterizeCellsInto(const Cell* cells, int columns, int rows, PixelLayout layout, uint8_t* out,
                        std::size_t pitch) {
  static const bool avx2 = __builtin_cpu_supports("avx2");
  if (avx2) {
    PaintCellsAvx2(cells, columns, rows, layout, out, pitch);
  } else {
    PaintCellsPortable(cells, columns, rows, layout, out, pitch);
  }
}
