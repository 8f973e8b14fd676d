#include "demo/frame.h"

#include <chrono>
#include <cstring>
#include <thread>

#include "demo/timeline.h"
#include "quorvel4/console.h"

namespace {

void ClearBuffers() {
  std::memset(CellScreen, 0, sizeof CellScreen);
  std::memset(Canvas, 0, sizeof Canvas);
}

}  // namespace

void RunFrame(int32_t t, Show& show) {
  if (!RunScene(t, show)) ConvertCanvas(show);
  if (show.flashGuard) show.flashGuard->Filter(t, CellScreen);
  PresentScreen();
  ClearBuffers();
}

bool StepFrame(MusicClock& clock, Show& show) {
  // The key stays in the input: the loop only looks.
  if (KeyWaiting() || show.ended || clock.Exhausted()) return false;
  RunFrame(clock.MusicTime(), show);
  return true;
}

void RunFrameLoop(MusicClock& clock, Show& show, const std::function<void()>& pause) {
  while (StepFrame(clock, show)) pause();
}

void SleepBetweenFrames() { std::this_thread::sleep_for(std::chrono::milliseconds(10)); }
