// Debug lines: never written onto the show's screen.
//
// DebugPrint formats into a 512-byte buffer and hands the text to the debug sink. By
// default the sink appends to the file named by the environment variable QVL_DEBUG_LOG and
// drops the text when it is unset. Tests can install a sink of their own.
#pragma once

#include <functional>

#include "quorvel4/format_check.h"

void DebugPrint(const char* format, ...) QVL_PRINTF_FORMAT(1, 2);

// Replaces the sink (an empty function restores the default); returns the previous one.
using DebugSink = std::function<void(const char* text)>;
DebugSink SetDebugSink(DebugSink sink);
