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

long long MonotonicMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// Writes what the terminal takes, waiting for it while it would block, until everything is
// written, the terminal is gone, or it has taken nothing for `patienceMs` (counted from the
// start, or with `renewed` from the last bytes it took). Async-signal-safe.
void WriteWaiting(int fd, std::string_view bytes, int patienceMs, bool renewed) {
  long long deadline = MonotonicMs() + patienceMs;
  for (size_t left = bytes.size(); WriteBytes(fd, bytes, nullptr) == WriteEnd::kWouldBlock; left = bytes.size()) {
    if (renewed && bytes.size() < left) deadline = MonotonicMs() + patienceMs;
    const long long wait = deadline - MonotonicMs();
    if (wait <= 0) return;
    pollfd output{fd, POLLOUT, 0};
    if (poll(&output, 1, static_cast<int>(wait)) > 0 && (output.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) return;
  }
}

// The handlers' write: never blocks. As much as the terminal takes within the patience, then
// the descriptor's flags as they were (they are shared with the shell). Async-signal-safe.
void WriteWithin(int fd, const char* data, size_t length) {
  const int flags = fcntl(fd, F_GETFL);
  if (flags < 0) return;
  if ((flags & O_NONBLOCK) == 0) fcntl(fd, F_SETFL, flags | O_NONBLOCK);
  WriteWaiting(fd, {data, length}, kHandlerPatienceMs, false);
  if ((flags & O_NONBLOCK) == 0) fcntl(fd, F_SETFL, flags);
}

// How long the normal end waits for a terminal that takes nothing (a descriptor another
// program left non-blocking, a slow or stopped link) before it counts the terminal as gone.
constexpr int kEndPatienceMs = 10000;

// The normal end's write: a terminal that would block is waited for, as a blocking
// descriptor's write waits, so the bytes that give it back are never dropped while it lives.
void WriteAll(int fd, const char* data, size_t length) { WriteWaiting(fd, {data, length}, kEndPatienceMs, true); }

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
  // Marked before the change: a signal that comes as the modes change gives the saved ones
  // back (which does no harm before), never leaves the terminal raw.
  gHeld = 1;
  gRaw = 1;
  if (tcsetattr(fd, TCSAFLUSH, &raw) == 0) return true;
  const int failure = errno;
  gRaw = 0;
  gHeld = 0;
  errno = failure;
  return false;
}

void SetRestoreBytes(std::string_view leave) { CopyBytes(gState.leave, leave); }

void SetReenterBytes(std::string_view reenter) { CopyBytes(gState.reenter, reenter); }

namespace {

// `inHandler`: from a signal handler, which must never wait on the terminal (its modes then
// change at once instead of after the output drains, which a stalled terminal never does).
// The normal end stays marked raw until its modes are back: a signal that comes while it
// waits on the terminal (a slow link drains for seconds) must still find something to give
// back. Both sending the leave bytes then is harmless: they only set modes.
void GiveBackModes(bool inHandler) {
  if (!gRaw || gState.fd < 0) return;
  if (inHandler) {
    gRaw = 0;
    WriteWithin(gState.fd, gState.leave.data, gState.leave.length);
  } else {
    WriteAll(gState.fd, gState.leave.data, gState.leave.length);
  }
  tcsetattr(gState.fd, inHandler ? TCSANOW : TCSADRAIN, &gState.original);
  gRaw = 0;
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
