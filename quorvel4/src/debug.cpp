#include "quorvel4/debug.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace {

void FileSink(const char* text) {
  const char* path = std::getenv("QVL_DEBUG_LOG");
  if (path == nullptr || *path == '\0') return;
  if (FILE* f = std::fopen(path, "a")) {
    std::fputs(text, f);
    std::fclose(f);
  }
}

DebugSink& Sink() {
  static DebugSink sink = FileSink;
  return sink;
}

}  // namespace

void DebugPrint(const char* format, ...) {
  char buffer[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  Sink()(buffer);
}

DebugSink SetDebugSink(DebugSink sink) {
  DebugSink previous = std::move(Sink());
  Sink() = sink ? std::move(sink) : DebugSink(FileSink);
  return previous;
}
