// The terminal back end in a real pseudo-terminal: how it leaves the terminal on every
// way out, and how it handles terminals of the wrong size or none at all.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "capture_run.h"
#include "quorvel4/palette.h"
#include "quorvel4/terminal_encoder.h"
#include "programs/terminal_show_frame.h"
#include "pty_session.h"

#ifdef QVL_HAVE_VTERM
#include "vterm_screen.h"
#endif

namespace {

const std::string kProgram = std::string(QVL_TEST_PROGRAM_DIR) + "/terminal_show";
const std::vector<std::string> kTrueColorEnv = {"TERM=xterm-256color", "QVL_COLORS=truecolor"};
constexpr std::string_view kFrameEnd = "\x1b[?2026l";
constexpr std::string_view kHideCursor = "\x1b[?25l";
constexpr std::string_view kShowCursor = "\x1b[?25h";
constexpr std::string_view kWrapOff = "\x1b[?7l";
constexpr std::string_view kWrapOn = "\x1b[?7h";

void ExpectSameModes(const termios& got, const termios& want) {
  EXPECT_EQ(got.c_iflag, want.c_iflag);
  EXPECT_EQ(got.c_oflag, want.c_oflag);
  EXPECT_EQ(got.c_cflag, want.c_cflag);
  EXPECT_EQ(got.c_lflag, want.c_lflag);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(got.c_cc), NCCS),
            std::string(reinterpret_cast<const char*>(want.c_cc), NCCS));
}

// The last word on the cursor and on auto-wrap is "on".
void ExpectCursorShownAndWrapOn(const std::string& output) {
  ASSERT_NE(output.rfind(kHideCursor), std::string::npos);
  EXPECT_GT(output.rfind(kShowCursor), output.rfind(kHideCursor)) << "cursor left hidden";
  ASSERT_NE(output.rfind(kWrapOff), std::string::npos);
  EXPECT_GT(output.rfind(kWrapOn), output.rfind(kWrapOff)) << "auto-wrap left off";
}

std::vector<Cell> TestFrame() {
  std::vector<Cell> cells(kScreenCells);
  FillTestFrame(cells.data());
  return cells;
}

// Reads until the output from byte `from` on shows the whole test frame on an emulated
// terminal (without libvterm: until a frame has ended).
void ReadUntilTestFrameShown(PtySession& session, size_t from, bool cursorHidden = false) {
#ifdef QVL_HAVE_VTERM
  VtScreen vt(80, 50);
  const std::vector<Cell> frame = TestFrame();
  std::string seen;
  ASSERT_TRUE(session.ReadUntilDone(
      [&](const std::string& output) {
        vt.Feed(std::string_view(output).substr(from));
        from = output.size();
        return (seen = FirstWrongCell(vt, frame, ColorMode::kTrueColor)).empty();
      },
      "the test frame on the screen"))
      << "the screen shows " << seen;
  ExpectScreenShows(vt, frame, ColorMode::kTrueColor);
  if (cursorHidden) {
    EXPECT_FALSE(vt.CursorVisible());
  }
#else
  ASSERT_TRUE(session.ReadUntil(kFrameEnd, from));
#endif
}

TEST(TerminalSession, KeyEndsTheShowLeavingTheTerminalAsFoundAndTheFrameOnScreen) {
  PtySession session(kProgram, {}, 100, 60, kTrueColorEnv);
  ASSERT_TRUE(session.Started());
  ASSERT_TRUE(session.ReadUntil(kFrameEnd));
  EXPECT_EQ(session.CurrentModes().c_lflag & (ICANON | ECHO), 0u) << "not in raw mode while showing";
  EXPECT_NE(session.CurrentModes().c_lflag & ISIG, 0u) << "Ctrl-C must still work";
  session.Type("q");
  EXPECT_EQ(session.Wait(), 0);
  ExpectSameModes(session.CurrentModes(), session.InitialModes());
  EXPECT_EQ(session.PendingInput(), 0) << "the key would reach the shell";
  ExpectCursorShownAndWrapOn(session.Output());
#ifdef QVL_HAVE_VTERM
  // Centred in the 100 x 60 terminal, still there after the end, the cursor under it.
  VtScreen vt(100, 60);
  vt.Feed(session.Output());
  ExpectScreenShows(vt, TestFrame(), ColorMode::kTrueColor, 10, 5);
  EXPECT_TRUE(vt.CursorVisible());
  EXPECT_EQ(vt.Cursor().row, 55);
  EXPECT_EQ(vt.Cursor().col, 0);
#endif
}

struct Ending {
  const char* name;
  const char* keys;  // typed at the terminal, or null to send the signal directly
  int signal;
};
void PrintTo(const Ending& ending, std::ostream* os) { *os << ending.name; }

class TerminalSessionEndedBySignal : public ::testing::TestWithParam<Ending> {};

