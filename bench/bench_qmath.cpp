// QvlSin and QvlCos beside the C library's sin and cos: per call, over arguments like the
// plasmas' (a column's rows, steps of 1/40) and random ones in [-100, 100].
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "quorvel4/qmath.h"

namespace {

std::vector<double> PlasmaArguments() {
  std::vector<double> arguments;
  for (int column = 0; column < 160; ++column)
    for (int y = 0; y < 100; ++y) arguments.push_back((y + 3150.0 + column * 1.37) / 40.0);
  return arguments;
}

std::vector<double> RandomArguments() {
  std::mt19937_64 random(1);
  std::uniform_real_distribution<double> uniform(-100.0, 100.0);
  std::vector<double> arguments(16000);
  for (double& x : arguments) x = uniform(random);
  return arguments;
}

template <double (*Function)(double)>
void RunOver(benchmark::State& state, const std::vector<double>& arguments) {
  for (auto _ : state) {
    double sum = 0.0;
    for (double x : arguments) sum += Function(x);
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * arguments.size()));
}

double LibrarySin(double x) { return std::sin(x); }
double LibraryCos(double x) { return std::cos(x); }

void BM_LibrarySinPlasma(benchmark::State& state) { RunOver<LibrarySin>(state, PlasmaArguments()); }
void BM_QvlSinPlasma(benchmark::State& state) { RunOver<QvlSin>(state, PlasmaArguments()); }
void BM_LibrarySinRandom(benchmark::State& state) { RunOver<LibrarySin>(state, RandomArguments()); }
void BM_QvlSinRandom(benchmark::State& state) { RunOver<QvlSin>(state, RandomArguments()); }
void BM_LibraryCosRandom(benchmark::State& state) { RunOver<LibraryCos>(state, RandomArguments()); }
void BM_QvlCosRandom(benchmark::State& state) { RunOver<QvlCos>(state, RandomArguments()); }

}  // namespace

BENCHMARK(BM_LibrarySinPlasma);
BENCHMARK(BM_QvlSinPlasma);
BENCHMARK(BM_LibrarySinRandom);
BENCHMARK(BM_QvlSinRandom);
BENCHMARK(BM_LibraryCosRandom);
BENCHMARK(BM_QvlCosRandom);
