// The show in a web page. Without a seed in the address it is the live show: the start-up as
// everywhere, then a click or a key starts the music, and the frames follow the music's
// clock, one per displayed frame. With ?seed=N&times=T0:T1:STEP (or T,T,...) it runs those
// times on a scripted clock without music, as the offline renderer does, and leaves the last
// frame on the canvas. With reduce-flashes=1 (or the start overlay's box ticked) the frame loop
// holds back frames that would flash more than three times a second.
#include <emscripten.h>
#include <emscripten/html5.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "demo/demo_main.h"
#include "demo/frame.h"
#include "demo/music_stream.h"
#include "demo/number_text.h"
#include "quorvel4/console.h"
#include "quorvel4/debug.h"

namespace {

// The page's side: its state (loading, ready, running, ended, done, failed), a notice line,
// and a status record that tests and the curious can read.
EM_JS(void, qvl_page_state, (const char* state), { Module.qvlSetState(UTF8ToString(state)); });
EM_JS(void, qvl_page_notice, (const char* text), { Module.qvlNotice(UTF8ToString(text)); });
EM_JS(void, qvl_page_status, (int32_t time, int32_t scene, int frames, double scriptMs, double maxScriptMs, int held), {
  Module.qvlStatus = {time: time, scene: scene, frames: frames, scriptMs: scriptMs, maxScriptMs: maxScriptMs,
                      held: held < 0 ? null : held};
});
EM_JS(void, qvl_page_debug, (const char* text), { console.debug(UTF8ToString(text)); });

// Passes the clock's times through and remembers the last one, for the status record.
class ObservedClock : public MusicClock {
 public:
  explicit ObservedClock(MusicClock& clock) : clock_(clock) {}
  int32_t MusicTime() override { return current = clock_.MusicTime(); }
  bool Exhausted() const override { return clock_.Exhausted(); }
  int32_t current = 0;

 private:
  MusicClock& clock_;
};

// How long the frames take to compute, in milliseconds of script time.
struct FrameTimes {
  int frames = 0;
  double totalMs = 0.0;
  double maxMs = 0.0;
  void Add(double ms) {
    ++frames;
    totalMs += ms;
    maxMs = ms > maxMs ? ms : maxMs;
  }
};

// Everything of the live show: it outlives main, which returns to the browser.
struct LiveShow {
  Show show;
  MusicBlock block;
  MusicStream stream;
  ObservedClock clock{stream};
  FrameTimes times;
  bool started = false;
};

LiveShow* live = nullptr;

void Publish(const ObservedClock& clock, const Show& show, const FrameTimes& times) {
  // Frames held back in the gentle mode (-1: the mode is off).
  const int held = show.flashGuard ? show.flashGuard->HeldFrames() : -1;
  qvl_page_status(clock.current, show.sceneIndex, times.frames, times.totalMs, times.maxMs, held);
}

void EndLiveShow() {
  live->stream.Close();
  live->show.images.Release();
  qvl_page_state("ended");
}

// One frame per animation frame of the browser; returning false ends the loop.
EM_BOOL LiveFrame(double, void*) {
  const double start = emscripten_get_now();
  if (!StepFrame(live->clock, live->show)) {
    EndLiveShow();
    return EM_FALSE;
  }
  live->times.Add(emscripten_get_now() - start);
  Publish(live->clock, live->show, live->times);
  return EM_TRUE;
}

void NoticeUnreadablePictures(const Show& show) {
  for (const std::string& path : show.unreadablePictures)
    qvl_page_notice(("The picture file " + path + " could not be read; the show draws it black.").c_str());
}

struct Still {
  uint32_t seed = 0;
  std::vector<int32_t> times;
  bool reduceFlashes = false;
};

// Reads --seed N --times T [--reduce-flashes] (the page passes the address's options so).
std::optional<Still> ParseStill(int argc, char** argv, std::string& error) {
  std::optional<std::string> seed, times;
  bool reduceFlashes = false;
  for (int i = 1; i < argc; ++i) {
    const std::string name = argv[i];
    if (name == "--reduce-flashes") reduceFlashes = true;
    if (i + 1 >= argc) continue;
    if (name == "--seed") seed = argv[++i];
    if (name == "--times") times = argv[++i];
  }
  if (!seed && !times) return std::nullopt;
  Still still;
  still.reduceFlashes = reduceFlashes;
  const auto number = seed ? ParseWholeNumber(*seed) : std::nullopt;
  if (!number || *number < 0 || *number > UINT32_MAX) {
    error = "seed needs a number from 0 to 4294967295";
    return std::nullopt;
  }
  still.seed = static_cast<uint32_t>(*number);
  if (!times) {
    error = "a seed needs times=T0:T1:STEP or times=T,T,...";
    return std::nullopt;
  }
  still.times = ParseTimeList(*times, "times", error);
  if (!error.empty()) return std::nullopt;
  return still;
}

// The scripted clock's frames, all at once: nothing waits for sound.
int RunStill(const Still& still) {
  InitConsoleWithSeed(still.seed);
  static Show show;
  if (still.reduceFlashes) show.flashGuard = std::make_unique<FlashGuard>();
  PrepareShow(show, kDataDirectory);
  NoticeUnreadablePictures(show);
  SetScrollSpeeds(show);

  ScriptedClock script(still.times);
  ObservedClock clock(script);
  FrameTimes times;
  double start = emscripten_get_now();
  RunFrameLoop(clock, show, [&] {
    const double now = emscripten_get_now();
    times.Add(now - start);
    start = now;
  });
  Publish(clock, show, times);
  qvl_page_state("done");
  return 0;
}

// The live show's start-up, up to the music being ready to play.
int PrepareLiveShow() {
  live = new LiveShow;
  InitConsole();
  PrepareShow(live->show, kDataDirectory);
  if (!OpenMusic(live->stream, live->block, kDataDirectory)) {
    qvl_page_state("failed");
    return 1;
  }
  qvl_page_state("ready");
  return 0;
}

}  // namespace

// The page calls this from the first click or key press: browsers let sound start only then.
// `reduceFlashes`: the start overlay's box for the gentle mode is ticked.
extern "C" EMSCRIPTEN_KEEPALIVE void qvl_start(int reduceFlashes) {
  if (live == nullptr || live->started) return;
  live->started = true;
  if (reduceFlashes) live->show.flashGuard = std::make_unique<FlashGuard>();
  if (!PlayMusic(live->stream, kDataDirectory)) {
    qvl_page_state("failed");
    return;
  }
  NoticeUnreadablePictures(live->show);
  SetScrollSpeeds(live->show);
  live->show.sceneIndex = 0;
  live->show.ended = false;
  qvl_page_state("running");
  emscripten_request_animation_frame_loop(LiveFrame, nullptr);
}

int main(int argc, char** argv) {
  SetDebugSink([](const char* text) { qvl_page_debug(text); });
  std::string error;
  if (!ChooseConsoleBackend("web", error)) {
    qvl_page_notice(error.c_str());
    qvl_page_state("failed");
    return 1;
  }
  const std::optional<Still> still = ParseStill(argc, argv, error);
  if (!error.empty()) {
    qvl_page_notice(("The address is not understood: " + error + ".").c_str());
    qvl_page_state("failed");
    return 1;
  }
  return still ? RunStill(*still) : PrepareLiveShow();
}
