// The flash analyser as a capture format: reads the frames by every reading of the flash rule
// (demo/flash_rule.h), prints one line per failing second and reading and a summary per
// reading, and draws a plot of flashes per second with the failing seconds of each reading and
// the scene bounds marked (when given a path for it).
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "demo/flash_guard.h"
#include "frame_writer.h"

class FlashReportWriter : public FrameWriter {
 public:
  // `plotPath` empty: no plot. `report` receives the printed lines. `sceneStarts`: the times
  // (ms) the plot marks, where the show's scenes begin.
  FlashReportWriter(std::string plotPath, FILE* report, std::vector<int32_t> sceneStarts = {});
  bool Write(int32_t time, const Cell* cells) override;
  bool Finish() override;

  // Per whole second of show time and reading: the worst of its frames (a failing one first,
  // then the most transitions in the second up to the frame).
  using SecondReadings = std::array<FlashCount, kFlashReadings>;
  const std::map<int32_t, SecondReadings>& Seconds() const { return seconds_; }

 private:
  void PrintReport() const;
  std::string plotPath_;
  FILE* report_;
  std::vector<int32_t> sceneStarts_;
  FlashWatch watch_;
  std::map<int32_t, SecondReadings> seconds_;
  int32_t firstTime_ = 0, lastTime_ = 0;
  size_t frames_ = 0;
};

// The most seconds of show time a plot spans (six pixels each): a picture wider than this is
// more than a viewer can use, and its size would grow with any span the times ask for.
inline constexpr int64_t kMostPlottedSeconds = 10000;

// The plot as 8-bit RGB: flashes per second as bars (the most of any reading), the limit of
// three as a line, a row of marks per reading over its failing seconds, the scene bounds
// (`bounds`, in ms) as thin lines. Sets the size. `seconds` spans at most kMostPlottedSeconds.
std::vector<uint8_t> DrawFlashPlot(const std::map<int32_t, FlashReportWriter::SecondReadings>& seconds, const std::vector<int32_t>& bounds,
                                   int* width, int* height);
