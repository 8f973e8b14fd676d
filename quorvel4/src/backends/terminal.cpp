// The terminal back end: the show on the terminal behind standard output, without the
// alternate screen, so the last frame stays on the console after the show.
#include "quorvel4/backend.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "quorvel4/display_signals.h"
#include "quorvel4/terminal_encoder.h"
#include "terminal_screen.h"
#include "terminal_sequences.h"
#include "terminal_tty.h"
#include "title_text.h"

namespace {

constexpr const char* kNotATerminal =
    "standard output is not a terminal; run the show in a terminal of at least 80 x 50 cells.";
constexpr const char* kDumbTerminal =
    "TERM is \"dumb\"; the show needs a terminal that understands ANSI escape sequences.";

TerminalSize QuerySize(int fd) {
  winsize size{};
  if (ioctl(fd, TIOCGWINSZ, &size) != 0 || size.ws_col == 0 || size.ws_row == 0) {
    return {kScreenWidth, kScreenHeight};  // unknown: assume it fits
  }
  return {size.ws_col, size.ws_row};
}

class TerminalBackend final : public ConsoleBackend, private TerminalLink {
 public:
  TerminalBackend(int outFd, int keyFd, ColorMode mode) : mOutFd(outFd), mKeyFd(keyFd), mScreen(*this, mode) {
    Start();
  }
  ~TerminalBackend() override { Restore(); }

  void Present(const Cell* cells) override {
    if (mRestored) return;
    mScreen.Present(cells);
  }

  void SetTitle(const char* title) override {
    if (mRestored) return;
    Write(std::string(seq::kTitleBegin) + PrintableTitle(title) + std::string(seq::kTitleEnd));
  }

  bool KeyWaiting() override {
    if (mRestored) return false;
    if (mLost) return true;  // nothing can be shown any more: let the show end
    if (mKeyFd < 0) return false;
    pollfd input{mKeyFd, POLLIN, 0};
    if (poll(&input, 1, 0) <= 0) return false;
    return (input.revents & (POLLIN | POLLHUP | POLLERR)) != 0;
  }

  // Signals only raise flags; the work happens here, between frames.
  void Poll() override {
    if (mRestored) return;
    const bool resized = display_signals::TakeResized();
    const bool redraw = tty::TakeRedrawAll();
    if (resized || redraw) mScreen.Relayout();
  }

  void Restore() override {
    if (mRestored) return;
    mRestored = true;
    tty::RestoreTerminal();
    display_signals::Remove();
  }

 private:
  void Start() {
    tty::SetRestoreBytes(mScreen.LeaveBytes());
    tty::SetReenterBytes(TerminalScreen::ReenterBytes());
    tty::EnterRawMode(mOutFd);
    display_signals::Plan plan;
    plan.giveBack = tty::GiveBack;
    plan.takeBack = tty::TakeBack;
    display_signals::Install(plan);
    mScreen.Enter();
  }

  // The signal handlers send the screen's leave bytes from their own copy.
  void LeaveBytesChanged(const std::string& leave) override { tty::SetRestoreBytes(leave); }

  TerminalSize Size() override { return QuerySize(mOutFd); }

  void Write(std::string_view bytes) override {
    while (!mLost && !bytes.empty()) {
      // A stop that cuts the frame short sends the restore bytes: the rest would start in the
      // middle of a sequence, so it is dropped. Everything is drawn again anyway.
      switch (tty::WriteBytes(mOutFd, bytes, tty::RedrawPending)) {
        case tty::WriteEnd::kDone:
        case tty::WriteEnd::kStopped:
          return;
        case tty::WriteEnd::kWouldBlock: {
          pollfd output{mOutFd, POLLOUT, 0};
          poll(&output, 1, 100);
          break;
        }
        case tty::WriteEnd::kGone:
          mLost = true;  // the next key test ends the show
          break;
      }
    }
  }

  int mOutFd;
  int mKeyFd;
  TerminalScreen mScreen;
  bool mLost = false;
  bool mRestored = false;
};

}  // namespace

namespace {

const char* WhyNotUsable() {
  if (!isatty(STDOUT_FILENO)) return kNotATerminal;
  const char* term = std::getenv("TERM");
  if (term && std::strcmp(term, "dumb") == 0) return kDumbTerminal;
  return nullptr;
}

bool TerminalUsable() { return WhyNotUsable() == nullptr; }

std::unique_ptr<ConsoleBackend> OpenTerminal(std::string& error) {
  if (const char* why = WhyNotUsable()) {
    error = why;
    return nullptr;
  }
  const ColorMode mode = ChooseColorMode(std::getenv("QVL_COLORS"), std::getenv("COLORTERM"), std::getenv("TERM"));
  const int keyFd = isatty(STDIN_FILENO) ? STDIN_FILENO : -1;
  return std::make_unique<TerminalBackend>(STDOUT_FILENO, keyFd, mode);
}

const bool kRegistered = RegisterConsoleBackend(
    {"terminal", 10, TerminalUsable, OpenTerminal,
     "this terminal, at least 80 x 50 cells"});

}  // namespace
