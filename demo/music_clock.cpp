#include "demo/music_clock.h"

#include "quorvel4/assert.h"

int32_t ScriptedClock::MusicTime() {
  QVL_ASSERT("music_clock", next_ < times_.size());
  return times_[next_++];
}
