// The offline renderer: the show's start-up and frames on a scripted clock and the headless
// console, the presented frames written to a file or a directory.
//
//   quorvel4-capture --seed N [--data DIR] --times TIMES --format FORMAT --out PATH [--fps F] [--scale S]
//           [--reduce-flashes]
//
// The formats and their writers live in tools/capture/ (export_formats.cpp has their table);
// `quorvel4-capture --help` lists them and the forms of TIMES. Everything but the export goes to
// standard error: standard output may be the export itself.
#include <cstdio>
#include <memory>
#include <string>

#include "demo/show_script.h"
#include "demo/show_session.h"
#include "options.h"
#include "output_file.h"
#include "progress.h"
#include "quorvel4/console.h"

namespace {

// The show time the frames cover: up to the last frame, plus one frame's time for the
// video formats, whose last picture stays up that long.
double ShowSeconds(const Options& options, int32_t lastTime, size_t frames) {
  if (options.format->rangeOnly) return static_cast<double>(frames) / options.fps;
  return (static_cast<double>(lastTime) - options.times.front()) / 1000.0;
}

int Fail(const std::string& why) {
  std::fprintf(stderr, "quorvel4-capture: %s\n", why.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (const std::optional<int> status = ReadOptions(argc, argv, options)) return *status;

  auto backend = std::make_unique<HeadlessBackend>();
  const HeadlessBackend* screen = backend.get();
  UseConsoleBackend(std::move(backend));
  ShowSession session({.seed = options.seed,
                       .times = options.times,
                       .reduceFlashes = options.reduceFlashes,
                       .dataDir = options.dataDir,
                       .showDir = options.showDir,
                       .picturesRequired = true});
  std::string error;
  if (!session.Open(error)) return Fail(error);
  options.dataDir = session.DataDirectory();
  options.music = session.MusicFile();  // the video's sound
  for (const ShowSceneRow& row : session.State().script->Rows()) options.sceneStarts.push_back(row.lower);

  InstallInterruptCleanup();
  std::unique_ptr<FrameWriter> writer = options.format->open(options);
  if (!writer->error.empty()) return Fail(writer->error);

  Progress progress(options.times.size(), ProgressBarWanted());
  while (session.Step()) {
    if (!writer->Write(session.Report().lastTime, screen->LastFrame().data())) {
      session.Stop();
      break;
    }
    progress.FrameDone();
  }
  session.Finish();

  progress.Finishing();
  if (session.Report().end == ShowEnd::kFailed) {
    // Nothing is written: the export stops where the show's script failed.
    progress.Clear();
    writer.reset();
    return Fail(session.State().failure);
  }
  if (session.Report().end == ShowEnd::kStopped || !writer->Finish()) {
    progress.Clear();
    return Fail(writer->error);
  }
  if (const int held = session.Report().heldFrames; held >= 0)
    std::fprintf(stderr, "quorvel4-capture: %d of %zu frames held back by --reduce-flashes\n", held, progress.FramesDone());
  progress.Done(options.out.empty() ? "the report" : options.out,
                ShowSeconds(options, session.Report().lastTime, progress.FramesDone()));
  return 0;
}
