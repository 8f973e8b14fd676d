#include "demo/flash_guard.h"

#include <algorithm>

bool FlashGuard::Filter(int32_t time, Cell* cells) {
  const FrameLight light = MeasureLight(cells);
  const bool hold = counter_.WouldCountAnyDating(time, light).transitions >= kTooManyTransitions;
  if (hold) {
    std::copy(presented_, presented_ + kScreenCells, cells);
    ++held_;
  } else {
    std::copy(cells, cells + kScreenCells, presented_);
    presentedLight_ = light;
  }
  // The light on the screen at this time is what the count follows: a held frame repeats the
  // presented light, which neither completes a transition nor moves an extreme.
  counter_.Take(time, presentedLight_);
  return hold;
}
