// Frame costs of the first group of effects, each followed by the conversion the frame loop
// does for Canvas effects. The plain plasma shows what the hoisting of the terms saves.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <vector>

#include "bench/bench_support.h"
#include "demo/timeline.h"
#include "effects/big_text.h"
#include "effects/pinwheel.h"
#include "effects/plasma.h"
#include "effects/spiral.h"
#include "effects/starfield.h"
#include "effects/water_ripples.h"
#include "quorvel4/types.h"
#include "tests/plasma_reference.h"

namespace {

// Times advance as in the show, one frame every 16 ms.
template <typename Draw>
void RunFrames(benchmark::State& state, int32_t firstTime, Draw draw) {
  int32_t time = firstTime;
  for (auto _ : state) {
    draw(time);
    benchmark::DoNotOptimize(CellScreen);
    time += 16;
  }
}

void BM_PlasmaPlainFormulas(benchmark::State& state) {
  ReferencePlasma plasma = ReferencePlasma::Colour();
  RunFrames(state, 21100, [&](int32_t t) {
    plasma.Draw(static_cast<float>(t), Canvas);
    ConvertCanvas();
  });
}

void BM_Plasma(benchmark::State& state) {
  RunFrames(state, 21100, [](int32_t t) {
    DrawPlasma(static_cast<float>(t));
    ConvertCanvas();
  });
}

void BM_BluePlasma(benchmark::State& state) {
  RunFrames(state, 8900, [](int32_t t) {
    DrawBluePlasma(static_cast<float>(t / 2));
    ConvertCanvas();
  });
}

void BM_Pinwheel(benchmark::State& state) { RunFrames(state, 11200, DrawPinwheel); }

void BM_Spiral(benchmark::State& state) {
  RunFrames(state, 13500, [](int32_t t) {
    for (Cell& cell : CellScreen) cell = 0;
    DrawSpiral(t);
  });
}

void BM_WaterRipples(benchmark::State& state) {
  // The shower (512 drops a frame) is the dearest stretch.
  PrepareRippleFields();
  RunFrames(state, 4501, [](int32_t t) {
    DrawWaterRipples(4501 + t % 1400);
    ConvertCanvas();
  });
}

void BM_Starfield(benchmark::State& state) {
  RunFrames(state, 102200, [](int32_t t) {
    DrawStarfield(t);
    ConvertCanvas();
  });
}

void BM_ScrollTextsOverPlasma(benchmark::State& state) {
  const std::vector<char> text = [] {
    std::vector<char> line(182, 'A');
    line.push_back('\0');
    return line;
  }();
  RunFrames(state, 84100, [&](int32_t t) {
    DrawPlasma(static_cast<float>(t));
    ConvertCanvas();
    // The credits move a column every 16 ms, the greetings every 13 ms.
    const int32_t s1 = (t - 84006) / 16;
    const int32_t s2 = (t - 84006) / 13;
    DrawBigText(text.data(), 1, 31, s1, 0, 0x11DB);
    DrawBigText(text.data(), 0, 30, s1, 0, 0xFFDB);
    DrawBigText(text.data(), 1, 9, s2, 0, 0x11DB);
    DrawBigText(text.data(), 0, 8, s2, 0, 0xFFDB);
  });
}

}  // namespace

BENCHMARK(BM_PlasmaPlainFormulas)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Plasma)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BluePlasma)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Pinwheel)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Spiral)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WaterRipples)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Starfield)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ScrollTextsOverPlasma)->Unit(benchmark::kMicrosecond);
