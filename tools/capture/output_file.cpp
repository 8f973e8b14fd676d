#include "output_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace {

// What the signal handler cleans up. Written by the main thread only while `gTempArmed` is
// clear, so the handler never sees a half-written path.
char gTempPath[4096];
volatile sig_atomic_t gTempArmed = 0;
volatile pid_t gChild = 0;

void ArmTemp(const std::string& path) {
  gTempArmed = 0;
  if (path.size() >= sizeof gTempPath) return;
  std::memcpy(gTempPath, path.c_str(), path.size() + 1);
  gTempArmed = 1;
}

void OnInterrupt(int signal) {
  const pid_t child = gChild;
  if (child > 0) {
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
  }
  if (gTempArmed) unlink(gTempPath);
  ::signal(signal, SIG_DFL);
  raise(signal);
}

mode_t CreationMode() {
  const mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

}  // namespace

OutputFile::OutputFile(std::string finalPath) : finalPath_(std::move(finalPath)) {
  std::error_code code;
  const std::filesystem::file_status status = std::filesystem::status(finalPath_, code);
  if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
    // A pipe, a terminal or a device (/dev/stdout): written in place, never replaced.
    fd_ = open(finalPath_.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd_ < 0) error = "cannot write " + finalPath_ + ": " + std::strerror(errno);
    tempPath_ = finalPath_;
    inPlace_ = true;
    return;
  }
  // A link (to a file or to nothing yet): the file it names is the one written, the link stays.
  std::filesystem::path named(finalPath_);
  for (int hops = 0; hops < 40 && std::filesystem::is_symlink(std::filesystem::symlink_status(named, code)); ++hops) {
    const std::filesystem::path target = std::filesystem::read_symlink(named, code);
    named = target.is_absolute() ? target : named.parent_path() / target;
  }
  finalPath_ = named.lexically_normal().string();
  const std::filesystem::path target(finalPath_);
  const std::filesystem::path directory = target.has_parent_path() ? target.parent_path() : ".";
  std::string hidden = ".";  // (appending, not "." + name: GCC 12 warns wrongly on that)
  hidden += target.filename().string();
  hidden += ".XXXXXX";
  std::string pattern = (directory / hidden).string();
  fd_ = mkstemp(pattern.data());
  if (fd_ < 0) {
    error = "cannot write " + finalPath_ + ": " + std::strerror(errno);
    return;
  }
  tempPath_ = pattern;
  ArmTemp(tempPath_);
  // mkstemp makes the file private; the finished file gets the usual permissions.
  fchmod(fd_, CreationMode());
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
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  committed_ = true;
  if (inPlace_) return true;
  if (std::rename(tempPath_.c_str(), finalPath_.c_str()) != 0) {
    error = "cannot rename " + tempPath_ + " to " + finalPath_ + ": " + std::strerror(errno);
    committed_ = false;
    Discard();
    return false;
  }
  gTempArmed = 0;
  return true;
}

void OutputFile::Discard() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  if (inPlace_) return;
  if (!tempPath_.empty()) unlink(tempPath_.c_str());
  gTempArmed = 0;
}

void InstallInterruptCleanup() {
  struct sigaction action{};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
  // A failed encoder shows as a failed write and its exit status, not as a silent death.
  ::signal(SIGPIPE, SIG_IGN);
}

void SetInterruptChild(pid_t child) { gChild = child; }
