// The terminal back end: the show on the terminal behind standard output, without the
// alternate screen, so the last frame stays on the console after the show.
#include "quorvel4/terminal.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "quorvel4/terminal_encoder.h"
#include "terminal_sequences.h"
#include "terminal_tty.h"

namespace {

constexpr const char* kNotATerminal =
    "quorvel4: standard output is not a terminal; run the show in a terminal of at least 80 x 50 cells.";
constexpr const char* kDumbTerminal =
    "quorvel4: TERM is \"dumb\"; the show needs a terminal that understands ANSI escape sequences.";

struct TerminalSize {
  int columns;
  int rows;
};

TerminalSize QuerySize(int fd) {
  winsize size{};
  if (ioctl(fd, TIOCGWINSZ, &size) != 0 || size.ws_col == 0 || size.ws_row == 0) {
    return {kScreenWidth, kScreenHeight};  // unknown: assume it fits
  }
  return {size.ws_col, size.ws_row};
}

bool Fits(const TerminalSize& size) { return size.columns >= kScreenWidth && size.rows >= kScreenHeight; }

std::string CursorTo(int row, int column) {
  return std::string(seq::kCsi) + std::to_string(row) + seq::kParamSeparator + std::to_string(column) +
         seq::kCursorPositionFinal;
}

// What the terminal gets on the way out, ending with the cursor at `below`.
std::string LeaveBytes(const std::string& below) {
  std::string bytes;
  for (std::string_view part : {seq::kCancel, seq::kSyncEnd, seq::kResetGraphics, seq::kAutoWrapOn}) bytes += part;
  bytes += below;
  bytes += seq::kShowCursor;
  bytes += seq::kPopTitle;
  return bytes;
}

// The cursor goes on the first line under the picture; when the picture reaches the
// bottom, one new line scrolls it up by a row to make room for the shell's prompt.
std::string BelowPicture(const TerminalSize& size, int originRow) {
  const int below = originRow + kScreenHeight + 1;
  if (below <= size.rows) return CursorTo(below, 1);
  return CursorTo(size.rows, 1) + std::string(seq::kNewLine);
}

std::string TooSmallMessage(const TerminalSize& size) {
  char text[256];
  std::snprintf(text, sizeof text,
                "The show needs a terminal of at least %d x %d cells;\r\n"
                "this one has %d x %d.\r\n"
                "Enlarge the window or make the font smaller,\r\n"
                "or press a key to quit.",
                kScreenWidth, kScreenHeight, size.columns, size.rows);
  std::string bytes;
  for (std::string_view part : {seq::kResetGraphics, seq::kClearScreen, seq::kCursorHome, seq::kAutoWrapOn}) {
    bytes += part;
  }
  bytes += text;
  bytes += seq::kAutoWrapOff;
  return bytes;
}

class TerminalBackend final : public ConsoleBackend {
 public:
  TerminalBackend(int outFd, int keyFd, ColorMode mode) : outFd_(outFd), keyFd_(keyFd), encoder_(mode) { Start(); }
  ~TerminalBackend() override { Restore(); }

  void Present(const Cell* cells) override {
    if (restored_) return;
    // The newest frame first, so that a redraw after a resize or a stop already shows it.
    std::copy(cells, cells + kScreenCells, latest_.begin());
    HandleEvents();
    if (!tooSmall_) Write(encoder_.EncodeFrame(latest_.data()));
  }

  void SetTitle(const char* title) override {
    if (restored_) return;
    std::string bytes(seq::kTitleBegin);
    // Control characters could end the title early and smuggle in escape sequences.
    for (const char* p = title; *p; ++p) {
      const auto c = static_cast<unsigned char>(*p);
      if (c >= 0x20 && c != 0x7F) bytes += static_cast<char>(c);
    }
    bytes += seq::kTitleEnd;
    Write(bytes);
  }

  bool KeyWaiting() override {
    if (restored_) return false;
    HandleEvents();
    if (lost_) return true;  // nothing can be shown any more: let the show end
    if (keyFd_ < 0) return false;
    pollfd input{keyFd_, POLLIN, 0};
    if (poll(&input, 1, 0) <= 0) return false;
    return (input.revents & (POLLIN | POLLHUP | POLLERR)) != 0;
  }

