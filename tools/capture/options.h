// The capture tool's command line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "export_formats.h"
#include "quorvel4/options.h"

struct Options {
  uint32_t seed = 0;
  std::string dataDir;
  std::string showDir;  // a show's folder; empty: the built-in show
  std::string music;    // the show's music file, once the show is open; empty: none
  std::vector<int32_t> sceneStarts;  // where the show's scenes begin (ms), once the show is open
  std::vector<int32_t> times;  // the frame times, in the order they are run
  const ExportFormat* format = nullptr;
  std::string out;
  int fps = 0;    // frames per second of the video formats and of --times T0:T1
  int scale = 1;  // whole-number enlargement of the pictures of the formats that take --scale
  bool reduceFlashes = false;  // the show's gentle mode
};

// Reads the arguments into `options`. Nothing when the capture is to run; otherwise the exit
// status, after the help (0) or the problem and the usage (2) has been printed.
std::optional<int> ReadOptions(int argc, char** argv, Options& options);

// What ReadOptions decides, printing nothing: kRun with `options` settled, the help or the
// version asked for, or kBad with the problem.
OptionTable::Reading JudgeOptions(int argc, const char* const* argv, Options& options);
