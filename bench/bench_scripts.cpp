// What the show's script costs: a call into a scene that draws nothing (the dispatch every frame
// pays), a scene that calls a few bindings (checking their arguments), an effect written in the
// script that sets every pixel of the canvas, and a whole start-up to the first frame. The
// frames of the built-in show through its script are in bench_frames.cpp.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "demo/show.h"
#include "demo/show_script.h"
#include "demo/show_session.h"
#include "quorvel4/console.h"
#include "bench_support.h"

namespace {

void RunSceneOf(benchmark::State& state, const std::string& body) {
  auto show = SceneShowOf(body);
  int32_t t = 1;
  for (auto _ : state) {
    benchmark::DoNotOptimize(show->script->RunScene(t, show->sceneIndex, show->ended, show->failure));
    t = t % 999999 + 1;
  }
  if (!show->failure.empty()) state.SkipWithError(show->failure.c_str());
}

void BM_ScriptEmptyScene(benchmark::State& state) { RunSceneOf(state, ""); }
BENCHMARK(BM_ScriptEmptyScene)->Unit(benchmark::kMicrosecond);

// The pattern of the built-in show's text scenes: a few bindings with whole-number arguments,
// text converted to code page 437 (a 182-character text, four times), and the row's bounds read.
void BM_ScriptTextScene(benchmark::State& state) {
  RunSceneOf(state,
             "var s = new Array(183).join('x'); var p = (t - scene.lower) / 16 | 0;"
             "DrawBigText(s, 1, 31, p, 0, 0x11DB); DrawBigText(s, 0, 30, p, 0, 0xFFDB);"
             "DrawBigText(s, 1, 9, p, 0, 0x11DB); DrawBigText(s, 0, 8, p, 0, 0xFFDB); return true;");
}
BENCHMARK(BM_ScriptTextScene)->Unit(benchmark::kMicrosecond);

// The same calls with the texts scrolled off the screen: what the bindings themselves cost.
void BM_ScriptTextSceneNothingDrawn(benchmark::State& state) {
  RunSceneOf(state,
             "var s = new Array(183).join('x'); var p = 100000;"
             "DrawBigText(s, 1, 31, p, 0, 0x11DB); DrawBigText(s, 0, 30, p, 0, 0xFFDB);"
             "DrawBigText(s, 1, 9, p, 0, 0x11DB); DrawBigText(s, 0, 8, p, 0, 0xFFDB); return true;");
}
BENCHMARK(BM_ScriptTextSceneNothingDrawn)->Unit(benchmark::kMicrosecond);

// All 16,000 canvas pixels from the script, as the starter show's own effect sets them (in
// locals, whole numbers), and the same loop as a first try would write it: globals read in the
// loop and fractions that become whole numbers pixel by pixel.
void BM_ScriptFullCanvasEffect(benchmark::State& state) {
  RunSceneOf(state,
             "var pixels = canvas, across = (t / 10) | 0, down = (t / 20) | 0, i = 0;"
             "for (var y = 0; y < 100; ++y) for (var x = 0; x < 160; ++x)"
             "  pixels[i++] = ((x * 2 + across) & 255) | (x ^ y) << 8 | ((y * 3 - down) & 255) << 16;");
}
BENCHMARK(BM_ScriptFullCanvasEffect)->Unit(benchmark::kMillisecond);

void BM_ScriptFullCanvasEffectWithGlobals(benchmark::State& state) {
  RunSceneOf(state,
             "for (var y = 0; y < CANVAS_HEIGHT; ++y) for (var x = 0; x < CANVAS_WIDTH; ++x)"
             "  canvas[x + CANVAS_WIDTH * y] = ((x * 2 + t / 10) & 255) | (x ^ y) << 8 | ((y * 3 - t / 20) & 255) << 16;");
}
BENCHMARK(BM_ScriptFullCanvasEffectWithGlobals)->Unit(benchmark::kMillisecond);

// The built-in show from nothing to its first frame on a scripted clock: the script compiled and
// run, the colour table, the pictures, the effects' tables.
void BM_BuiltInShowStartUp(benchmark::State& state) {
  const std::string data = std::string(QVL_BENCH_SOURCE_DIR) + "/data";
  for (auto _ : state) {
    UseConsoleBackend(std::make_unique<HeadlessBackend>());
    ShowSession session({.seed = 1, .times = std::vector<int32_t>{1000}, .dataDir = data});
    std::string error;
    if (!session.Open(error) || !session.Step()) state.SkipWithError(error.c_str());
    session.Finish();
  }
}
BENCHMARK(BM_BuiltInShowStartUp)->Unit(benchmark::kMillisecond);

}  // namespace
