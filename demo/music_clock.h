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

// The clock of a show without music: milliseconds of real time since Start.
class RealTimeClock : public MusicClock {
 public:
  void Start();
  int32_t MusicTime() override;

 private:
  int64_t startNanoseconds_ = 0;
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