  void Restore() override {
    if (restored_) return;
    restored_ = true;
    tty::RestoreTerminal();
    tty::RemoveSignalHandlers();
  }

 private:
  void Start() {
    std::string enter;
    for (std::string_view part : {seq::kPushTitle, seq::kHideCursor, seq::kAutoWrapOff, seq::kResetGraphics}) {
      enter += part;
    }
    tty::SetRestoreBytes(LeaveBytes(std::string(seq::kNewLine)));
    tty::SetReenterBytes(std::string(seq::kHideCursor) + std::string(seq::kAutoWrapOff));
    tty::EnterRawMode(outFd_);
    tty::InstallSignalHandlers();
    // Terminals that honour it grow (or shrink) to the show's size; the others ignore it.
    if (!Fits(QuerySize(outFd_))) enter += seq::kRequestSize80x50;
    Write(enter);
    Relayout();
  }

  // Signals only raise flags; the work happens here, between frames.
  void HandleEvents() {
    const bool resized = tty::TakeResized();
    const bool redraw = tty::TakeRedrawAll();
    if (resized || redraw) Relayout();
  }

  // Clears the terminal and shows the last frame centred, or says plainly that the
  // terminal is too small: never a garbled picture.
  void Relayout() {
    const TerminalSize size = QuerySize(outFd_);
    tooSmall_ = !Fits(size);
    if (tooSmall_) {
      encoder_.Invalidate();
      tty::SetRestoreBytes(LeaveBytes(std::string(seq::kNewLine)));
      Write(TooSmallMessage(size));
      return;
    }
    const int originColumn = (size.columns - kScreenWidth) / 2;
    const int originRow = (size.rows - kScreenHeight) / 2;
    encoder_.SetOrigin(originColumn, originRow);
    tty::SetRestoreBytes(LeaveBytes(BelowPicture(size, originRow)));
    const std::string clear = std::string(seq::kResetGraphics) + std::string(seq::kClearScreen);
    Write(encoder_.EncodeFrame(latest_.data(), clear));
  }

  void Write(std::string_view bytes) {
    while (!lost_ && !bytes.empty()) {
      const ssize_t n = write(outFd_, bytes.data(), bytes.size());
      if (n > 0) {
        bytes.remove_prefix(static_cast<size_t>(n));
        // A stop cut the frame short and the restore has been sent since: the rest would
        // start in the middle of a sequence. Everything is drawn again anyway.
        if (tty::RedrawPending()) return;
      } else if (n < 0 && errno == EINTR) {
        continue;
      } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        pollfd output{outFd_, POLLOUT, 0};
        poll(&output, 1, 100);
      } else {
        lost_ = true;  // EPIPE, EIO: the terminal has gone; the next key test ends the show
      }
    }
  }

  int outFd_;
  int keyFd_;
  TerminalEncoder encoder_;
  std::vector<Cell> latest_ = std::vector<Cell>(kScreenCells, 0);
  bool tooSmall_ = false;
  bool lost_ = false;
  bool restored_ = false;
};

}  // namespace

const char* TerminalUnusableReason() {
  if (!isatty(STDOUT_FILENO)) return kNotATerminal;
  const char* term = std::getenv("TERM");
  if (term && std::strcmp(term, "dumb") == 0) return kDumbTerminal;
  return nullptr;
}

std::unique_ptr<ConsoleBackend> MakeTerminalBackend() {
  if (const char* reason = TerminalUnusableReason()) {
    std::fprintf(stderr, "%s\n", reason);
    std::exit(1);
  }
  const char* term = std::getenv("TERM");
  const ColorMode mode = ChooseColorMode(std::getenv("QVL_COLORS"), std::getenv("COLORTERM"), term);
  const int keyFd = isatty(STDIN_FILENO) ? STDIN_FILENO : -1;
  return std::make_unique<TerminalBackend>(STDOUT_FILENO, keyFd, mode);
}
