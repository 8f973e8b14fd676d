// The gentle way to watch: the frame loop presents only frames that keep every area of the
// screen at three flashes a second or fewer, by the rule the flash analyser measures with.
// A frame that would complete a seventh transition inside one second is not presented; the
// last presented frame stays up instead, and the show's clock runs on, so the next frame
// presented is again the show's own frame of its time.
//
// Readers of the same frames date a transition differently: at the frame that completes it, at
// the frame where it reaches its far extreme, or in between. A frame is held when any such
// dating would put seven transitions in one second, so no reading that dates a transition
// anywhere in that span finds more than three flashes in a second of what was presented.
#pragma once

#include <cstdint>

#include "demo/flash_rule.h"
#include "quorvel4/types.h"

class FlashGuard {
 public:
  // Decides on the frame drawn for `time` in `cells`: leaves it as it is to be presented, or
  // replaces it with the last presented frame. Returns true when it was held back.
  bool Filter(int32_t time, Cell* cells);
  int HeldFrames() const { return held_; }

 private:
  FlashCounter counter_;
  Cell presented_[kScreenCells] = {};
  FrameLight presentedLight_;
  int held_ = 0;
};
