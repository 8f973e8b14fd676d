// Running the capture tool (and the ffmpeg tools that check its files) from the tests.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "demo_test_support.h"

struct ToolRun {
  int status;
  std::string errors;
};

// Runs the capture tool with `arguments` (after `environment`, "NAME=value ..." or empty) and
// returns its exit status and standard error; standard output goes to scratch/stdout.txt.
inline ToolRun Capture(const std::string& arguments, const ScratchDirectory& scratch,
                       const std::string& environment = "") {
  const std::string errors = scratch.File("stderr.txt");
  const std::string command = (environment.empty() ? "" : "env " + environment + " ") + std::string(QVL_TOOLS_DIR) +
                              "/quorvel4-capture " + arguments + " 2>" + errors + " >" + scratch.File("stdout.txt");
  const int status = std::system(command.c_str());
  std::ifstream in(errors);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, std::string(std::istreambuf_iterator<char>(in), {})};
}

inline std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The standard output of a shell command, and its exit status (-1 when it did not exit).
inline std::string CommandOutput(const std::string& command, int* status = nullptr) {
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return output;
  char buffer[65536];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, got);
  const int raw = pclose(pipe);
  if (status) *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return output;
}
