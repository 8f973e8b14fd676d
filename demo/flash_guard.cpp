#include "demo/flash_guard.h"

#include <algorithm>

bool FlashGuard::Filter(int32_t time, Cell* cells) {
  const FrameLight light = MeasureLight(cells);
  if (counter_.WouldCount(time, light).transitions >= kTooManyTransitions) {
    std::copy(presented_, presented_ + kScreenCells, cells);
    ++held_;
    return true;
  }
  // The held frame's light is the light already taken: only presented frames move the count.
  counter_.Take(time, light);
  std::copy(cells, cells + kScreenCells, presented_);
  return false;
}
