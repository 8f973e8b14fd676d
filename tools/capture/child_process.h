// Starting a helper program (the video encoder) with a pipe to its standard input.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

// The full path of `name` on PATH, if it is there and executable.
std::optional<std::string> FindOnPath(const std::string& name);

class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess();  // kills and reaps a child still running
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Starts `program` with `args` in a process group of its own (so a Ctrl+C reaches only
  // this tool, which ends it); with `feedInput` its standard input is a pipe written
  // through InputFd(), otherwise /dev/null. Its standard output and error are kept for
  // Output().
  bool Start(const std::string& program, const std::vector<std::string>& args, bool feedInput, std::string* error);

  pid_t Pid() const { return pid_; }
  int InputFd() const { return input_; }
  void CloseInput();

  // Waits for the end; a message when it did not exit with status 0.
  std::optional<std::string> Wait();
  // What the program wrote to its standard output and error.
  std::string Output() const;

 private:
  pid_t pid_ = -1;
  int input_ = -1;
  int output_ = -1;  // an unlinked temporary file
};
