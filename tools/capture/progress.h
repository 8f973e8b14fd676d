// The progress of a capture: a bar on standard error while that is a terminal (frames
// done, share, time left), and one line at the end, also on standard error: standard output
// may be the export itself (--out /dev/stdout).
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

class Progress {
 public:
  // `frames` is the number planned; `bar` chooses whether to draw the bar.
  Progress(size_t frames, bool bar);
  void FrameDone();
  // The frames are all rendered; the output is being completed.
  void Finishing();
  // Clears the bar. The summary line says how much show time took how long.
  void Done(const std::string& what, double showSeconds);
  // Clears the bar before an error message.
  void Clear();

  size_t FramesDone() const { return done_; }

 private:
  void Draw(const std::string& line);

  using Clock = std::chrono::steady_clock;
  size_t frames_;
  size_t done_ = 0;
  bool bar_;
  bool drawn_ = false;
  Clock::time_point start_ = Clock::now();
  Clock::time_point lastDraw_{};
};

// Whether standard error is a terminal that can show the bar.
bool ProgressBarWanted();
