// The show's one clock: the music's playback position in milliseconds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class MusicClock {
 public:
  virtual ~MusicClock() = default;

  // The playback position in milliseconds, read once per frame.
  virtual int32_t MusicTime() = 0;

  // True when the clock has no more times to give (only a scripted clock runs out).
  virtual bool Exhausted() const { return false; }
};

// Replays a fixed list of times, one per call: for tests and the offline renderer.
class ScriptedClock : public MusicClock {
 public:
  explicit ScriptedClock(std::vector<int32_t> times) : times_(std::move(times)) {}

  int32_t MusicTime() override;
  bool Exhausted() const override { return next_ >= times_.size(); }

 private:
  std::vector<int32_t> times_;
  size_t next_ = 0;
};
