#include "demo/heard_position.h"

#include <algorithm>

void HeardPosition::Report(const MusicSample& sample) {
  if (ended_) return;
  ended_ = sample.ended;
  if (reported_ && sample.positionMs == anchorMs_) return;  // not moved: the wall clock runs on from the last move
  stepMs_ = reported_ ? std::clamp(sample.positionMs - anchorMs_, 0.0, kMaxRunOnMs) : 0.0;
  reported_ = true;
  anchorMs_ = sample.positionMs;
  anchorAt_ = sample.atMs;
}

int32_t HeardPosition::At(double nowMs) {
  if (!reported_) return last_;
  const double elapsedMs = std::max(0.0, nowMs - anchorAt_);
  const double position = anchorMs_ + (ended_ ? elapsedMs : std::min(elapsedMs, stepMs_));
  const auto time = static_cast<int32_t>(std::clamp(position, 0.0, 2147483647.0));
  last_ = std::max(last_, time);
  return last_;
}

void HeardPosition::Restart(double positionMs, double atMs) {
  *this = HeardPosition{};
  Report({positionMs, false, atMs});
  last_ = At(atMs);
}