TEST_P(TerminalSessionEndedBySignal, RestoresThenDiesOfTheSignal) {
  PtySession session(kProgram, {}, 80, 50, kTrueColorEnv);
  ASSERT_TRUE(session.Started());
  ASSERT_TRUE(session.ReadUntil(kFrameEnd));
  if (GetParam().keys) {
    session.Type(GetParam().keys);
  } else {
    kill(session.ProgramPid(), GetParam().signal);
  }
  EXPECT_EQ(session.Wait(), 128 + GetParam().signal);
  ExpectSameModes(session.CurrentModes(), session.InitialModes());
  ExpectCursorShownAndWrapOn(session.Output());
}

INSTANTIATE_TEST_SUITE_P(Endings, TerminalSessionEndedBySignal,
                         ::testing::Values(Ending{"CtrlC", "\x03", SIGINT}, Ending{"CtrlBackslash", "\x1c", SIGQUIT},
                                           Ending{"Term", nullptr, SIGTERM}, Ending{"Hangup", nullptr, SIGHUP},
                                           Ending{"Segfault", nullptr, SIGSEGV}),
                         [](const auto& info) { return std::string(info.param.name); });

// A terminal that stops reading (a frozen link, output stopped) keeps the show's write
// waiting: a signal that ends the show still ends it, the restore bytes going as far as the
// terminal takes them.
class TerminalSessionStalled : public ::testing::TestWithParam<Ending> {};

TEST_P(TerminalSessionStalled, EndsByTheSignalWhenTheTerminalStopsReading) {
  PtySession session(kProgram, {"flood"}, 80, 50, kTrueColorEnv);
  ASSERT_TRUE(session.Started());
  ASSERT_TRUE(session.ReadUntil(kFrameEnd));
  ASSERT_TRUE(session.StopOutputAndWaitBlockedWriting());
  kill(session.ProgramPid(), GetParam().signal);
  EXPECT_EQ(session.WaitWithoutReading(), 128 + GetParam().signal) << "the show did not end (-1) after the signal";
  ExpectSameModes(session.CurrentModes(), session.InitialModes());
}

INSTANTIATE_TEST_SUITE_P(Endings, TerminalSessionStalled,
                         ::testing::Values(Ending{"Interrupt", nullptr, SIGINT}, Ending{"Quit", nullptr, SIGQUIT},
                                           Ending{"Term", nullptr, SIGTERM}, Ending{"Hangup", nullptr, SIGHUP}),
                         [](const auto& info) { return std::string(info.param.name); });

// The normal end gives the terminal back through a write that may wait long on a slow link:
// a signal meanwhile still gives it back, and a descriptor another program left non-blocking
// makes the end wait for the terminal instead of dropping the bytes that give it back.
TEST(TerminalSessionGivingBack, ASignalWhileTheEndWaitsOnTheTerminalStillGivesItBack) {
  PtySession session(kProgram, {}, 80, 50, kTrueColorEnv);
  ASSERT_TRUE(session.Started());
  ReadUntilTestFrameShown(session, 0);
  session.StopOutput();
  session.Type("q");
  ASSERT_TRUE(session.WaitBlockedIn({SYS_write, SYS_ioctl}));
  kill(session.ProgramPid(), SIGTERM);
  EXPECT_EQ(session.WaitWithoutReading(), 128 + SIGTERM);
  ExpectSameModes(session.CurrentModes(), session.InitialModes());
}

TEST(TerminalSessionGivingBack, ANonBlockingTerminalThatWaitsGetsEveryByteOfTheEnd) {
  PtySession session(kProgram, {}, 80, 50, kTrueColorEnv);
  ASSERT_TRUE(session.Started());
  session.MakeNonBlocking();
  ReadUntilTestFrameShown(session, 0);
  session.StopOutput();
  session.Type("q");
  ASSERT_TRUE(session.WaitBlockedIn({SYS_poll, SYS_ppoll})) << "the end did not wait for the terminal";
  session.ResumeOutput();
  EXPECT_EQ(session.Wait(), 0);
  ExpectSameModes(session.CurrentModes(), session.InitialModes());
  ExpectCursorShownAndWrapOn(session.Output());
}

// A stop's handler that waits on a terminal which stopped reading has made the shell's
// descriptor non-blocking meanwhile: an ending signal then waits until it has given the
// terminal back, and ends the show once it continues.
TEST(TerminalSessionGivingBack, AnEndingSignalWaitsForTheStopsHandler) {
  PtySession session(kProgram, {}, 80, 50, kTrueColorEnv);
  ASSERT_TRUE(session.Started());
  ReadUntilTestFrameShown(session, 0);
  session.StopOutput();
  kill(session.ProgramPid(), SIGTSTP);
  ASSERT_TRUE(session.WaitNonBlocking()) << "the stop's handler never wrote";
  kill(session.ProgramPid(), SIGTERM);
  EXPECT_TRUE(session.WaitStopped());
  kill(session.ProgramPid(), SIGCONT);
  EXPECT_EQ(session.WaitWithoutReading(), 128 + SIGTERM);
  ExpectSameModes(session.CurrentModes(), session.InitialModes());
  EXPECT_FALSE(session.NonBlocking()) << "the shell's terminal left non-blocking";
}

