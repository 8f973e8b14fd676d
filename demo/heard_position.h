// The music's position as the listener hears it, smoothed. Audio outputs report where they
// are in coarse steps (a chunk mixed, a device's counter moving on); between two reports the
// position moves with the wall clock, but never further than the last step, so a stalled
// output holds the show rather than letting it run ahead of the sound. Once the music has
// ended, the wall clock alone carries the show on.
#pragma once

#include <chrono>
#include <cstdint>

// Milliseconds of a steady clock: the time base of the reports and of the readings.
inline double SteadyMilliseconds() {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// A raw position report: `positionMs` of music heard at the moment `atMs` (on
// SteadyMilliseconds' clock), and whether all of it has been played.
struct MusicSample {
  double positionMs;
  bool ended;
  double atMs;
};

class HeardPosition {
 public:
  // Reports after the end change nothing.
  void Report(const MusicSample& sample);

  // Starts afresh at `positionMs`, heard at `atMs`: after a seek or a pause the music goes on
  // from there, backwards included, and before the end again. Like the first report, it allows
  // no run-on until the output has moved once.
  void Restart(double positionMs, double atMs);

  // The position at `nowMs` in whole milliseconds: 0 before the first report, never less than
  // any position given before.
  int32_t At(double nowMs);

 private:
  // The wall clock follows a report by at most this much, however large its step was.
  static constexpr double kMaxRunOnMs = 100.0;

  bool reported_ = false;
  bool ended_ = false;
  double anchorMs_ = 0.0;  // the position last reported
  double anchorAt_ = 0.0;  // when it was heard
  double stepMs_ = 0.0;    // how far it moved on from the report before
  int32_t last_ = 0;
};
