// The output files' primitives on POSIX systems, and the clean-up on the signals that end the
// process (a give-back step of the library's signal handlers).
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "file_primitives.h"
#include "output_file.h"
#include "quorvel4/display_signals.h"

namespace {

// What the signal handler cleans up. Written by the main thread only while `gTempArmed` is
// clear, so the handler never sees a half-written path.
char gTempPath[4096];
volatile sig_atomic_t gTempArmed = 0;
volatile pid_t gChild = 0;

// Async-signal-safe: the process dies of the signal right after.
void CleanUpOnInterrupt() {
  const pid_t child = gChild;
  if (child > 0) {
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
  }
  if (gTempArmed) unlink(gTempPath);
}

mode_t NewFileMode() {
  const mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

std::string Reason() { return std::strerror(errno); }

}  // namespace

bool IsWrittenInPlace(const std::string& path) {
  struct stat status;
  return stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode);
}

int OpenInPlace(const std::string& path, std::string* error) {
  const int fd = open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
  if (fd < 0) *error = Reason();
  return fd;
}

int DuplicateDescriptor(int fd, std::string* error) {
  const int copy = fcntl(fd, F_DUPFD_CLOEXEC, 3);
  if (copy < 0) *error = Reason();
  return copy;
}

std::string NameForChild(int fd) {
  const int flags = fcntl(fd, F_GETFD);
  if (flags < 0 || fcntl(fd, F_SETFD, flags & ~FD_CLOEXEC) != 0) return {};
  return "pipe:" + std::to_string(fd);
}

int CreateNewFile(const std::string& path, const std::string& replaced, bool* taken, std::string* error) {
  // Private while it is empty; then the permissions of the file it replaces (a private file
  // stays private), or the usual ones of a new file.
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) {
    *taken = errno == EEXIST;
    *error = Reason();
    return -1;
  }
  struct stat status;
  const bool replacing = stat(replaced.c_str(), &status) == 0 && S_ISREG(status.st_mode);
  fchmod(fd, replacing ? status.st_mode & 07777 : NewFileMode());
  return fd;
}

bool WriteAll(int fd, const void* bytes, size_t size, std::string* error) {
  const auto* at = static_cast<const char*>(bytes);
  while (size > 0) {
    const ssize_t wrote = write(fd, at, size);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) {
      *error = wrote < 0 ? Reason() : "nothing written";
      return false;
    }
    at += wrote;
    size -= static_cast<size_t>(wrote);
  }
  return true;
}

bool CloseFile(int fd, std::string* error) {
  if (close(fd) == 0) return true;
  *error = Reason();
  return false;
}

bool MoveIntoPlace(const std::string& from, const std::string& to, std::string* error) {
  if (std::rename(from.c_str(), to.c_str()) == 0) return true;
  *error = Reason();
  return false;
}

void RemoveFile(const std::string& path) { unlink(path.c_str()); }

unsigned ProcessNumber() { return static_cast<unsigned>(getpid()); }

void SetInterruptTemp(const std::string& path) {
  gTempArmed = 0;
  if (path.empty() || path.size() >= sizeof gTempPath) return;
  std::memcpy(gTempPath, path.c_str(), path.size() + 1);
  gTempArmed = 1;
}

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO); }

void InstallInterruptCleanup() {
  display_signals::AddGiveBackStep(CleanUpOnInterrupt);
  // A failed encoder shows as a failed write and its exit status, not as a silent death.
  ::signal(SIGPIPE, SIG_IGN);
}

void SetInterruptChild(long child) { gChild = static_cast<pid_t>(child); }