// The handlers run on a stack of their own: the one that overflowed has no room left.
TEST(TerminalSession, StackOverflowStillRestoresTheTerminal) {
  PtySession session(kProgram, {"overflow"}, 80, 50, kTrueColorEnv);
  ASSERT_TRUE(session.Started());
  EXPECT_EQ(session.Wait(), 128 + SIGSEGV);
  ExpectSameModes(session.CurrentModes(), session.InitialModes());
  ExpectCursorShownAndWrapOn(session.Output());
}

TEST(TerminalSession, FailedAssertionRestoresBeforeItsReport) {
  PtySession session(kProgram, {"assert"}, 80, 50, kTrueColorEnv);
  ASSERT_TRUE(session.Started());
  EXPECT_EQ(session.Wait(), 128 + SIGABRT);
  ExpectSameModes(session.CurrentModes(), session.InitialModes());
  ExpectCursorShownAndWrapOn(session.Output());
  const size_t report = session.Output().find("Assertion failed: missing != nullptr, file terminal_show, line ");
  ASSERT_NE(report, std::string::npos) << session.Output();
  EXPECT_GT(report, session.Output().rfind(kShowCursor));
}

TEST(TerminalSession, CtrlZStopsWithTheTerminalRestoredAndContinuesWithAFullRedraw) {
  PtySession session(kProgram, {}, 80, 50, kTrueColorEnv);
  ASSERT_TRUE(session.Started());
  ReadUntilTestFrameShown(session, 0);  // not just the blank frame of the start
  const size_t stoppedAt = session.Output().size();
  session.Type("\x1a");
  ASSERT_TRUE(session.WaitStopped());
  ASSERT_TRUE(session.ReadUntil(kShowCursor, stoppedAt));
  ExpectSameModes(session.CurrentModes(), session.InitialModes());
  ExpectCursorShownAndWrapOn(session.Output());

  const size_t resumedAt = session.Output().size();
  kill(session.ProgramPid(), SIGCONT);
  ASSERT_TRUE(session.ReadUntil("\x1b[2J", resumedAt));
  // The frame does not change: only a full redraw on the cleared screen shows it again.
  ReadUntilTestFrameShown(session, resumedAt, /*cursorHidden=*/true);
  EXPECT_EQ(session.CurrentModes().c_lflag & (ICANON | ECHO), 0u) << "raw mode not taken again";
  session.Type("q");
  EXPECT_EQ(session.Wait(), 0);
  ExpectSameModes(session.CurrentModes(), session.InitialModes());
}

// The give-back steps are a program's clean-up for its end (the capture tool's kills its
// encoder and removes the file): a stop gives back only the terminal.
TEST(TerminalSession, CtrlZLeavesTheProgramsGiveBackStepsForTheEnd) {
  PtySession session(kProgram, {"step"}, 80, 50, kTrueColorEnv);
  ASSERT_TRUE(session.Started());
  ASSERT_TRUE(session.ReadUntil(kFrameEnd));
  const size_t stoppedAt = session.Output().size();
  session.Type("\x1a");
  ASSERT_TRUE(session.WaitStopped());
  ASSERT_TRUE(session.ReadUntil(kShowCursor, stoppedAt));
  session.DrainNow();
  EXPECT_EQ(session.Output().find("step ran"), std::string::npos) << "a stop ran the program's clean-up";
  kill(session.ProgramPid(), SIGCONT);
  ASSERT_TRUE(session.ReadUntil(kFrameEnd, session.Output().size()));
  kill(session.ProgramPid(), SIGTERM);
  EXPECT_EQ(session.Wait(), 128 + SIGTERM);
  EXPECT_NE(session.Output().find("step ran"), std::string::npos) << "the end did not run the clean-up";
  ExpectSameModes(session.CurrentModes(), session.InitialModes());
}

