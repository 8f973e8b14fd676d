// Rasterising the cells into the window's picture: the 640 x 600 four-byte pixels a window
// uploads every frame, and the three-byte pixels of a PNG capture.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "quorvel4/raster.h"
#include "raster_paint.h"

namespace {

// Every glyph in many colour pairs: no cell repeats its neighbour.
std::vector<Cell> MixedCells() {
  std::vector<Cell> cells(kScreenCells);
  for (int i = 0; i < kScreenCells; ++i) cells[i] = static_cast<Cell>(((i * 7 + i / 256) & 0xFF) << 8 | ((i * 13) & 0xFF));
  return cells;
}

using Painter = void (*)(const Cell*, int, int, PixelLayout, uint8_t*, std::size_t);

// Where the picture starts against a 64-byte cache line. Large blocks from glibc's malloc, a
// std::vector and the buffer SDL's OpenGL renderer lends for a streaming texture all start 16
// bytes past a line, so half of the cells' 32-byte rows straddle two lines. A buffer allocated
// on a 64-byte boundary (SDL's software renderer lends one) has none that do.
constexpr std::size_t kLikeMalloc = 16;
constexpr std::size_t kOnALine = 0;

void RasterizeFrame(benchmark::State& state, PixelLayout layout, Painter paint = &RasterizeCellsInto,
                    std::size_t pastALine = kLikeMalloc) {
  const std::vector<Cell> cells = MixedCells();
  const std::size_t pitch = static_cast<std::size_t>(kRasterWidth) * BytesPerPixel(layout);
  std::vector<uint8_t> block(pitch * kRasterHeight + 64);
  uint8_t* picture = block.data() + (64 - reinterpret_cast<std::uintptr_t>(block.data()) % 64) % 64 + pastALine;
  for (auto _ : state) {
    paint(cells.data(), kScreenWidth, kScreenHeight, layout, picture, pitch);
    benchmark::DoNotOptimize(picture);
    benchmark::ClobberMemory();
  }
}

void BM_RasterizeBgra(benchmark::State& state) { RasterizeFrame(state, PixelLayout::kBgra); }
void BM_RasterizeBgraOnALine(benchmark::State& state) {
  RasterizeFrame(state, PixelLayout::kBgra, &RasterizeCellsInto, kOnALine);
}
void BM_RasterizeRgb(benchmark::State& state) { RasterizeFrame(state, PixelLayout::kRgb); }
// The loops every processor of the kind runs, for processors without wider vectors.
void BM_RasterizeBgraPortable(benchmark::State& state) {
  RasterizeFrame(state, PixelLayout::kBgra, &PaintCellsPortable);
}

// The floor to compare with: writing the same four-byte picture with one memset.
void BM_MemsetBgra(benchmark::State& state) {
  std::vector<uint8_t> picture(static_cast<std::size_t>(kRasterWidth) * BytesPerPixel(PixelLayout::kBgra) * kRasterHeight);
  uint8_t value = 0;
  for (auto _ : state) {
    std::memset(picture.data(), ++value, picture.size());
    benchmark::DoNotOptimize(picture.data());
    benchmark::ClobberMemory();
  }
}

BENCHMARK(BM_MemsetBgra)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RasterizeBgra)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RasterizeBgraOnALine)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RasterizeRgb)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RasterizeBgraPortable)->Unit(benchmark::kMicrosecond);

}  // namespace
