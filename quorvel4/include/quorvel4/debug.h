// Debug lines: never written onto the show's screen.
//
// DebugPrint formats into a 512-byte buffer and hands the text to the debug sink. By
// default the sink appends to the file named by the environment variable QVL_DEBUG_LOG and
// drops the text when it is unset. Tests can install a sink of their own.
#pragma once

#include <cstdio>
#include <functional>

#include "quorvel4/format_check.h"

void DebugPrint(const char* format, ...) QVL_PRINTF_FORMAT(1, 2);

// Replaces the sink (an empty function restores the default); returns the previous one.
using DebugSink = std::function<void(const char* text)>;
DebugSink SetDebugSink(DebugSink sink);

// While it lives, whatever the process writes to standard error (file descriptor 2, C
// libraries included) is held back, and handed to the debug sink line by line when it ends.
// For calls into libraries that print notes of their own while a device or a display is
// opened (SDL's Wayland probe, ALSA): on the show's terminal they would garble the picture or
// come before the program's own message. Their failures are reported through their error
// text. Only on POSIX systems; on Windows standard error is left as it is.
class StandardErrorToDebugSink {
 public:
  StandardErrorToDebugSink();
  ~StandardErrorToDebugSink();
  StandardErrorToDebugSink(const StandardErrorToDebugSink&) = delete;
  StandardErrorToDebugSink& operator=(const StandardErrorToDebugSink&) = delete;

 private:
  std::FILE* held_ = nullptr;  // what was written meanwhile
  int saved_ = -1;             // the standard error it replaced
};
