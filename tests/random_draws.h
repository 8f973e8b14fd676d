// Counting how many numbers a piece of code drew from the shared generator, by replaying
// the generator's recurrence from the state before to the state after.
#pragma once

#include <cstdint>

#include "quorvel4/random.h"

// The number of draws that lead from `before` to `after`, or -1 if more than `limit`.
inline int64_t DrawsBetween(uint32_t before, uint32_t after, int64_t limit = 1000000) {
  uint32_t state = before;
  for (int64_t n = 0; n <= limit; ++n) {
    if (state == after) return n;
    state = state * 214013u + 2531011u;
  }
  return -1;
}

// Counts the draws that `body` makes.
template <typename Body>
int64_t CountDraws(Body body) {
  const uint32_t before = RandomState();
  body();
  return DrawsBetween(before, RandomState());
}

// The draws that will follow from `state`, one by one, without touching the generator.
class DrawReplay {
 public:
  explicit DrawReplay(uint32_t state) : mState(state) {}
  int Next() {
    mState = mState * 214013u + 2531011u;
    return static_cast<int>((mState >> 16) & 0x7FFF);
  }

 private:
  uint32_t mState;
};
