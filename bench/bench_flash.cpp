// The gentle mode's cost per frame: every frame is measured over the whole screen, every
// quarter and every 10-degree field, and read three ways before it is presented. The live show
// pays it in its frame, so its slowest frame must stay well inside a 60 Hz frame (16.7 ms).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <time.h>

#include "demo/flash_guard.h"
#include "demo/show_session.h"
#include "quorvel4/console.h"

namespace {

using Frame = std::vector<Cell>;

// Frame k of 60 a second, as the capture tool times them.
int32_t FrameTime(int64_t k) { return static_cast<int32_t>((k * 2000 + 60) / 120); }

// The worst case: the whole screen between white and black every frame, so every area and
// kind has a transition to weigh on every frame.
std::vector<Frame> Strobe() {
  return {Frame(kScreenCells, MakeCell(0xDB, kColourWhite, 0)), Frame(kScreenCells, MakeCell(0xDB, kColourBlack, 0))};
}

// The built-in show's most flashing stretch (seed 1, 73 to 85 s), as it draws it.
std::vector<Frame> ShowFrames() {
  auto backend = std::make_unique<HeadlessBackend>();
  HeadlessBackend* screen = backend.get();
  UseConsoleBackend(std::move(backend));
  std::vector<int32_t> times;
  for (int64_t k = 73 * 60; k <= 85 * 60; ++k) times.push_back(FrameTime(k));
  ShowSettings settings;
  settings.seed = 1;
  settings.times = times;
  settings.dataDir = std::string(QVL_BENCH_SOURCE_DIR) + "/data";
  ShowSession session(std::move(settings));
  std::string error;
  if (!session.Open(error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    std::abort();
  }
  std::vector<Frame> frames;
  while (session.Step()) frames.push_back(screen->LastFrame());
  session.Finish();
  return frames;
}

// The processor time this thread has used, in microseconds: the slowest frame is read from it,
// so that other programs on the machine do not make a frame look slow.
double ThreadMicroseconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return now.tv_sec * 1e6 + now.tv_nsec / 1e3;
}

// The frames over and over at 60 a second through one guard; the slowest frame as a counter.
void RunGuard(benchmark::State& state, const std::vector<Frame>& frames) {
  FlashGuard guard;
  Frame cells;
  int64_t k = 0;
  double slowest = 0;
  for (auto _ : state) {
    cells = frames[k % frames.size()];
    const double from = ThreadMicroseconds();
    guard.Filter(FrameTime(k++), cells.data());
    slowest = std::max(slowest, ThreadMicroseconds() - from);
    benchmark::DoNotOptimize(cells.data());
  }
  state.counters["held"] = static_cast<double>(guard.HeldFrames()) / static_cast<double>(std::max<int64_t>(1, k));
  state.counters["slowest_us"] = slowest;
}

void BM_FlashGuardStrobe(benchmark::State& state) { RunGuard(state, Strobe()); }
BENCHMARK(BM_FlashGuardStrobe)->Unit(benchmark::kMicrosecond);

void BM_FlashGuardShow(benchmark::State& state) {
  static const std::vector<Frame> frames = ShowFrames();
  RunGuard(state, frames);
}
BENCHMARK(BM_FlashGuardShow)->Unit(benchmark::kMicrosecond);

// The analyser alone (capture --format flashes, the edit mode's status line): measure and read.
void BM_FlashAnalyserStrobe(benchmark::State& state) {
  const std::vector<Frame> frames = Strobe();
  FlashCounter counter;
  int64_t k = 0;
  for (auto _ : state) {
    const Frame& frame = frames[k % 2];
    benchmark::DoNotOptimize(counter.Take(FrameTime(k), MeasureLight(frame.data(), frames[(k + 1) % 2].data())));
    ++k;
  }
}
BENCHMARK(BM_FlashAnalyserStrobe)->Unit(benchmark::kMicrosecond);

}  // namespace
