// The show's one clock: the music's playback position in milliseconds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

class MusicClock {
 public:
  virtual ~MusicClock() = default;

  // The playback position in milliseconds, read once per frame.
  virtual int32_t MusicTime() = 0;

  // True when the clock has no more times to give (only a scripted clock runs out).
  virtual bool Exhausted() const { return false; }
};

// A clock that live editing can stop and move, the music following the picture. Where the
// platform's output cannot do that, CanSeek is false and Pause, Resume and Seek change nothing.
class LiveClock : public MusicClock {
 public:
  virtual bool CanSeek() const = 0;

  // While paused the clock stands still; Resume carries it on from where it stood.
  virtual void Pause() = 0;
  virtual void Resume() = 0;
  virtual bool Paused() const = 0;

  // Moves the clock to `ms` (forwards or backwards), paused or playing: MusicTime then reads
  // `ms` and runs on from there while playing. False, the clock unchanged, when the output
  // cannot get there.
  virtual bool Seek(int32_t ms) = 0;
};

// The clock of a show without music: milliseconds of real time since Start, less the time
// spent paused, from wherever it was last sought to.
class RealTimeClock : public LiveClock {
 public:
  // Nanoseconds of a steady clock; tests give their own.
  using TimeSource = std::function<int64_t()>;
  RealTimeClock();
  explicit RealTimeClock(TimeSource now) : now_(std::move(now)) {}

  void Start();
  int32_t MusicTime() override;

  bool CanSeek() const override { return true; }
  void Pause() override;
  void Resume() override;
  bool Paused() const override { return paused_; }
  bool Seek(int32_t ms) override;

 private:
  int64_t Elapsed() const;  // in nanoseconds of the clock's own time

  TimeSource now_;
  int64_t startNanoseconds_ = 0;  // when the clock last stood at baseNanoseconds_
  int64_t baseNanoseconds_ = 0;
  bool paused_ = false;
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
