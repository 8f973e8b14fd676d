// The show in a web page. Without a seed in the address it is the live show: the start-up as
// everywhere, then a click or a key starts the music, and the frames follow the music's
// clock, one per displayed frame. With ?seed=N&times=T0:T1:STEP (or T,T,...) it runs those
// times on a scripted clock without music, as the offline renderer does, and leaves the last
// frame on the canvas. With reduce-flashes=1 (or the start overlay's box ticked) the frame loop
// holds back frames that would flash more than three times a second. With ?show=PATH/ the page
// plays that show folder instead of the built-in show: before main it fetches the folder's
// show.js, asks qvl_show_files what the script names, fetches those, and asks again until
// nothing new is named; main is then given --show DIR.
#include <emscripten.h>
#include <emscripten/html5.h>

#include <cstdint>
#include <string>

#include "demo/number_text.h"
#include "demo/show_options.h"
#include "demo/show_script.h"
#include "demo/show_session.h"
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

// How long the frames take to compute, in milliseconds of script time.
struct FrameTimes {
  double totalMs = 0.0;
  double maxMs = 0.0;
  void Add(double ms) {
    totalMs += ms;
    maxMs = ms > maxMs ? ms : maxMs;
  }
};

// The showing outlives main, which returns to the browser.
ShowSession* session = nullptr;
FrameTimes frameTimes;

void Publish() {
  const ShowReport& report = session->Report();
  // Frames held back in the gentle mode (-1: the mode is off).
  qvl_page_status(report.lastTime, session->State().sceneIndex, report.frames, frameTimes.totalMs, frameTimes.maxMs,
                  report.heldFrames);
}

void Failed(const std::string& why) {
  qvl_page_notice(why.c_str());
  qvl_page_state("failed");
}

// Named on the page while the show runs: the console cannot hold a message.
void NoticeUnreadablePictures() {
  for (const std::string& path : session->Report().unreadablePictures)
    qvl_page_notice(UnreadablePictureLine(path, true).c_str());
}

// One frame per animation frame of the browser; returning false ends the loop.
EM_BOOL LiveFrame(double, void*) {
  const double start = emscripten_get_now();
  if (!session->Step()) {
    session->Finish();
    qvl_page_state("ended");
    return EM_FALSE;
  }
  frameTimes.Add(emscripten_get_now() - start);
  Publish();
  return EM_TRUE;
}

// The scripted clock's frames, all at once: nothing waits for sound.
int RunStill() {
  double start = emscripten_get_now();
  session->Run([&] {
    const double now = emscripten_get_now();
    frameTimes.Add(now - start);
    start = now;
  });
  Publish();
  qvl_page_state("done");
  return 0;
}

}  // namespace

// The page calls this from the first click or key press: browsers let sound start only then.
// `reduceFlashes`: the start overlay's box for the gentle mode is ticked.
extern "C" EMSCRIPTEN_KEEPALIVE void qvl_start(int reduceFlashes) {
  static bool started = false;
  if (session == nullptr || started) return;
  started = true;
  session->SetGentleMode(reduceFlashes != 0);
  std::string error;
  if (!session->Start(error)) {
    Failed(error);
    return;
  }
  NoticeUnreadablePictures();
  qvl_page_state("running");
  emscripten_request_animation_frame_loop(LiveFrame, nullptr);
}

// The files the show in `dir` names so far, one a line. The page calls this before main, once a
// round, fetching what is new each time: a Text() read only names the file its answer names
// once the first is there.
extern "C" EMSCRIPTEN_KEEPALIVE const char* qvl_show_files(const char* dir) {
  static std::string lines;
  lines.clear();
  for (const std::string& file : DiscoverShowFiles(dir)) lines += file + "\n";
  return lines.c_str();
}

// The page passes the address's options as [--show DIR] --seed N --times T [--reduce-flashes].
int main(int argc, char** argv) {
  SetDebugSink([](const char* text) { qvl_page_debug(text); });
  ShowSettings settings;
  std::string times;
  const OptionTable options = PageOptions(settings, times);
  const OptionTable::Reading reading = options.Read(argc, argv);
  std::string error = reading.error;
  if (error.empty() && settings.seed && times.empty()) error = "a seed needs times=T0:T1:STEP or times=T,T,...";
  if (error.empty() && !settings.seed && !times.empty()) error = "times need a seed=N, " + NumberRange(kLowestSeed, kHighestSeed);
  if (error.empty() && !times.empty()) settings.times = ParseTimeList(times, "times", error);
  if (!error.empty()) {
    Failed("The address is not understood: " + error + ".");
    return 1;
  }
  if (!ChooseConsoleBackend("web", error)) {
    Failed(error);
    return 1;
  }
  const bool still = settings.times.has_value();
  session = new ShowSession(settings);
  if (!session->Prepare(error) || (still && !session->Start(error))) {
    Failed(error);
    return 1;
  }
  if (!still) {
    qvl_page_state("ready");
    return 0;
  }
  NoticeUnreadablePictures();
  return RunStill();
}
