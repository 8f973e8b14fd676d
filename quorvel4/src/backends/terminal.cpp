// The terminal back end: the show on the terminal behind standard output, without the
// alternate screen, so the last frame stays on the console after the show.
#include "quorvel4/backend.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <array>
#include <memory>
#include <optional>
#include <string>

#include "quorvel4/display_signals.h"
#include "quorvel4/options.h"  // ParseWholeNumber
#include "quorvel4/palette.h"
#include "quorvel4/terminal_encoder.h"
#include "frame_pacer.h"
#include "terminal_input.h"
#include "terminal_keys.h"
#include "terminal_screen.h"
#include "terminal_sequences.h"
#include "terminal_tty.h"

namespace {

constexpr const char* kNotATerminal =
    "standard output is not a terminal; run the show in a terminal of at least 80 x 50 cells.";
// Without a hangup signal (nohup, SIGHUP ignored) only a failed write or the input's end
// shows it.
constexpr const char* kTerminalGone = "the terminal went away (a write to it failed)";
constexpr const char* kInputGone = "the terminal went away (its input ended)";
constexpr const char* kDumbTerminal =
    "TERM is \"dumb\"; the show needs a terminal that understands ANSI escape sequences.";

TerminalSize QuerySize(int fd) {
  winsize size{};
  if (ioctl(fd, TIOCGWINSZ, &size) != 0 || size.ws_col == 0 || size.ws_row == 0) {
    return {kScreenWidth, kScreenHeight};  // unknown: assume it fits
  }
  return {size.ws_col, size.ws_row};
}

// How long the show waits, at its start, for the terminal to say whether it lets a program
// set its palette. Terminals that know the question answer in a few milliseconds, and those
// that do not still answer the device-attributes question sent after it; this only bounds the
// wait for a terminal (or a link) that answers neither. QVL_ANSWER_WAIT_MS (0 to 60000)
// lengthens it for a link slower than that, or shortens it.
constexpr int64_t kPaletteAnswerDeadlineMs = 300;
constexpr int64_t kLongestAnswerWaitMs = 60000;

int64_t AnswerWaitMs() {
  const char* text = std::getenv("QVL_ANSWER_WAIT_MS");
  if (!text || !*text) return kPaletteAnswerDeadlineMs;
  const std::optional<int64_t> value = ParseWholeNumber(text);
  if (!value || *value < 0 || *value > kLongestAnswerWaitMs) return kPaletteAnswerDeadlineMs;
  return *value;
}

int64_t NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// How the colour mode is chosen: given (QVL_COLORS set), or asked of the terminal first, with
// `fallback` where it does not answer.
struct ColorChoice {
  bool ask = false;
  // Palette mode was given: the terminal is asked only for the colours to give back.
  bool askColoursOnly = false;
  int64_t waitMs = kPaletteAnswerDeadlineMs;
  ColorMode fallback = ColorMode::kTrueColor;
};

class TerminalBackend final : public ConsoleBackend, private TerminalLink {
 public:
  TerminalBackend(int outFd, int keyFd) : mOutFd(outFd), mKeyFd(keyFd) {}
  ~TerminalBackend() override { Restore(); }

  // A terminal that has fallen behind (its answers to the questions sent after frames are
  // late) gets no new frame: the newest is kept, and sent once it has caught up.
  // The answers are those the last key test read; the input is read here only when they
  // would hold the frame back, so a terminal that keeps up costs no extra read a frame.
  void Present(const Cell* cells) override {
    if (mRestored) return;
    mPresentedSincePoll = true;
    bool maySend = MaySend();
    if (!maySend && mKeyFd >= 0) {
      ReadInput(0);
      maySend = MaySend();
    }
    if (!maySend) {
      mScreen->Keep(cells);
      return;
    }
    if (mScreen->Present(cells) && mPacer.On()) AskAfterFrame();
  }

  void SetTitle(const char* title) override {
    if (!mRestored) mScreen->SetTitle(title);
  }

  // The terminal's input is read (answers to the start's questions may still come, and must
  // not end the show); key bytes stay in mInput (or, once a program has taken keys, in
  // mKeys), so a key, once come, stays waiting.
  bool KeyWaiting() override {
    if (mRestored) return false;
    if (!mLost.empty() || display_signals::EndRequested()) return true;  // nothing more to show: let the show end
    if (mKeyFd < 0) return false;
    if (!ReadInput(0)) return true;  // the input has gone: no key can ever come
    mInput.Tick(NowMs());
    return mInput.KeyWaiting() || mKeys.StrokeWaiting() || mKeys.Holding();
  }

  bool ReadsKeys() const override { return mKeyFd >= 0; }

  std::string Lost() const override { return mLost; }

  bool TakeKey(KeyStroke& key) override {
    if (mRestored || mKeyFd < 0) return false;
    ReadInput(0);  // an input that has gone is MustEnd's to report
    const int64_t now = NowMs();
    mInput.Tick(now);
    mKeys.Feed(mInput.TakeKeys(), now);
    mKeys.Tick(now);
    return mKeys.Take(key);
  }

