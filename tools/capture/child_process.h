// Starting a helper program (the video encoder) with a pipe to its standard input. One
// implementation per platform, chosen by CMake: child_process_posix.cpp, child_process_windows.cpp.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

#include "file_primitives.h"

// The full path of `name` on PATH, if it is there and executable.
std::optional<std::string> FindOnPath(const std::string& name);

// Where the users of this platform get a program like ffmpeg, to finish "get it from ...".
const char* WhereToGetPrograms();

class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess();  // kills and reaps a child still running
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Starts `program` with `args` in a process group of its own (so a Ctrl+C reaches only
  // this tool, which ends it); with `feedInput` its standard input is a pipe written
  // through WriteInput(), otherwise /dev/null. Its standard output and error are kept for
  // Output().
  bool Start(const std::string& program, const std::vector<std::string>& args, bool feedInput, std::string* error);

  pid_t Pid() const { return pid_; }
  // Writes all of `bytes` to the program's standard input; false, with the system's reason
  // in `error`, once the program no longer reads (it ended, or closed its input).
  bool WriteInput(const void* bytes, size_t size, std::string* error) { return WriteAll(input_, bytes, size, error); }
  void CloseInput() {
    std::string ignored;  // (the program reads what it got and says what it made of it)
    if (input_ >= 0) CloseFile(input_, &ignored);
    input_ = -1;
  }

  // Waits for the end; a message when it did not exit with status 0.
  std::optional<std::string> Wait();
  // What the program wrote to its standard output and error.
  std::string Output() const;

 private:
  pid_t pid_ = -1;
  int input_ = -1;
  int output_ = -1;  // an unlinked temporary file
};