// The terminal's title stack: every way out pops the title the show pushed, so the show
// going on after a stop pushes it again and sets its own title once more.
TEST(TerminalSession, AfterCtrlZTheShowHasItsTitleAndEveryPopHasItsPush) {
  constexpr std::string_view kPush = "\x1b[22;0t";
  constexpr std::string_view kPop = "\x1b[23;0t";
  constexpr std::string_view kOurTitle = "\x1b]2;terminal test\x07";
  const auto count = [](const std::string& output, std::string_view what) {
    int n = 0;
    for (size_t at = output.find(what); at != std::string::npos; at = output.find(what, at + 1)) ++n;
    return n;
  };
  PtySession session(kProgram, {}, 80, 50, kTrueColorEnv);
  ASSERT_TRUE(session.Started());
  ASSERT_TRUE(session.ReadUntil(kOurTitle));
  ASSERT_TRUE(session.ReadUntil(kFrameEnd));
  const size_t stoppedAt = session.Output().size();
  session.Type("\x1a");
  ASSERT_TRUE(session.WaitStopped());
  ASSERT_TRUE(session.ReadUntil(kPop, stoppedAt));
  const size_t resumedAt = session.Output().size();
  kill(session.ProgramPid(), SIGCONT);
  // The redraw on the cleared screen comes after the title.
  ASSERT_TRUE(session.ReadUntil("\x1b[2J", resumedAt));
  const std::string resumed = session.Output().substr(resumedAt, session.Output().find("\x1b[2J", resumedAt) - resumedAt);
  const size_t pushed = resumed.find(kPush);
  ASSERT_NE(pushed, std::string::npos) << "the title was not pushed again";
  EXPECT_NE(resumed.find(kOurTitle, pushed), std::string::npos) << "the show's title not set again";
  session.Type("q");
  EXPECT_EQ(session.Wait(), 0);
  EXPECT_EQ(count(session.Output(), kPush), 2);
  EXPECT_EQ(count(session.Output(), kPop), 2);
}

TEST(TerminalSession, TooSmallTerminalGetsAMessageThenThePictureOnceLargeEnough) {
  PtySession session(kProgram, {}, 60, 20, kTrueColorEnv);
  ASSERT_TRUE(session.Started());
  ASSERT_TRUE(session.ReadUntil("press a key to quit."));
#ifdef QVL_HAVE_VTERM
  {
    VtScreen small(60, 20);
    small.Feed(session.Output());
    EXPECT_EQ(small.RowText(0, 60), "The show needs a terminal of at least 80 x 50 cells;");
    EXPECT_EQ(small.RowText(1, 60), "this one has 60 x 20.");
    for (int row = 4; row < 20; ++row) EXPECT_EQ(small.RowText(row, 60), "") << "row " << row;
  }
#endif
  EXPECT_NE(session.Output().find("\x1b[8;50;80t"), std::string::npos) << "no request to resize";
  // The show keeps presenting meanwhile; none of it reaches the terminal (a short look: what
  // is not there cannot be waited for).
  ASSERT_TRUE(session.ReadUntil("terminal test"));
  EXPECT_FALSE(session.ReadUntil(kFrameEnd, 0, 200));
  EXPECT_EQ(session.Output().find("\x1b[38;2;"), std::string::npos) << "picture drawn into a small terminal";

  const size_t resizedAt = session.Output().size();
  session.Resize(80, 50);
  ReadUntilTestFrameShown(session, resizedAt);
  session.Type("x");
  EXPECT_EQ(session.Wait(), 0);
  ExpectSameModes(session.CurrentModes(), session.InitialModes());
}

TEST(TerminalSession, LosingTheTerminalEndsTheShowCleanly) {
  PtySession session(kProgram, {"animate"}, 80, 50, kTrueColorEnv, /*separateOutput=*/true);
  ASSERT_TRUE(session.Started());
  ASSERT_TRUE(session.ReadUntil(kFrameEnd));
  session.CloseOutputTerminal();
  EXPECT_EQ(session.Wait(), 0) << "the show should end as if by a key, not die or hang";
}

// A terminal that will not take the show's modes is left as it was: one line, no bytes to it.
TEST(TerminalSession, ATerminalThatRefusesRawModeIsRefusedInOneLine) {
  PtySession session(std::string(QVL_TEST_PROGRAM_DIR) + "/terminal_refused", {}, 80, 50, kTrueColorEnv);
  ASSERT_TRUE(session.Started());
  EXPECT_EQ(session.Wait(), 1);
  EXPECT_EQ(session.Output(), "terminal_refused: the terminal does not take the show's modes: Input/output error\r\n");
  ExpectSameModes(session.CurrentModes(), session.InitialModes());
}

// Without a hangup (nohup, SIGHUP ignored) a terminal that goes away shows only in failed
// writes: a program ends as it does when its window's display goes away.
TEST(TerminalSession, ATerminalThatGoesAwayEndsTheProgramWithALineAndStatusOne) {
  const std::string testcard = std::string(QVL_TOOLS_DIR) + "/quorvel4-testcard";
  PtySession session(testcard, {"--backend", "terminal"}, 80, 50, kTrueColorEnv, /*separateOutput=*/true);
  ASSERT_TRUE(session.Started());
  ASSERT_TRUE(session.ReadUntil(kFrameEnd));
  session.CloseOutputTerminal();
  const size_t closedAt = session.Output().size();  // from here on what the other terminal shows
  EXPECT_EQ(session.Wait(), 1);
  EXPECT_EQ(session.Output().substr(closedAt), "quorvel4-testcard: the terminal went away (a write to it failed)\r\n");
}

