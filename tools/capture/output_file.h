// Files written under a temporary name beside their final one and renamed into place once
// complete, so a failed or interrupted export never leaves a partial file under that name.
// A path that names a pipe, terminal or device is written in place instead.
#pragma once

#include <sys/types.h>

#include <string>

class OutputFile {
 public:
  // Creates the temporary file in the directory of `finalPath` (the file a link names); on
  // failure `error` says why.
  explicit OutputFile(std::string finalPath);
  ~OutputFile();  // removes the temporary file unless it was committed
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  const std::string& TempPath() const { return tempPath_; }
  const std::string& FinalPath() const { return finalPath_; }
  // The open temporary file, until TakeDescriptor hands it over.
  int TakeDescriptor();

  // Renames the temporary file to the final name.
  bool Commit();

  std::string error;

 private:
  void Discard();

  std::string finalPath_;
  std::string tempPath_;
  int fd_ = -1;
  bool committed_ = false;
  bool inPlace_ = false;
};

// On SIGINT, SIGTERM and SIGHUP: end the registered child process, remove the temporary
// file being written, then die of the signal as if no handler were there.
void InstallInterruptCleanup();
// The encoder process to end on an interrupt (0 for none).
void SetInterruptChild(pid_t child);
