// Output files on Windows: written under a temporary name beside the final one and moved into
// place once complete; Ctrl-C and Ctrl-Break end the encoder and remove the temporary file.
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <mutex>

#include "output_file.h"

namespace {

std::mutex gLock;  // the control handler runs on a thread of its own
std::string gTempPath;
std::atomic<pid_t> gChild{0};

void ArmTemp(const std::string& path) {
  std::lock_guard<std::mutex> lock(gLock);
  gTempPath = path;
}

BOOL WINAPI OnInterrupt(DWORD) {
  if (const pid_t child = gChild.exchange(0); child > 0) {
    if (HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, static_cast<DWORD>(child))) {
      TerminateProcess(process, 1);
      WaitForSingleObject(process, 5000);
      CloseHandle(process);
    }
  }
  std::lock_guard<std::mutex> lock(gLock);
  if (!gTempPath.empty()) DeleteFileA(gTempPath.c_str());
  return FALSE;  // the default handler ends the process
}

}  // namespace

OutputFile::OutputFile(std::string finalPath) : finalPath_(std::move(finalPath)) {
  std::error_code code;
  const std::filesystem::file_status status = std::filesystem::status(finalPath_, code);
  if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
    // A device (NUL, CON): written in place, never replaced.
    fd_ = _open(finalPath_.c_str(), _O_WRONLY | _O_BINARY);
    if (fd_ < 0) error = "cannot write " + finalPath_ + ": " + std::strerror(errno);
    tempPath_ = finalPath_;
    inPlace_ = true;
    return;
  }
  const std::filesystem::path target(finalPath_);
  const std::filesystem::path directory = target.has_parent_path() ? target.parent_path() : ".";
  for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
    std::string hidden = ".";
    hidden += target.filename().string();
    hidden += '.';  // (appended piece by piece: GCC 12 warns wrongly on "." + text)
    hidden += std::to_string(GetCurrentProcessId());
    hidden += '-';
    hidden += std::to_string(attempt);
    tempPath_ = (directory / hidden).string();
    fd_ = _open(tempPath_.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd_ < 0 && errno != EEXIST) break;
  }
  if (fd_ < 0) {
    error = "cannot write " + finalPath_ + ": " + std::strerror(errno);
    tempPath_.clear();
    return;
  }
  ArmTemp(tempPath_);
}

OutputFile::~OutputFile() {
  if (!committed_) Discard();
}

int OutputFile::TakeDescriptor() {
  const int fd = fd_;
  fd_ = -1;
  return fd;
}

bool OutputFile::Commit() {
  if (fd_ >= 0) _close(fd_);
  fd_ = -1;
  committed_ = true;
  if (inPlace_) return true;
  if (!MoveFileExA(tempPath_.c_str(), finalPath_.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    error = "cannot rename " + tempPath_ + " to " + finalPath_ + " (Windows error " + std::to_string(GetLastError()) + ")";
    committed_ = false;
    Discard();
    return false;
  }
  ArmTemp({});
  return true;
}

void OutputFile::Discard() {
  if (fd_ >= 0) _close(fd_);
  fd_ = -1;
  if (inPlace_) return;
  if (!tempPath_.empty()) DeleteFileA(tempPath_.c_str());
  ArmTemp({});
}

void InstallInterruptCleanup() { SetConsoleCtrlHandler(OnInterrupt, TRUE); }

void SetInterruptChild(pid_t child) { gChild = child; }
