// The export formats, one row each: what the command line needs to know about a format and
// the function that opens its writer. The usage text and the argument checks are made from
// these rows, so a new format is one row here and a writer of its own.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "frame_writer.h"

struct Options;

// A row names its fields (designated initialisers) and leaves out those that keep the default.
struct ExportFormat {
  const char* name;   // the value of --format
  const char* about;  // its line in the usage text
  int defaultFps;     // frames a second of --times T0:T1 when --fps is not given
  // Takes --times T0:T1 only: a video, whose frames are 1/fps s apart and whose last one
  // stays up for that long.
  bool rangeOnly = false;
  int defaultScale = 0;  // the enlargement without --scale; 0 when the format takes no --scale
  // A rule of the format's own on the parsed options: what is wrong, or empty. May be null.
  std::string (*check)(const Options& options) = nullptr;
  // The writer of the frames; its `error` says why it cannot start.
  std::unique_ptr<FrameWriter> (*open)(const Options& options);
  // Runs without --out (the writer then leaves out what it would have written there).
  bool outOptional = false;
};

// The formats, in the order the usage text lists them.
const std::vector<ExportFormat>& ExportFormats();

// The format called `name`, or null.
const ExportFormat* FindExportFormat(std::string_view name);
