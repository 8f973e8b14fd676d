#include "frame_pacer.h"

#include <algorithm>

bool FramePacer::MaySend(int64_t nowMs) {
  if (!mOn || mAsked.empty()) return true;
  const int64_t waited = nowMs - mAsked.front();
  if (waited >= kGiveUpMs) {
    // The questions still open are forgotten: answers to them that come after all find none
    // to match, and start the pacing again.
    mOn = false;
    mAsked.clear();
    return true;
  }
  if (Unanswered() >= kMostUnanswered) return false;
  return waited <= kLagMs + std::max<int64_t>(mLeastRoundTripMs, 0);
}

void FramePacer::Asked(int64_t nowMs) {
  if (mOn) mAsked.push_back(nowMs);
}

void FramePacer::Answered(int64_t nowMs) {
  if (mAsked.empty()) return;  // asked before pacing gave up
  const int64_t roundTrip = nowMs - mAsked.front();
  mAsked.pop_front();
  if (mLeastRoundTripMs < 0 || roundTrip < mLeastRoundTripMs) mLeastRoundTripMs = roundTrip;
}
