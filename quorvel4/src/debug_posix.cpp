// Standard error held back into the debug sink: file descriptor 2 points at a temporary file
// meanwhile, which never blocks the writer as a pipe read too late would.
#include <unistd.h>

#include <cstdio>

#include "quorvel4/debug.h"

StandardErrorToDebugSink::StandardErrorToDebugSink() {
  std::fflush(stderr);
  held_ = std::tmpfile();
  if (held_ == nullptr) return;  // no temporary file: standard error stays as it is
  saved_ = dup(STDERR_FILENO);
  if (saved_ < 0 || dup2(fileno(held_), STDERR_FILENO) < 0) {
    if (saved_ >= 0) close(saved_);
    saved_ = -1;
    std::fclose(held_);
    held_ = nullptr;
  }
}

StandardErrorToDebugSink::~StandardErrorToDebugSink() {
  if (held_ == nullptr) return;
  std::fflush(stderr);
  dup2(saved_, STDERR_FILENO);
  close(saved_);
  std::rewind(held_);
  char line[512];
  while (std::fgets(line, sizeof line, held_) != nullptr) DebugPrint("%s", line);
  std::fclose(held_);
}
