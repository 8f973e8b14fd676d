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
  const bool converted = RunScene(t, show);
  if (!show.failure.empty()) {
    // The frame of a failed scene is half drawn: it is not shown.
    ClearBuffers();
    return;
  }
  if (!converted) ConvertCanvas(show);
  // The watch reads the show's own frames, before the gentle mode holds any back.
  if (show.flashWatch) show.flashWatch->Take(t, CellScreen);
  if (show.flashGuard) show.flashGuard->Filter(t, CellScreen);
  PresentScreen();
  ClearBuffers();
}

void ReplayFrame(int32_t t, Show& show) {
  const bool converted = RunScene(t, show);
  // The conversion changes only the cells, cleared unseen below; the gentle mode alone reads
  // them, and must see every frame to hold back the same ones afterwards.
  if (show.failure.empty() && show.flashGuard) {
    if (!converted) ConvertCanvas(show);
    show.flashGuard->Filter(t, CellScreen);
  }
  ClearBuffers();
}

int64_t GridFrameTime(int32_t first, int64_t k, int fps) {
  return first + (k * 2000 + fps) / (2 * static_cast<int64_t>(fps));
}

ShowEnd StopReason(const MusicClock& clock, const Show& show, bool keysEnd) {
  if (!show.failure.empty()) return ShowEnd::kFailed;
  if (keysEnd ? KeyWaiting() : ConsoleMustEnd()) return ShowEnd::kKey;
  if (show.ended) return ShowEnd::kLastScene;
  if (clock.Exhausted()) return ShowEnd::kClockRanOut;
  return ShowEnd::kRunning;
}

void SleepBetweenFrames() { std::this_thread::sleep_for(std::chrono::milliseconds(10)); }
