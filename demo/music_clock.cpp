#include "demo/music_clock.h"

#include <algorithm>
#include <chrono>

#include "quorvel4/assert.h"

int32_t ScriptedClock::MusicTime() {
  QVL_ASSERT("music_clock", next_ < times_.size());
  return times_[next_++];
}

namespace {

int64_t Now() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

RealTimeClock::RealTimeClock() : now_(Now) {}

void RealTimeClock::Start() {
  startNanoseconds_ = now_();
  baseNanoseconds_ = 0;
  paused_ = false;
}

int64_t RealTimeClock::Elapsed() const { return baseNanoseconds_ + (paused_ ? 0 : now_() - startNanoseconds_); }

int32_t RealTimeClock::MusicTime() {
  const int64_t ms = Elapsed() / 1000000;
  return static_cast<int32_t>(std::clamp<int64_t>(ms, 0, INT32_MAX));
}

void RealTimeClock::Pause() {
  if (paused_) return;
  baseNanoseconds_ = Elapsed();
  paused_ = true;
}

void RealTimeClock::Resume() {
  if (!paused_) return;
  startNanoseconds_ = now_();
  paused_ = false;
}

// The show's times are never negative: a seek before the start lands on it.
bool RealTimeClock::Seek(int32_t ms) {
  baseNanoseconds_ = int64_t{std::max(ms, 0)} * 1000000;
  startNanoseconds_ = now_();
  return true;
}
