// The offline renderer: runs the show's start-up and frames on a scripted clock and the
// headless console, and writes the presented frames to a file or a directory.
//
//   capture --seed N [--data DIR] --times TIMES --format FORMAT --out PATH [--fps F] [--scale S]
//           [--reduce-flashes]
//
// The formats and their writers live in tools/capture/ (export_formats.cpp has their table);
// `capture --help` lists them and the forms of TIMES.
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "demo/data_directory.h"
#include "demo/demo_main.h"
#include "demo/frame.h"
#include "demo/program_info.h"
#include "options.h"
#include "output_file.h"
#include "progress.h"
#include "quorvel4/console.h"

namespace {

// The headless console, handing each frame of the loop to the writer.
class RecordingBackend : public HeadlessBackend {
 public:
  void Present(const Cell* cells) override {
    HeadlessBackend::Present(cells);
    if (onFrame) onFrame(cells);
  }
  std::function<void(const Cell*)> onFrame;
};

// Remembers the time of the frame being drawn, to name its picture; runs out early once
// the writer has failed.
class RecordingClock : public ScriptedClock {
 public:
  using ScriptedClock::ScriptedClock;
  int32_t MusicTime() override { return current = ScriptedClock::MusicTime(); }
  bool Exhausted() const override { return stopped || ScriptedClock::Exhausted(); }
  int32_t current = 0;
  bool stopped = false;
};

// The show time the frames cover: up to the last frame, plus one frame's time for the
// video formats, whose last picture stays up that long.
double ShowSeconds(const Options& options, int32_t lastTime, size_t frames) {
  if (options.format->rangeOnly) return static_cast<double>(frames) / options.fps;
  return (static_cast<double>(lastTime) - options.times.front()) / 1000.0;
}

}  // namespace

int main(int argc, char** argv) {
  if (AnswerVersionOption(argc, argv, "capture")) return 0;
  Options options = ParseOptions(argc, argv, "");
  if (options.dataDir.empty()) {
    const FoundDataDirectory found = FindDataDirectory(DataDirectoryPlacesHere());
    if (found.directory.empty()) {
      std::fprintf(stderr, "capture: %s\n", NoDataDirectoryMessage(found).c_str());
      return 1;
    }
    options.dataDir = found.directory;
  }
  std::error_code code;
  if (!std::filesystem::is_directory(options.dataDir, code)) {
    std::fprintf(stderr, "capture: no data directory \"%s\"\n", options.dataDir.c_str());
    return 1;
  }
  InstallInterruptCleanup();
  std::unique_ptr<FrameWriter> writer = options.format->open(options);
  if (!writer->error.empty()) {
    std::fprintf(stderr, "capture: %s\n", writer->error.c_str());
    return 1;
  }

  auto backend = std::make_unique<RecordingBackend>();
  RecordingBackend* recorder = backend.get();
  UseConsoleBackend(std::move(backend));
  InitConsoleWithSeed(options.seed);

  Show show;
  if (options.reduceFlashes) show.flashGuard = std::make_unique<FlashGuard>();
  PrepareShow(show, options.dataDir);
  if (!show.unreadablePictures.empty()) {
    ShutdownConsole();
    for (const std::string& path : show.unreadablePictures)
      std::fprintf(stderr, "capture: cannot read the picture file %s\n", path.c_str());
    return 1;
  }
  SetScrollSpeeds(show);

  RecordingClock clock(options.times);
  Progress progress(options.times.size(), ProgressBarWanted());
  recorder->onFrame = [&](const Cell* cells) {
    if (clock.stopped) return;
    clock.stopped = !writer->Write(clock.current, cells);
    if (!clock.stopped) progress.FrameDone();
  };
  RunFrameLoop(clock, show, [] {});
  ShutdownConsole();

  progress.Finishing();
  if (clock.stopped || !writer->Finish()) {
    progress.Clear();
    std::fprintf(stderr, "capture: %s\n", writer->error.c_str());
    return 1;
  }
  if (show.flashGuard)
    std::printf("capture: %d of %zu frames held back by --reduce-flashes\n", show.flashGuard->HeldFrames(),
                progress.FramesDone());
  progress.Done(options.out.empty() ? "the report" : options.out, ShowSeconds(options, clock.current, progress.FramesDone()));
  return 0;
}