  // A program that asks this checks it every frame and ends in order: from its first call on,
  // Ctrl-C (SIGINT, the terminal keeps ISIG) and SIGTERM ask it to end through here, so that it
  // can save its work and give the terminal back itself; a second one still ends the process at
  // once. Plain shows, which end on any key, keep the immediate end.
  bool MustEnd() override {
    if (mRestored) return false;
    if (!mEndsInOrder) {
      display_signals::EndInOrder();
      mEndsInOrder = true;
    }
    if (!mLost.empty() || display_signals::EndRequested()) return true;
    return mKeyFd >= 0 && !ReadInput(0);
  }

  void SetStatusLine(std::string_view text) override {
    if (!mRestored) mScreen->SetStatusLine(text);
  }

  // Signals only raise flags; the work happens here, between frames.
  // A status line goes out with the next frame; a program that holds its picture and only
  // polls (no frame since the last poll: this poll is not PresentScreen's own) gets it alone.
  void Poll() override {
    if (mRestored) return;
    const bool resized = display_signals::TakeResized();
    const bool redraw = tty::TakeRedrawAll();
    if (redraw) mScreen->ShowTitleAgain();
    if (resized || redraw) mScreen->Relayout();
    if (!mPresentedSincePoll) mScreen->SendStatusLine();
    mPresentedSincePoll = false;
  }

  void Restore() override {
    if (mRestored || !mScreen) return;
    mScreen->SendChanges();  // the last frame stays on the terminal, even one held back
    mRestored = true;
    tty::RestoreTerminal();
    display_signals::Remove();
  }

  // False, with the reason in `error` and the terminal untouched, when it refuses raw mode.
  bool Start(const ColorChoice& colors, std::string& error) {
    // Nothing is drawn while the terminal is asked: the way out has nothing to undo but raw mode.
    tty::SetRestoreBytes({});
    // The handlers first: a signal as the modes change must find them there to give them back.
    display_signals::Plan plan;
    plan.giveBack = tty::GiveBack;
    plan.takeBack = tty::TakeBack;
    display_signals::Install(plan);
    if (!tty::EnterRawMode(mOutFd)) {
      error = std::string("the terminal does not take the show's modes: ") + std::strerror(errno);
      display_signals::Remove();
      return false;
    }
    const bool asked = colors.ask || colors.askColoursOnly;
    if (asked && AskPaletteEntries(colors.waitMs)) mPaletteAsItWas = PaletteBytes(mInput.PaletteEntries());
    const bool palette = colors.ask && !mPaletteAsItWas.empty() && PaletteTakesVga(colors.waitMs);
    const ColorMode mode = palette ? ColorMode::kPalette : colors.fallback;
    // Whether the terminal answers questions at all is learnt without waiting, when the
    // palette was not asked about.
    if (!asked && mKeyFd >= 0) AskAttributes();
    mScreen = std::make_unique<TerminalScreen>(static_cast<TerminalLink&>(*this), mode, mPaletteAsItWas);
    tty::SetRestoreBytes(mScreen->LeaveBytes());
    tty::SetReenterBytes(mScreen->ReenterBytes());
    mScreen->Enter();
    return true;
  }

 private:
  // Asks the terminal for its 16 palette entries, one question each, then for its device
  // attributes, which every terminal answers (after the palette's answers, when it gives them),
  // and waits for the answers up to `waitMs`. True when they came, the palette's among them.
  bool AskPaletteEntries(int64_t waitMs) {
    if (mKeyFd < 0) return false;
    mInput.AwaitAnswers();
    Write(PaletteQuestions() + std::string(seq::kQueryDeviceAttributes));
    WaitUntilSettled(waitMs);
    return mInput.Settled() && mInput.PaletteAnswered();
  }

  // Sets the VGA colours and asks for them back. A terminal that answers the questions but
  // does not take the colours (konsole answers from a table of its own, alacritty ignores
  // some forms) names other colours: it is given its own back, and drawn in another mode.
  bool PaletteTakesVga(int64_t waitMs) {
    tty::SetRestoreBytes(mPaletteAsItWas);  // a signal meanwhile gives the colours back
    mInput.AwaitAnswers();
    Write(std::string(SetVgaPaletteBytes()) + PaletteQuestions() + std::string(seq::kQueryDeviceAttributes));
    WaitUntilSettled(waitMs);
    bool taken = mInput.Settled();
    for (int console = 0; console < 16 && taken; ++console) {
      const std::optional<Rgb>& named = mInput.PaletteEntries()[AnsiColorOf(console)];
      taken = named == kVgaPalette[console];
    }
    if (!taken) Write(mPaletteAsItWas);
    tty::SetRestoreBytes({});
    return taken;
  }