// A program that reads keys as commands (terminal_show keys) names each key it takes in its
// status line: the keys as the decoder gives them, the line where the terminal has room.
#ifdef QVL_HAVE_VTERM
// Reads until the emulator, fed all the output so far, satisfies `done`.
template <typename Done>
testing::AssertionResult ReadUntilScreen(PtySession& session, VtScreen& vt, size_t& fed, Done done, std::string_view what) {
  return session.ReadUntilDone(
      [&](const std::string& output) {
        vt.Feed(std::string_view(output).substr(fed));
        fed = output.size();
        return done();
      },
      what);
}

TEST(TerminalSessionKeys, TheStatusLineIsOnTheRowBelowThePictureWhichStaysAsItWas) {
  PtySession session(kProgram, {"keys"}, 80, 51, kTrueColorEnv);
  ASSERT_TRUE(session.Started());
  VtScreen vt(80, 51);
  size_t fed = 0;
  const auto statusIs = [&](const std::string& text) {
    return vt.Utf8Text(50, 0, 80) == text && FirstWrongCell(vt, TestFrame(), ColorMode::kTrueColor).empty();
  };
  ASSERT_TRUE(ReadUntilScreen(session, vt, fed, [&] { return statusIs("keys: none"); }, "the first status line"))
      << "row 50: " << vt.Utf8Text(50, 0, 80) << "; " << FirstWrongCell(vt, TestFrame(), ColorMode::kTrueColor);
  session.Type("\x1b[1;2C\xc3\xa9\x1b[5;3~\x1bOH\x1b[1;5D\x1b[3~ ");
  session.Type("\x1b");  // alone: Escape once nothing follows
  ASSERT_TRUE(ReadUntilScreen(session, vt, fed, [&] { return statusIs("keys: S-Right \xc3\xa9 A-PageUp Home C-Left Delete   Esc"); },
                              "the keys named"))
      << "row 50: " << vt.Utf8Text(50, 0, 80);
  EXPECT_EQ(vt.Title(), "terminal test") << "the title is the program's while the line has its row";
  session.Type("q");
  EXPECT_EQ(session.Wait(), 0);
  ExpectSameModes(session.CurrentModes(), session.InitialModes());
  ExpectCursorShownAndWrapOn(session.Output());
  EXPECT_EQ(session.PendingInput(), 0);
  // The closing line comes right below the status line: the prompt would too.
  vt.Feed(std::string_view(session.Output()).substr(fed));
  int closing = -1;
  for (int row = 0; row < 51; ++row) closing = vt.RowText(row, 80) == "given back" ? row : closing;
  ASSERT_GT(closing, 0) << "no closing line";
  EXPECT_EQ(vt.Utf8Text(closing - 1, 0, 80), "keys: S-Right \xc3\xa9 A-PageUp Home C-Left Delete   Esc q");
}

TEST(TerminalSessionKeys, WithoutARowBelowThePictureTheTitleCarriesTheStatusLine) {
  PtySession session(kProgram, {"keys"}, 80, 50, kTrueColorEnv);
  ASSERT_TRUE(session.Started());
  VtScreen vt(80, 50);
  size_t fed = 0;
  const std::string kDash = " - ";
  ASSERT_TRUE(ReadUntilScreen(session, vt, fed, [&] { return vt.Title() == "keys: none" + kDash + "terminal test"; },
                              "the status line in the title"))
      << vt.Title();
  session.Type("\x1b[6;2~");
  ASSERT_TRUE(ReadUntilScreen(session, vt, fed, [&] { return vt.Title() == "keys: S-PageDown" + kDash + "terminal test"; },
                              "the key in the title"))
      << vt.Title();
  ReadUntilTestFrameShown(session, 0);
  session.Type("q");
  EXPECT_EQ(session.Wait(), 0);
  ExpectSameModes(session.CurrentModes(), session.InitialModes());
  const std::string& output = session.Output();
  EXPECT_GT(output.rfind("\x1b[23;0t"), output.rfind("\x1b]2;")) << "the terminal's own title not taken back last";
}
#endif

// Ctrl-C reaches the program as SIGINT (the terminal keeps ISIG): a program that reads keys
// ends in order on it, saying its closing line after the terminal is given back, and then
// dies of the signal as a shell expects; so it does on SIGTERM.
TEST(TerminalSessionKeys, CtrlCAndSigtermEndAProgramThatReadsKeysInOrder) {
  for (const Ending& ending : {Ending{"CtrlC", "\x03", SIGINT}, Ending{"Term", nullptr, SIGTERM}}) {
    SCOPED_TRACE(ending.name);
    PtySession session(kProgram, {"keys"}, 80, 51, kTrueColorEnv);
    ASSERT_TRUE(session.Started());
    ASSERT_TRUE(session.ReadUntil("keys: none"));
    ASSERT_TRUE(session.ReadUntil(kFrameEnd, session.Output().find("keys: none")));
    if (ending.keys) {
      session.Type(ending.keys);
    } else {
      kill(session.ProgramPid(), ending.signal);
    }
    EXPECT_EQ(session.Wait(), 128 + ending.signal);
    ExpectSameModes(session.CurrentModes(), session.InitialModes());
    ExpectCursorShownAndWrapOn(session.Output());
    const size_t closing = session.Output().rfind("given back");
    ASSERT_NE(closing, std::string::npos) << "ended without its closing line: not in order";
    EXPECT_GT(closing, session.Output().rfind(kShowCursor));
  }
}

