#include "terminal_tty.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tty {
namespace {

// The leave bytes with the 16 palette entries to give back fit with room to spare.
constexpr size_t kMaxBytes = 1024;

struct Bytes {
  char data[kMaxBytes];
  size_t length = 0;
};

// Everything a signal handler needs, prepared ahead so the handler only copies and calls
// async-signal-safe functions.
struct SavedState {
  int fd = -1;
  termios original{};
  termios raw{};
  int stdinFlags = -1;
  Bytes leave;
  Bytes reenter;
};

SavedState gState;
volatile sig_atomic_t gHeld = 0;     // the show holds the terminal: from raw mode to the last restore
volatile sig_atomic_t gRaw = 0;      // the terminal is in our modes right now
volatile sig_atomic_t gRedrawAll = 0;

// How long a signal handler waits for a terminal that takes no more bytes (a reader that
// stopped, a frozen link) before it gives up on the rest: the process must still end.
constexpr int kHandlerPatienceMs = 300;

// The normal end's write: whatever stops it, the terminal is gone or will not take more, and
// there is nothing left to do.
void WriteAll(int fd, const char* data, size_t length) {
  std::string_view bytes(data, length);
  WriteBytes(fd, bytes, nullptr);
}

long long MonotonicMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// The handlers' write: never blocks. As much as the terminal takes within the patience, then
// the descriptor's flags as they were (they are shared with the shell). Async-signal-safe.
void WriteWithin(int fd, const char* data, size_t length) {
  const int flags = fcntl(fd, F_GETFL);
  if (flags < 0) return;
  if ((flags & O_NONBLOCK) == 0) fcntl(fd, F_SETFL, flags | O_NONBLOCK);
  std::string_view bytes(data, length);
  const long long deadline = MonotonicMs() + kHandlerPatienceMs;
  while (WriteBytes(fd, bytes, nullptr) == WriteEnd::kWouldBlock) {
    const long long left = deadline - MonotonicMs();
    if (left <= 0) break;
    pollfd output{fd, POLLOUT, 0};
    poll(&output, 1, static_cast<int>(left));
  }
  if ((flags & O_NONBLOCK) == 0) fcntl(fd, F_SETFL, flags);
}

void CopyBytes(Bytes& target, std::string_view bytes) {
  sigset_t all, previous;
  sigfillset(&all);
  sigprocmask(SIG_BLOCK, &all, &previous);
  target.length = bytes.size() < kMaxBytes ? bytes.size() : kMaxBytes;
  // An empty view may have no storage at all: memcpy must not be handed its null pointer.
  if (target.length > 0) std::memcpy(target.data, bytes.data(), target.length);
  sigprocmask(SIG_SETMASK, &previous, nullptr);
}

}  // namespace

WriteEnd WriteBytes(int fd, std::string_view& bytes, bool (*stop)()) {
  while (!bytes.empty()) {
    const ssize_t n = write(fd, bytes.data(), bytes.size());
    if (n > 0) {
      bytes.remove_prefix(static_cast<size_t>(n));
      if (stop != nullptr && stop()) return WriteEnd::kStopped;
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      return WriteEnd::kWouldBlock;
    } else {
      return WriteEnd::kGone;  // EPIPE, EIO: the terminal has gone
    }
  }
  return WriteEnd::kDone;
}

bool EnterRawMode(int fd) {
  termios original{};
  if (tcgetattr(fd, &original) != 0) return false;
  termios raw = original;
  raw.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON);
  // Output processing stays as it was: a line someone prints meanwhile still starts at
  // the left margin. The show's own bytes need none of it.
  raw.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | IEXTEN);
  raw.c_lflag |= ISIG;
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  gState.fd = fd;
  gState.original = original;
  gState.raw = raw;
  gState.stdinFlags = fcntl(STDIN_FILENO, F_GETFL);
  if (tcsetattr(fd, TCSAFLUSH, &raw) != 0) return false;
  gHeld = 1;
  gRaw = 1;
  return true;
}

void SetRestoreBytes(std::string_view leave) { CopyBytes(gState.leave, leave); }

void SetReenterBytes(std::string_view reenter) { CopyBytes(gState.reenter, reenter); }

namespace {

// `inHandler`: from a signal handler, which must never wait on the terminal (its modes then
// change at once instead of after the output drains, which a stalled terminal never does).
void GiveBackModes(bool inHandler) {
  if (!gRaw || gState.fd < 0) return;
  gRaw = 0;
  if (inHandler) {
    WriteWithin(gState.fd, gState.leave.data, gState.leave.length);
  } else {
    WriteAll(gState.fd, gState.leave.data, gState.leave.length);
  }
  tcsetattr(gState.fd, inHandler ? TCSANOW : TCSADRAIN, &gState.original);
  tcflush(gState.fd, TCIFLUSH);
  if (gState.stdinFlags >= 0) fcntl(STDIN_FILENO, F_SETFL, gState.stdinFlags);
}

}  // namespace

void GiveBack() { GiveBackModes(true); }

void TakeBack() {
  if (!gHeld || gState.fd < 0) return;
  tcsetattr(gState.fd, TCSAFLUSH, &gState.raw);
  WriteWithin(gState.fd, gState.reenter.data, gState.reenter.length);
  gRaw = 1;
  gRedrawAll = 1;
}

void RestoreTerminal() {
  gHeld = 0;
  GiveBackModes(false);
}

bool RedrawPending() { return gRedrawAll != 0; }

bool TakeRedrawAll() {
  if (!gRedrawAll) return false;
  gRedrawAll = 0;
  return true;
}

}  // namespace tty
