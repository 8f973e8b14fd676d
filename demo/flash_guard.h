// The gentle way to watch: the frame loop presents only frames that keep every area of the
// screen within the flash rule under every reading of demo/flash_rule.h. A frame that would
// make a reading fail, now or (by the sustained rule) later without another transition, is not
// presented; the last presented frame stays up instead, and the show's clock runs on, so the
// next frame presented is again the show's own frame of its time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

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
  std::vector<Cell> presented_;  // empty before the first frame
  FrameLight presentedLight_;
  int held_ = 0;
};

// Reads frames one after another by the flash rule: for an author in edit mode, the frames as
// the show draws them; for the analyser, the frames of an export. Latest() says whether the
// latest frame fails, under which reading and where.
class FlashWatch {
 public:
  void Take(int32_t time, const Cell* cells);
  const FlashVerdict& Latest() const { return latest_; }

 private:
  FlashCounter counter_;
  std::vector<Cell> before_;
  FlashVerdict latest_;
};

// A short line for a status line, empty when the verdict passes: "too many flashes: 4.5/s,
// luminance, screen", or "... 2.5/s for 4 s, ..." when only the sustained rule fails.
std::string FlashWarning(const FlashVerdict& verdict);
