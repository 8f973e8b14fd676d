// The terminal encoding: a full frame and a typical changed frame (a plasma 10 ms later),
// with the bytes each sends, in the three colour modes.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "quorvel4/qvl_blockcolor.h"
#include "quorvel4/terminal_encoder.h"

namespace {

// A smooth plasma-like picture at time `ms`, converted to cells as the show converts.
std::vector<Cell> PlasmaFrame(BlockColorConverter& converter, double ms) {
  std::vector<Pixel> pixels(kCanvasPixels);
  for (int y = 0; y < kCanvasHeight; ++y) {
    for (int x = 0; x < kCanvasWidth; ++x) {
      const double v = std::sin(x * 0.061 + ms * 0.0011) + std::sin(y * 0.083 - ms * 0.0013) +
                       std::sin((x + y) * 0.047 + ms * 0.0007);
      const auto channel = [&](double phase) {
        return static_cast<Pixel>(127.5 + 127.5 * std::sin(v * 1.7 + phase));
      };
      pixels[y * kCanvasWidth + x] = channel(0.0) | channel(2.1) << 8 | channel(4.2) << 16;
    }
  }
  std::vector<Cell> cells(kScreenCells);
  converter.ConvertCanvas(pixels.data(), cells.data());
  return cells;
}

struct Frames {
  std::vector<Cell> now, later;
};

const Frames& PlasmaFrames() {
  static const Frames frames = [] {
    BlockColorConverter converter;
    converter.BuildMap(0);
    return Frames{PlasmaFrame(converter, 30000.0), PlasmaFrame(converter, 30010.0)};
  }();
  return frames;
}

ColorMode ModeOf(const benchmark::State& state) { return static_cast<ColorMode>(state.range(0)); }

const char* NameOf(ColorMode mode) {
  switch (mode) {
    case ColorMode::kTrueColor: return "truecolor";
    case ColorMode::kIndexed256: return "256";
    default: return "16";
  }
}

size_t FullTrueColorBytes() {
  TerminalEncoder encoder(ColorMode::kTrueColor);
  return encoder.EncodeFrame(PlasmaFrames().now.data()).size();
}

void BM_TerminalEncodeFullFrame(benchmark::State& state) {
  TerminalEncoder encoder(ModeOf(state));
  const Frames& frames = PlasmaFrames();
  size_t bytes = 0;
  for (auto _ : state) {
    encoder.Invalidate();
    bytes = encoder.EncodeFrame(frames.now.data()).size();
    benchmark::DoNotOptimize(bytes);
  }
  state.SetLabel(NameOf(ModeOf(state)));
  state.counters["bytes_per_frame"] = static_cast<double>(bytes);
}

// Alternates between the two frames, so every iteration sends one 10 ms change.
void BM_TerminalEncodeChangedFrame(benchmark::State& state) {
  TerminalEncoder encoder(ModeOf(state));
  const Frames& frames = PlasmaFrames();
  encoder.EncodeFrame(frames.now.data());
  size_t total = 0;
  bool toLater = true;
  for (auto _ : state) {
    const size_t bytes = encoder.EncodeFrame((toLater ? frames.later : frames.now).data()).size();
    benchmark::DoNotOptimize(bytes);
    total += bytes;
    toLater = !toLater;
  }
  const double perFrame = static_cast<double>(total) / static_cast<double>(state.iterations());
  state.SetLabel(NameOf(ModeOf(state)));
  state.counters["bytes_per_frame"] = perFrame;
  state.counters["share_of_full_truecolor"] = perFrame / static_cast<double>(FullTrueColorBytes());
}

BENCHMARK(BM_TerminalEncodeFullFrame)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TerminalEncodeChangedFrame)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);

}  // namespace
