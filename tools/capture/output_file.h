// Files written under a temporary name beside their final one and renamed into place once
// complete, so a failed or interrupted export never leaves a partial file under that name.
// A path that names a pipe, terminal or device, or one of the process's own descriptors
// (/dev/stdout, /dev/fd/N), is written in place instead, never replaced.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

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
  // A pipe, terminal, device or descriptor: written directly, TempPath() is FinalPath().
  bool InPlace() const { return inPlace_; }
  // The name a child program writes this open file by, in place ("pipe:N"); empty when the
  // child must open TempPath() itself.
  std::string NameForChild() const;

  // Appends to the file; false, with `error` naming the file and the reason, on failure.
  bool Write(const void* bytes, size_t size);
  bool Write(std::string_view bytes) { return Write(bytes.data(), bytes.size()); }
  // Closes the file for another program to write it by its temporary name.
  void Release();

  // Closes the file and renames it to the final name.
  bool Commit();

  std::string error;

 private:
  void Discard();
  std::string CannotWrite(const std::string& why) const { return "cannot write " + finalPath_ + ": " + why; }

  std::string finalPath_;
  std::string tempPath_;
  int fd_ = -1;
  bool committed_ = false;
  bool inPlace_ = false;
};

// The name of the temporary file beside `finalPath`: hidden, unique by `tag`, and no longer
// than a file name may be (a long final name is shortened in it).
std::string TemporaryName(const std::string& finalPath, const std::string& tag);

// On a signal that ends the process (SIGINT, SIGTERM, SIGHUP, SIGQUIT and the fatal ones;
// Ctrl+C, Ctrl+Break and closing the console on Windows): end the registered child process and
// remove the temporary file being written, then end as the signal would have. A signal ignored
// at start (nohup) stays ignored.
void InstallInterruptCleanup();
// The encoder process to end on an interrupt (0 for none).
void SetInterruptChild(long child);
