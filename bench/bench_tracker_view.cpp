// The tracker's redraw of its grid, without the terminal: a project of 100 tracks of 10,000 rows
// with 50,000 keys, drawn a page further down each time, as Page Down does, at the smallest
// terminal it fits and at a large one. ncurses then sends only the cells that changed.
#include <benchmark/benchmark.h>

#include <random>

#include "tracker/ui/tracker_view.h"

namespace {

const TrackerDocument& LargeProject() {
  static const TrackerDocument document = [] {
    SyncProject project;
    std::mt19937 random(7);
    for (int t = 0; t < 100; ++t) {
      SyncTrack track("group" + std::to_string(t / 10) + ":track" + std::to_string(t));
      // 500 keys a track, at random gaps of 19 rows on average: about the 10,000 rows.
      std::vector<TrackKey> keys;
      for (int32_t k = 0, row = 0; k < 500; ++k, row += 1 + static_cast<int32_t>(random() % 37)) {
        keys.push_back({row, static_cast<float>(random() % 2000) / 100.0f,
                        static_cast<TrackInterpolation>(random() % kTrackInterpolationCount)});
      }
      track.SetKeys(std::move(keys));
      project.tracks.push_back(std::move(track));
    }
    project.rows = 10000;
    return TrackerDocument(std::move(project));
  }();
  return document;
}

void BM_TrackerPageDownRedraw(benchmark::State& state) {
  const int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
  const TrackerDocument& document = LargeProject();
  const TrackerLayout layout = TrackerLayout::For(width, height, document.Rows());
  TrackerViewState view;
  view.cursor.track = 40;
  view.status = "row 0  group4:track40  paused  large.rocket  listening on 127.0.0.1:1338";
  view.bottom = "Enter:set Del i:interp Space:play ^Z/^Y:undo/redo k:mark ^S:save ^Q:quit ?:keys";
  CellGrid grid(width, height);
  for (auto _ : state) {
    view.cursor.row = (view.cursor.row + layout.visibleRows) % document.Rows();
    ScrollToCursor(view, layout);
    DrawTracker(document, view, layout, grid);
    benchmark::DoNotOptimize(grid.At(width / 2, height / 2));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TrackerPageDownRedraw)->Args({80, 24})->Args({200, 60})->Unit(benchmark::kMicrosecond);

}  // namespace
