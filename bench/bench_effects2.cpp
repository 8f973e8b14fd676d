// Frame costs of the text lines, bit patterns, emblem ticker, cell noise, sparkles, swarm
// and dot cube: each effect alone, and as its scenes use it, with the conversion of the
// Canvas where the scene leaves that to the frame loop.
#include <benchmark/benchmark.h>

#include "bench/bench_support.h"
#include "effects/bit_patterns.h"
#include "effects/cell_noise.h"
#include "effects/dot_cube.h"
#include "effects/emblem_ticker.h"
#include "effects/sparkles.h"
#include "effects/swarm.h"
#include "effects/text_lines.h"
#include "quorvel4/random.h"
#include "quorvel4/types.h"

namespace {

// Runs `draw` with time arguments that cycle through a scene's window in steps of 7 ms, so
// that every mode and phase is measured.
template <typename Draw>
void CycleScene(benchmark::State& state, int32_t first, int32_t last, Draw draw) {
  int32_t time = first;
  for (auto _ : state) {
    time = time + 7 > last ? first : time + 7;
    draw(time);
    benchmark::DoNotOptimize(CellScreen);
  }
}

void BM_TextLines(benchmark::State& state) {
  CycleScene(state, 39858, 61402, [](int32_t t) { DrawTextLines(3 * t); });
}
BENCHMARK(BM_TextLines);

void BM_XorPatternScene(benchmark::State& state) {
  CycleScene(state, 49288, 51526, [](int32_t t) {
    DrawXorPattern(8 * t);
    ConvertCanvas();
  });
}
BENCHMARK(BM_XorPatternScene);

void BM_AndPatternScene(benchmark::State& state) {
  CycleScene(state, 79248, 80557, [](int32_t t) {
    DrawAndPattern(2 * t);
    ConvertCanvas();
  });
}
BENCHMARK(BM_AndPatternScene);

void BM_EmblemTickerWithTextLines(benchmark::State& state) {
  CycleScene(state, 57538, 61402, [](int32_t t) {
    DrawEmblemTicker(t);
    DrawTextLines(t - 500);
  });
}
BENCHMARK(BM_EmblemTickerWithTextLines);

void BM_CellNoise(benchmark::State& state) {
  SeedRandom(1);
  CycleScene(state, 1, 12593, [](int32_t t) { DrawCellNoise(t); });
}
BENCHMARK(BM_CellNoise);

// The sparkle scenes' heaviest frame: a move, the colour fill, the sparkles, the conversion.
void BM_SparklesScene(benchmark::State& state) {
  SeedRandom(1);
  InitSparkles();
  for (auto _ : state) {
    MoveSparkles();
    const int red = Random() % 256;
    const int green = Random() % 256;
    const int blue = Random() % 256;
    for (Pixel& p : Canvas) p = static_cast<Pixel>(red * 65536 + green * 256 + blue);
    DrawSparkles();
    ConvertCanvas();
    benchmark::DoNotOptimize(CellScreen);
  }
}
BENCHMARK(BM_SparklesScene);

void BM_SwarmScene(benchmark::State& state) {
  SeedRandom(1);
  InitSwarm();
  MoveSwarm();
  for (auto _ : state) {
    for (Pixel& p : Canvas) p = 0;
    MoveSwarm();
    MoveSwarm();
    DrawSwarm();
    ConvertCanvas();
    benchmark::DoNotOptimize(CellScreen);
  }
}
BENCHMARK(BM_SwarmScene);

void BM_DotCubeCloseScene(benchmark::State& state) {
  BuildDotPalette();
  MakeDotGrid();
  CycleScene(state, 0, 944, [](int32_t t) {
    DrawDotCubeClose(t);
    ConvertCanvas();
  });
}
BENCHMARK(BM_DotCubeCloseScene);

void BM_DotCubeWithSwarmScene(benchmark::State& state) {
  SeedRandom(1);
  BuildDotPalette();
  MakeDotGrid();
  InitSwarm();
  MoveSwarm();
  CycleScene(state, 117486, 122396, [](int32_t t) {
    DrawDotCube(t);
    for (int i = 0; i < 4; ++i) MoveSwarm();
    DrawSwarm();
    ConvertCanvas();
  });
}
BENCHMARK(BM_DotCubeWithSwarmScene);

}  // namespace