// Palette mode: the VGA colours are set on the way in (and again after a stop) and the
// terminal's own palette comes back on every way out.
const std::vector<std::string> kPaletteEnv = {"TERM=xterm-256color", "QVL_COLORS=palette"};
constexpr std::string_view kSetPalette = "\x1b]4;0;rgb:00/00/00\x1b\\\x1b]4;4;rgb:00/00/aa\x1b\\";
constexpr std::string_view kResetPalette = "\x1b]104\x1b\\";
constexpr std::string_view kPaletteQuery = "\x1b]4;0;?";

// A terminal that takes the VGA colours, asked for them back after they were set, names them
// (in its own 16-bit form) and then answers the device attributes.
void AnswerTheVgaColoursBack(PtySession& session) {
  ASSERT_TRUE(session.ReadUntil(kSetPalette));
  ASSERT_TRUE(session.ReadUntil("\x1b]4;15;?", session.Output().rfind(kSetPalette)));
  std::string answers;
  for (int console = 0; console < 16; ++console) {
    const Rgb& c = kVgaPalette[console];
    char answer[64];
    std::snprintf(answer, sizeof answer, "\x1b]4;%d;rgb:%02x%02x/%02x%02x/%02x%02x\x1b\\", AnsiColorOf(console), c.r, c.r,
                  c.g, c.g, c.b, c.b);
    answers += answer;
  }
  session.Type(answers + "\x1b[?62c");
}

void ExpectPaletteGivenBack(const std::string& output, size_t from = 0) {
  const size_t set = output.rfind(kSetPalette);
  ASSERT_TRUE(set != std::string::npos && set >= from) << "the palette was not set";
  const size_t reset = output.rfind(kResetPalette);
  EXPECT_TRUE(reset != std::string::npos && reset > set) << "the palette was left set";
}

struct PaletteEnding {
  const char* name;
  const char* arg;   // for terminal_show, or null
  const char* keys;  // typed, or null to send `signal`
  int signal;
  int status;
};

TEST(TerminalSessionPalette, GivenBackOnEveryWayOut) {
  const PaletteEnding endings[] = {
      {"key", nullptr, "q", 0, 0},
      {"Ctrl-C", nullptr, "\x03", 0, 128 + SIGINT},
      {"Ctrl-\\", nullptr, "\x1c", 0, 128 + SIGQUIT},
      {"SIGTERM", nullptr, nullptr, SIGTERM, 128 + SIGTERM},
      {"SIGHUP", nullptr, nullptr, SIGHUP, 128 + SIGHUP},
      {"SIGSEGV", nullptr, nullptr, SIGSEGV, 128 + SIGSEGV},
      {"failed assertion", "assert", nullptr, 0, 128 + SIGABRT},
      {"stack overflow", "overflow", nullptr, 0, 128 + SIGSEGV},
  };
  for (const PaletteEnding& ending : endings) {
    SCOPED_TRACE(ending.name);
    std::vector<std::string> args;
    if (ending.arg) args.push_back(ending.arg);
    PtySession session(kProgram, args, 80, 50, kPaletteEnv);
    ASSERT_TRUE(session.Started());
    if (!ending.arg) {
      ASSERT_TRUE(session.ReadUntil(kFrameEnd));
      if (ending.keys) session.Type(ending.keys);
      else kill(session.ProgramPid(), ending.signal);
    }
    EXPECT_EQ(session.Wait(), ending.status);
    ExpectSameModes(session.CurrentModes(), session.InitialModes());
    ExpectPaletteGivenBack(session.Output());
  }
}

TEST(TerminalSessionPalette, CtrlZGivesItBackAndContinuingSetsItAgain) {
  PtySession session(kProgram, {}, 80, 50, kPaletteEnv);
  ASSERT_TRUE(session.Started());
  ASSERT_TRUE(session.ReadUntil(kFrameEnd));
  const size_t stoppedAt = session.Output().size();
  session.Type("\x1a");
  ASSERT_TRUE(session.WaitStopped());
  ASSERT_TRUE(session.ReadUntil(kResetPalette, stoppedAt));
  const size_t resumedAt = session.Output().size();
  kill(session.ProgramPid(), SIGCONT);
  ASSERT_TRUE(session.ReadUntil(kSetPalette, resumedAt));
  ASSERT_TRUE(session.ReadUntil(kFrameEnd, resumedAt));
  session.Type("q");
  EXPECT_EQ(session.Wait(), 0);
  ExpectPaletteGivenBack(session.Output(), resumedAt);
}

