// What each platform's audio does for the music stream (music_output_posix.cpp on SDL2_mixer,
// music_output_windows.cpp or music_output_web.cpp, chosen by the build): decode, play, and
// say where the playback is. The smoothing of that position into the show's clock is
// portable (demo/heard_position.h).
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "demo/heard_position.h"
#include "demo/music_stream.h"

// MusicStream closes its output before destroying it.
class MusicOutput {
 public:
  virtual ~MusicOutput() = default;

  // As MusicStream's operations of the same names; on failure the reason is in Error().
  virtual bool Init() = 0;
  virtual bool Open(const MusicBlock& block) = 0;
  virtual bool Play() = 0;
  // The latest report, or nothing before the first (or when the output cannot tell).
  virtual std::optional<MusicSample> Sample() = 0;
  // Stops and closes; safe to call more than once.
  virtual void Close() = 0;

  // Whether Pause and Seek work on this platform; where they do not, they answer false.
  virtual bool CanSeek() const { return false; }
  // Holds the music (`paused`) or lets it play on from where it was held.
  virtual bool Pause(bool /*paused*/) { return false; }
  // Moves playback to `ms`, paused or not; positions past the end end the music there. Reports
  // from then on count from `ms`, and none made before the seek is given again.
  virtual bool Seek(double /*ms*/) { return false; }

  virtual bool Silent() const { return silent_; }
  virtual const std::string& Error() const { return error_; }

 protected:
  bool silent_ = false;
  mutable std::string error_;
};

std::unique_ptr<MusicOutput> MakeMusicOutput();
