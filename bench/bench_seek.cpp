// A seek to the end of the built-in show: the state put back, the start-up's draws made again
// and every frame of the 60 fps grid replayed unseen (7,422 of them), then the last one shown.
// A player that seeks wants this well under a second; a live editor's reload does as much again
// after reading the show's files.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <stdlib.h>

#include "demo/show_session.h"
#include "quorvel4/console.h"

namespace {

constexpr int32_t kLastFrameTime = 123700;  // frame 7422: blank, it ends the show

std::unique_ptr<ShowSession> OpenSession(ShowSettings settings) {
  UseConsoleBackend(std::make_unique<HeadlessBackend>());
  settings.seed = 1;
  settings.times = std::vector<int32_t>{};
  settings.picturesRequired = true;
  auto session = std::make_unique<ShowSession>(std::move(settings));
  std::string error;
  if (!session->Open(error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    std::abort();
  }
  return session;
}

ShowSession& OpenedShow(bool gentle) {
  static std::unique_ptr<ShowSession> sessions[2];
  std::unique_ptr<ShowSession>& session = sessions[gentle ? 1 : 0];
  if (!session) {
    ShowSettings settings;
    settings.reduceFlashes = gentle;
    settings.dataDir = std::string(QVL_BENCH_SOURCE_DIR) + "/data";
    session = OpenSession(std::move(settings));
  }
  return *session;
}

void BM_SeekToTheEnd(benchmark::State& state) {
  ShowSession& session = OpenedShow(state.range(0) != 0);
  for (auto _ : state) {
    if (!session.SeekTo(kLastFrameTime)) state.SkipWithError("the seek showed nothing");
  }
  state.counters["frames"] = benchmark::Counter(7423.0 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SeekToTheEnd)->ArgName("gentle")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// A live editor's reload of a show of one's own: its script and every file it names read again,
// then the seek back to where it stood. The show is a copy of the built-in one's folder.
ShowSession& OpenedCopy() {
  static std::unique_ptr<ShowSession> session;
  static std::filesystem::path folder;
  if (session) return *session;
  char name[] = "/tmp/qvl_bench_XXXXXX";
  folder = mkdtemp(name);
  std::filesystem::copy(std::string(QVL_BENCH_SOURCE_DIR) + "/data", folder, std::filesystem::copy_options::recursive);
  std::atexit([] { std::filesystem::remove_all(folder); });
  ShowSettings settings;
  settings.showDir = folder.string();
  session = OpenSession(std::move(settings));
  return *session;
}

void BM_ReloadAt(benchmark::State& state) {
  ShowSession& session = OpenedCopy();
  std::string error;
  for (auto _ : state) {
    if (!session.Reload(static_cast<int32_t>(state.range(0)), false, error)) state.SkipWithError(error.c_str());
  }
}
BENCHMARK(BM_ReloadAt)->ArgName("ms")->Arg(0)->Arg(60000)->Arg(kLastFrameTime)->Unit(benchmark::kMillisecond);

}  // namespace