  static std::string PaletteQuestions() {
    std::string questions;
    for (int entry = 0; entry < 16; ++entry) {
      questions += std::string(seq::kOscPaletteEntry) + std::to_string(entry) + std::string(seq::kQueryPaletteEnd);
    }
    return questions;
  }

  void WaitUntilSettled(int64_t waitMs) {
    const int64_t deadline = NowMs() + waitMs;
    for (int64_t now = NowMs(); now < deadline && !mInput.Settled(); now = NowMs()) {
      if (!ReadInput(static_cast<int>(deadline - now))) break;
    }
  }

  // The entries the terminal named, set again on the way out after OSC 104: some terminals
  // (rxvt-unicode, mlterm) ignore that reset, or reset to colours of their own.
  static std::string PaletteBytes(const std::array<std::optional<Rgb>, 16>& entries) {
    std::string bytes;
    for (int entry = 0; entry < 16; ++entry) {
      if (entries[entry]) bytes += SetPaletteEntryBytes(entry, *entries[entry]);
    }
    return bytes;
  }

  void AskAttributes() {
    Write(seq::kQueryDeviceAttributes);
    mInput.AwaitAttributes();
  }

  void AskAfterFrame() {
    AskAttributes();
    mPacer.Asked(NowMs());
  }

  bool MaySend() {
    TakeAnswers();
    return mPacer.MaySend(NowMs());
  }

  // Every answer shows the terminal answers; all but the first (to the question asked at the
  // start) answer a question asked after a frame.
  void TakeAnswers() {
    for (int answers = mInput.TakeAttributeAnswers(); answers > 0; --answers) {
      mPacer.Answered(NowMs());
      mPacer.Start();
    }
  }

  // Reads what the terminal has sent, waiting up to `waitMs` for the first byte. False when
  // the input has gone (closed, or an error).
  bool ReadInput(int waitMs) {
    pollfd input{mKeyFd, POLLIN, 0};
    const int ready = poll(&input, 1, waitMs);
    if (ready < 0) return errno == EINTR;
    if (ready == 0) return true;
    if ((input.revents & POLLIN) == 0) return InputGone();  // POLLHUP, POLLERR alone
    char bytes[256];
    const ssize_t n = read(mKeyFd, bytes, sizeof bytes);
    if (n > 0) mInput.Feed({bytes, static_cast<size_t>(n)}, NowMs());
    return n > 0 || (n < 0 && (errno == EINTR || errno == EAGAIN)) || InputGone();
  }

  // A terminal in raw mode ends its input only when it has gone; the show can end in no other
  // way than by saying so. False, for ReadInput.
  bool InputGone() {
    MarkLost(kInputGone);
    return false;
  }

  void MarkLost(const char* reason) {
    if (mLost.empty()) mLost = reason;
  }

  // The signal handlers send the screen's leave bytes from their own copy.
  // (Called by the screen during its construction and layouts.)
  void LeaveBytesChanged(const std::string& leave) override { tty::SetRestoreBytes(leave); }

  TerminalSize Size() override { return QuerySize(mOutFd); }

  void Write(std::string_view bytes) override {
    while (!mOutputGone && !bytes.empty()) {
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
          mOutputGone = true;
          MarkLost(kTerminalGone);  // the next key test ends the show
          break;
      }
    }
  }

  int mOutFd;
  int mKeyFd;
  TerminalInput mInput;
  TerminalKeys mKeys;  // the key bytes taken from mInput, for a program that reads keys
  FramePacer mPacer;
  std::string mPaletteAsItWas;  // what sets the entries the terminal named back to their colours
  std::unique_ptr<TerminalScreen> mScreen;
  std::string mLost;  // why the terminal can show nothing more; empty while it can
  bool mOutputGone = false;
  bool mRestored = false;
  bool mEndsInOrder = false;
  bool mPresentedSincePoll = false;
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
  const char* given = std::getenv("QVL_COLORS");
  const char* term = std::getenv("TERM");
  ColorChoice colors;
  colors.fallback = ChooseColorMode(given, std::getenv("COLORTERM"), term);
  // The Linux console prints an operating system command it does not know as text, and its
  // 16 colours are the VGA ones unless the user changed them: it is not asked.
  const bool linuxConsole = term && std::strncmp(term, "linux", 5) == 0;
  colors.ask = (given == nullptr || *given == '\0') && !linuxConsole;
  colors.askColoursOnly = !colors.ask && colors.fallback == ColorMode::kPalette && !linuxConsole;
  colors.waitMs = AnswerWaitMs();
  const int keyFd = isatty(STDIN_FILENO) ? STDIN_FILENO : -1;
  auto backend = std::make_unique<TerminalBackend>(STDOUT_FILENO, keyFd);
  if (!backend->Start(colors, error)) return nullptr;
  return backend;
}

const bool kRegistered = RegisterConsoleBackend(
    {"terminal", 10, TerminalUsable, OpenTerminal,
     "this terminal, at least 80 x 50 cells"});

}  // namespace
