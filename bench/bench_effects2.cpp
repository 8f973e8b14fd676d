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

// Time arguments cycle through a scene's window so that every mode and phase is measured.
class SceneClock {
 public:
  SceneClock(int32_t first, int32_t last) : mFirst(first), mLast(last), mTime(first) {}
  int32_t Next() {
    mTime = mTime + 7 > mLast ? mFirst : mTime + 7;
    return mTime;
  }

 private:
  int32_t mFirst, mLast, mTime;
};

void BM_TextLines(benchmark::State& state) {
  SceneClock clock(39858, 61402);
  for (auto _ : state) {
    DrawTextLines(3 * clock.Next());
    benchmark::DoNotOptimize(CellScreen);
  }
}
BENCHMARK(BM_TextLines);

void BM_XorPatternScene(benchmark::State& state) {
  SceneClock clock(49288, 51526);
  for (auto _ : state) {
    DrawXorPattern(8 * clock.Next());
    ConvertCanvas();
    benchmark::DoNotOptimize(CellScreen);
  }
}
BENCHMARK(BM_XorPatternScene);

void BM_AndPatternScene(benchmark::State& state) {
  SceneClock clock(79248, 80557);
  for (auto _ : state) {
    DrawAndPattern(2 * clock.Next());
    ConvertCanvas();
    benchmark::DoNotOptimize(CellScreen);
  }
}
BENCHMARK(BM_AndPatternScene);

void BM_EmblemTickerWithTextLines(benchmark::State& state) {
  SceneClock clock(57538, 61402);
  for (auto _ : state) {
    const int32_t t = clock.Next();
    DrawEmblemTicker(t);
    DrawTextLines(t - 500);
    benchmark::DoNotOptimize(CellScreen);
  }
}
BENCHMARK(BM_EmblemTickerWithTextLines);

void BM_CellNoise(benchmark::State& state) {
  SeedRandom(1);
  SceneClock clock(1, 12593);
  for (auto _ : state) {
    DrawCellNoise(clock.Next());
    benchmark::DoNotOptimize(CellScreen);
  }
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
  SceneClock clock(0, 944);
  for (auto _ : state) {
    DrawDotCubeClose(clock.Next());
    ConvertCanvas();
    benchmark::DoNotOptimize(CellScreen);
  }
}
BENCHMARK(BM_DotCubeCloseScene);

void BM_DotCubeWithSwarmScene(benchmark::State& state) {
  SeedRandom(1);
  BuildDotPalette();
  MakeDotGrid();
  InitSwarm();
  MoveSwarm();
  SceneClock clock(117486, 122396);
  for (auto _ : state) {
    DrawDotCube(clock.Next());
    for (int i = 0; i < 4; ++i) MoveSwarm();
    DrawSwarm();
    ConvertCanvas();
    benchmark::DoNotOptimize(CellScreen);
  }
}
BENCHMARK(BM_DotCubeWithSwarmScene);

}  // namespace