#ifdef QVL_HAVE_VTERM
// The picture through an emulator in palette mode: 16-colour forms only, read through the
// palette that was set.
TEST(TerminalSessionPalette, FrameShowsInTheSixteenColourForms) {
  PtySession session(kProgram, {}, 80, 50, kPaletteEnv);
  ASSERT_TRUE(session.Started());
  VtScreen vt(80, 50);
  std::string seen;
  size_t from = 0;
  ASSERT_TRUE(session.ReadUntilDone(
      [&](const std::string& output) {
        vt.Feed(std::string_view(output).substr(from));
        from = output.size();
        return (seen = FirstWrongCell(vt, TestFrame(), ColorMode::kPalette)).empty();
      },
      "the test frame in palette colours"))
      << seen;
  EXPECT_EQ(session.Output().find("\x1b[38;"), std::string::npos);
  session.Type("q");
  EXPECT_EQ(session.Wait(), 0);
}
#endif

// Without QVL_COLORS the terminal is asked; its answer, split in two reads, chooses the palette
// and ends nothing. The test frame changes every frame ("animate"), so frames after the answer
// show the show goes on.
TEST(TerminalSessionPalette, ChosenByTheTerminalsAnswerWhichIsNoKey) {
  // The show waits for the answer as long as the test may need to give it.
  PtySession session(kProgram, {"animate"}, 80, 50,
                     {"TERM=xterm-256color", "QVL_COLORS=", "COLORTERM=truecolor", "QVL_ANSWER_WAIT_MS=60000"});
  ASSERT_TRUE(session.Started());
  ASSERT_TRUE(session.ReadUntil(kPaletteQuery));
  session.Type("\x1b]4;0;rgb:1e1e/");
  session.Type("1e1e/1e1e\x1b\\\x1b[?62;22c");
  AnswerTheVgaColoursBack(session);
  const size_t setAt = session.Output().size();
  // The leave bytes end synchronized output too: only a run of frame ends shows it goes on.
  ASSERT_TRUE(session.ReadUntil(kFrameEnd, setAt));
  for (int k = 0; k < 3; ++k) ASSERT_TRUE(session.ReadUntil(kFrameEnd, session.Output().size())) << "ended by the answer";
  session.Type("q");
  EXPECT_EQ(session.Wait(), 0);
  ExpectPaletteGivenBack(session.Output());
}

// The terminal's own colours, as it named them, are set again after the palette's reset on the
// way out: some terminals ignore the reset.
TEST(TerminalSessionPalette, GivesBackTheColoursTheTerminalNamed) {
  PtySession session(kProgram, {"animate"}, 80, 50,
                     {"TERM=xterm-256color", "QVL_COLORS=", "COLORTERM=truecolor", "QVL_ANSWER_WAIT_MS=60000"});
  ASSERT_TRUE(session.Started());
  ASSERT_TRUE(session.ReadUntil("\x1b]4;15;?"));
  session.Type("\x1b]4;0;rgb:1e1e/1e1e/1e1e\x1b\\\x1b]4;1;rgb:cdcd/0000/0000\x1b\\\x1b[?62c");
  AnswerTheVgaColoursBack(session);
  ASSERT_TRUE(session.ReadUntil(kFrameEnd, session.Output().size()));
  session.Type("q");
  EXPECT_EQ(session.Wait(), 0);
  ExpectPaletteGivenBack(session.Output());
  const std::string& output = session.Output();
  const size_t reset = output.rfind(kResetPalette);
  ASSERT_NE(reset, std::string::npos);
  EXPECT_EQ(output.find("\x1b]4;0;rgb:1e/1e/1e\x1b\\\x1b]4;1;rgb:cd/00/00\x1b\\", reset), reset + kResetPalette.size());
  EXPECT_EQ(output.find("\x1b]4;2;", reset), std::string::npos) << "an entry the terminal did not name";
}

// A terminal that answers the palette questions but does not take the colours it is sent
// (it names its own again when asked back) is given its own colours back at once and drawn in
// 24-bit colour: no palette set afterwards, and the show goes on.
TEST(TerminalSessionPalette, ATerminalThatDoesNotTakeTheColoursIsDrawnInTrueColour) {
  PtySession session(kProgram, {"animate"}, 80, 50,
                     {"TERM=xterm-256color", "QVL_COLORS=", "COLORTERM=truecolor", "QVL_ANSWER_WAIT_MS=60000"});
  ASSERT_TRUE(session.Started());
  const std::string ownColours = "\x1b]4;0;rgb:2323/2626/2727\x07\x1b]4;6;rgb:1a1a/bcbc/9c9c\x07\x1b[?62;1;4c";
  ASSERT_TRUE(session.ReadUntil("\x1b]4;15;?"));
  session.Type(ownColours);
  ASSERT_TRUE(session.ReadUntil(kSetPalette));
  const size_t setAt = session.Output().rfind(kSetPalette);
  ASSERT_TRUE(session.ReadUntil("\x1b]4;15;?", setAt));
  session.Type(ownColours);
  const std::string giveBack = "\x1b]4;0;rgb:23/26/27\x1b\\\x1b]4;6;rgb:1a/bc/9c\x1b\\";
  ASSERT_TRUE(session.ReadUntil(giveBack, setAt)) << "its own colours back";
  const size_t backAt = session.Output().find(giveBack, setAt);
  ASSERT_TRUE(session.ReadUntil("\x1b[38;2;", backAt)) << "24-bit colour";
  for (int k = 0; k < 3; ++k) ASSERT_TRUE(session.ReadUntil(kFrameEnd, session.Output().size())) << "ended by the answers";
  session.Type("q");
  EXPECT_EQ(session.Wait(), 0);
  EXPECT_EQ(session.Output().find(kSetPalette, backAt), std::string::npos);
  EXPECT_EQ(session.Output().find(kResetPalette, backAt), std::string::npos) << "no palette mode to leave";
}

