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

void RealTimeClock::Start() { startNanoseconds_ = Now(); }

int32_t RealTimeClock::MusicTime() {
  const int64_t ms = (Now() - startNanoseconds_) / 1000000;
  return static_cast<int32_t>(std::min<int64_t>(ms, INT32_MAX));
}
