// What the tracker's files cost for a project of a real show's size: a hundred tracks of ten
// thousand rows with fifty thousand keys, loaded as the tracker starts and saved as the user
// saves (and as the recovery copy is written).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

#include "tracker/tracker_document.h"

namespace {

namespace fs = std::filesystem;

SyncProject LargeProject() {
  SyncProject project;
  project.rows = 10000;
  project.rowsPerBeat = 8;
  std::mt19937 random(41);
  std::uniform_real_distribution<float> value(-1000.0f, 1000.0f);
  for (int t = 0; t < 100; ++t) {
    SyncTrack track("group" + std::to_string(t / 10) + ":track" + std::to_string(t));
    std::vector<TrackKey> keys;
    // 500 keys a track, every 20th row.
    for (int32_t row = 0; row < 10000; row += 20)
      keys.push_back({row, value(random), static_cast<TrackInterpolation>(row / 20 % kTrackInterpolationCount)});
    track.SetKeys(std::move(keys));
    project.tracks.push_back(std::move(track));
  }
  for (int32_t row = 0; row < 10000; row += 256) project.bookmarks.push_back(row);
  return project;
}

std::string ProjectPath() {
  return (fs::temp_directory_path() / ("qvl_bench_tracker_" + std::to_string(getpid()) + ".rocket")).string();
}

}  // namespace

static void BM_TrackerSaveProject(benchmark::State& state) {
  const TrackerDocument doc(LargeProject());
  const std::string path = ProjectPath();
  std::string error;
  for (auto _ : state) {
    if (!SaveTrackerProject(doc, path, error)) state.SkipWithError(error.c_str());
  }
  state.counters["bytes"] = static_cast<double>(fs::file_size(path));
  fs::remove(path);
}
BENCHMARK(BM_TrackerSaveProject)->Unit(benchmark::kMillisecond);

static void BM_TrackerLoadProject(benchmark::State& state) {
  const std::string path = ProjectPath();
  std::string error;
  if (!SaveTrackerProject(TrackerDocument(LargeProject()), path, error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  for (auto _ : state) {
    TrackerDocument doc;
    if (!LoadTrackerProject(path, doc, error)) state.SkipWithError(error.c_str());
    benchmark::DoNotOptimize(doc.TrackCount());
  }
  fs::remove(path);
}
BENCHMARK(BM_TrackerLoadProject)->Unit(benchmark::kMillisecond);