// A terminal that answers only after the show has chosen 24-bit colour: the late answer,
// mixed with nothing else, does not end the show; a key after it does.
TEST(TerminalSessionPalette, NoAnswerInTimeKeepsTrueColourAndTheLateAnswerIsNoKey) {
  PtySession session(kProgram, {"animate"}, 80, 50,
                     {"TERM=xterm-256color", "QVL_COLORS=", "COLORTERM=truecolor", "QVL_ANSWER_WAIT_MS=0"});
  ASSERT_TRUE(session.Started());
  ASSERT_TRUE(session.ReadUntil(kPaletteQuery));
  ASSERT_TRUE(session.ReadUntil("\x1b[38;2;")) << "24-bit colour after no answer";
  session.Type("\x1b]4;0;rgb:0000/0000/0000\x07");
  session.Type("\x1b[?62c");
  // Frames go on after the answer has surely been read (each frame tests for a key).
  for (int k = 0; k < 3; ++k) ASSERT_TRUE(session.ReadUntil(kFrameEnd, session.Output().size()));
  session.Type("q");
  EXPECT_EQ(session.Wait(), 0);
  EXPECT_EQ(session.Output().find(kSetPalette), std::string::npos);
  EXPECT_EQ(session.PendingInput(), 0) << "the key would reach the shell";
}

// A terminal that answers questions but falls behind gets no new frames until it has drawn
// the ones on their way (answered the question sent after each); it is sent the newest then.
TEST(TerminalSession, ATerminalThatFallsBehindGetsNoNewFramesUntilItCatchesUp) {
  constexpr std::string_view kAsk = "\x1b[c";
  constexpr std::string_view kAnswer = "\x1b[?62c";
  const auto asked = [&](const std::string& output, size_t from) {
    int count = 0;
    for (size_t at = output.find(kAsk, from); at != std::string::npos; at = output.find(kAsk, at + 1)) ++count;
    return count;
  };
  PtySession session(kProgram, {"flood"}, 80, 50, kTrueColorEnv);
  ASSERT_TRUE(session.Started());
  ASSERT_TRUE(session.ReadUntil(kAsk)) << "asked at the start whether it answers";
  const size_t startAsked = session.Output().find(kAsk) + kAsk.size();
  session.Type(kAnswer);
  ASSERT_TRUE(session.ReadUntil(kAsk, startAsked)) << "asked after a frame";
  // Nothing more is answered: at most a second of frames may follow. This waits two seconds
  // for the frames that must not come (the show would send hundreds in that time).
  constexpr int kMost = 60;
  EXPECT_FALSE(session.ReadUntilDone([&](const std::string& out) { return asked(out, startAsked) > kMost; },
                                     "more frames than a terminal that answers nothing may get", 2000));
  const int unanswered = asked(session.Output(), startAsked);
  // Drawn at last: the frames go on.
  for (int k = 0; k < unanswered; ++k) session.Type(kAnswer);
  const size_t caughtUp = session.Output().size();
  ASSERT_TRUE(session.ReadUntil(kFrameEnd, caughtUp)) << "frames again once the terminal has caught up";
  session.Type("q");
  EXPECT_EQ(session.Wait(), 0);
  EXPECT_EQ(session.PendingInput(), 0) << "an answer or the key would reach the shell";
}

TEST(TerminalSession, DumbTerminalIsRefusedInOneLine) {
  PtySession session(kProgram, {}, 80, 50, {"TERM=dumb"});
  ASSERT_TRUE(session.Started());
  EXPECT_EQ(session.Wait(), 1);
  EXPECT_EQ(session.Output(), "terminal_show: TERM is \"dumb\"; the show needs a terminal that understands ANSI escape "
                              "sequences.\r\n");
}

TEST(TerminalSession, OutputIntoAPipeIsRefusedInOneLine) {
  int status = 0;
  const std::string output = CommandOutput(kProgram + " 2>&1 </dev/null", &status);
  EXPECT_EQ(status, 1);
  EXPECT_EQ(output,
            "terminal_show: standard output is not a terminal; run the show in a terminal of at least 80 x 50 cells.\n");
}

}  // namespace
