// The block-colour converter: building its table once, and converting a full Canvas each
// frame. With libcaca present the same canvases are dithered by caca_dither_bitmap onto an
// 80 x 50 caca canvas in the same run, so the two can be compared side by side.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "quorvel4/qvl_blockcolor.h"

#ifdef QVL_HAVE_CACA
#include <caca.h>
#endif

namespace {

Pixel Rgb(int r, int g, int b) {
  auto clamp = [](int v) { return static_cast<Pixel>(v < 0 ? 0 : v > 255 ? 255 : v); };
  return clamp(r) | clamp(g) << 8 | clamp(b) << 16;
}

// Smooth sums of sines, like the show's plasmas.
std::vector<Pixel> PlasmaCanvas() {
  std::vector<Pixel> px(kCanvasPixels);
  for (int y = 0; y < kCanvasHeight; ++y)
    for (int x = 0; x < kCanvasWidth; ++x) {
      const double v = std::sin(x * 0.07) + std::sin(y * 0.11) + std::sin((x + y) * 0.05) + std::sin(std::hypot(x - 80, y - 50) * 0.09);
      px[y * kCanvasWidth + x] = Rgb(static_cast<int>(128 + 127 * std::sin(v * 2.1)),
                                     static_cast<int>(128 + 127 * std::sin(v * 1.3 + 2.0)),
                                     static_cast<int>(128 + 127 * std::sin(v * 0.7 + 4.0)));
    }
  return px;
}

// A sky gradient, a sun, hills with a hard horizon and some film grain: smooth areas, edges
// and fine texture, as in a photograph.
std::vector<Pixel> PhotoCanvas() {
  std::vector<Pixel> px(kCanvasPixels);
  uint32_t s = 99;
  for (int y = 0; y < kCanvasHeight; ++y)
    for (int x = 0; x < kCanvasWidth; ++x) {
      s = s * 1664525u + 1013904223u;
      const int grain = static_cast<int>((s >> 24) % 17) - 8;
      const double horizon = 62 + 8 * std::sin(x * 0.06) + 4 * std::sin(x * 0.21);
      int r, g, b;
      if (std::hypot(x - 118, y - 28) < 13) {
        r = 255, g = 230, b = 150;
      } else if (y < horizon) {
        r = 40 + y * 2, g = 90 + y * 2, b = 200 - y / 2;
      } else {
        r = 40 + (x * 3 + y) % 40, g = 110 - (y - 60), b = 30;
      }
      px[y * kCanvasWidth + x] = Rgb(r + grain, g + grain, b + grain);
    }
  return px;
}

std::vector<Pixel> NoiseCanvas() {
  std::vector<Pixel> px(kCanvasPixels);
  uint32_t s = 12345;
  for (Pixel& p : px) {
    s = s * 1664525u + 1013904223u;
    p = s >> 8;
  }
  return px;
}

const std::vector<Pixel>& CanvasOf(int kind) {
  static const std::vector<Pixel> canvases[3] = {PlasmaCanvas(), PhotoCanvas(), NoiseCanvas()};
  return canvases[kind];
}

const char* kCanvasNames[3] = {"plasma", "photo", "noise"};

void BM_BuildMap(benchmark::State& state) {
  BlockColorConverter converter;
  for (auto _ : state) {
    converter.BuildMap(0xFFFF);
    benchmark::DoNotOptimize(converter.BlockMap());
  }
}
BENCHMARK(BM_BuildMap)->Unit(benchmark::kMillisecond);

void BM_Convert2x2(benchmark::State& state) {
  BlockColorConverter converter;
  converter.BuildMap(0xFFFF);
  const std::vector<Pixel>& px = CanvasOf(static_cast<int>(state.range(0)));
  std::vector<Cell> cells(kScreenCells);
  for (auto _ : state) {
    converter.ConvertCanvas(px.data(), cells.data());
    benchmark::DoNotOptimize(cells.data());
    benchmark::ClobberMemory();
  }
  state.SetLabel(kCanvasNames[state.range(0)]);
  state.SetItemsProcessed(state.iterations() * kScreenCells);
}
BENCHMARK(BM_Convert2x2)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);

#ifdef QVL_HAVE_CACA
// libcaca's own choices (antialiasing, Floyd-Steinberg error diffusion) with the 16 colours
// and the block glyphs, the nearest match to what our converter produces.
void BM_CacaDither(benchmark::State& state) {
  caca_canvas_t* canvas = caca_create_canvas(kScreenWidth, kScreenHeight);
  caca_dither_t* dither = caca_create_dither(32, kCanvasWidth, kCanvasHeight, kCanvasWidth * 4, 0x000000FF,
                                             0x0000FF00, 0x00FF0000, 0);
  caca_set_dither_color(dither, "full16");
  caca_set_dither_charset(dither, "blocks");
  const std::vector<Pixel>& px = CanvasOf(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    caca_dither_bitmap(canvas, 0, 0, kScreenWidth, kScreenHeight, dither, px.data());
    benchmark::ClobberMemory();
  }
  state.SetLabel(std::string(kCanvasNames[state.range(0)]) + ", " + caca_get_dither_algorithm(dither));
  state.SetItemsProcessed(state.iterations() * kScreenCells);
  caca_free_dither(dither);
  caca_free_canvas(canvas);
}
BENCHMARK(BM_CacaDither)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);
#endif

}  // namespace
