// Scenes timed by a sync-point list: the points of a sync file mark where each scene starts,
// and every frame asks which point the clock has passed.
//
//   sync_scenes [--backend NAME] [--frames N] [SYNC_FILE]
//
// The clock here is real time since the start (a music position would serve the same way).
// The default SYNC_FILE is scenes.sync beside the program's sources; after the last point
// the show runs 2 seconds more and ends.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <thread>

#include "quorvel4/backend_options.h"
#include "quorvel4/cell_lines.h"
#include "quorvel4/console.h"
#include "quorvel4/qvl_blockcolor.h"
#include "quorvel4/sync_points.h"
#include "quorvel4/triangle.h"

#ifndef EXAMPLES_DIR
#define EXAMPLES_DIR "."
#endif

namespace {

// Scene 0: a turning triangle on the Canvas.
void Triangles(int32_t elapsed, BlockColorConverter& converter) {
  const double a = elapsed / 600.0, third = 2.0943951;
  auto x = [&](int k) { return static_cast<int32_t>(80 + 60 * std::cos(a + k * third)); };
  auto y = [&](int k) { return static_cast<int32_t>(50 + 45 * std::sin(a + k * third)); };
  FillTriangle(x(0), y(0), x(1), y(1), x(2), y(2), MakePixel(255, 200, 40));
  converter.ConvertCanvas();
}

// Scene 1: lines of dots straight into the cells, fanning out from the centre.
void Lines(int32_t elapsed) {
  for (int k = 0; k < 12; ++k) {
    const double a = elapsed / 900.0 + k * 0.5236;
    DrawLine(40, 25, static_cast<int32_t>(40 + 38 * std::cos(a)), static_cast<int32_t>(25 + 24 * std::sin(a)),
             MakeCell(0, 9 + k % 6, 0));
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::string backend, syncFile;
  long long frames = -1;  // until a key is pressed, or the end
  OptionTable options("sync_scenes", "[--backend NAME] [--frames N] [SYNC_FILE]",
                      "Scenes that start at the points of SYNC_FILE (default " EXAMPLES_DIR "/scenes.sync).");
  AddBackendOptions(options, backend);
  options.Add({"--frames", "N", "stop after N frames", SetNumber(frames, "--frames", 0, 1000000000)});
  options.Add({"", "SYNC_FILE", "", SetOnce(syncFile, "one sync file at a time")});
  if (const std::optional<int> status = options.Parse(argc, argv)) return *status;
  if (syncFile.empty()) syncFile = EXAMPLES_DIR "/scenes.sync";
  if (LoadSyncPoints(syncFile.c_str()) < 1) {
    std::fprintf(stderr, "sync_scenes: no sync points in %s\n", syncFile.c_str());
    return 1;
  }
  if (const std::optional<int> status = OpenChosenBackend(options, backend)) return *status;
  BlockColorConverter converter;
  converter.BuildMap();
  if (!converter.HasMap()) {
    std::fprintf(stderr, "sync_scenes: not enough memory for the colour table\n");
    return 1;
  }

  InitConsole();
  const auto start = std::chrono::steady_clock::now();
  const int32_t end = SyncPointTimes()[SyncPointCount() - 1] + 2000;
  for (long long frame = 0; (frames < 0 || frame < frames) && !KeyWaiting(); ++frame) {
    const auto now = std::chrono::steady_clock::now() - start;
    const auto t = static_cast<int32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
    if (t >= end) break;
    // The scene is the last point at or before t; its own time counts from that point.
    const int32_t scene = TimeToNextSyncPoint(t) == 0 ? FindSyncPoint(t) + 1 : FindSyncPoint(t);
    const int32_t elapsed = t - SyncPointTimes()[scene < 0 ? 0 : scene];
    if (scene <= 0) Triangles(elapsed, converter);
    else if (scene == 1) Lines(elapsed);
    else PrintAt(30, 24, "the end in %d ms\n", end - t);
    PresentScreen();
    std::fill(CellScreen, CellScreen + kScreenCells, Cell{0});
    std::fill(Canvas, Canvas + kCanvasPixels, Pixel{0});
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ShutdownConsole();
  return 0;
}
