// The terminal's modes and the way back to them on every way out: a normal end, the
// signals that end or stop a process, and the fatal ones.
//
// One terminal is driven at a time, so the saved state lives in this module's private
// statics: signal handlers can reach nothing else.
#pragma once

#include <string_view>

namespace tty {

enum class WriteEnd { kDone, kStopped, kWouldBlock, kGone };

// Writes `bytes` to `fd`, retrying interrupted writes, until all are written (kDone), `stop`
// (when given) answers true after a partial write (kStopped), the descriptor would block
// (kWouldBlock) or the write fails (kGone). `bytes` keeps what is left. Async-signal-safe.
WriteEnd WriteBytes(int fd, std::string_view& bytes, bool (*stop)());

// Saves the modes of the terminal on `fd` (and the flags of standard input), then puts it
// into raw mode without echo; Ctrl-C, Ctrl-\ and Ctrl-Z still raise their signals. Returns
// false when `fd` is no terminal.
bool EnterRawMode(int fd);

// `leave` is what the terminal is sent on the way out (cursor shown, colours reset, the
// cursor put below the picture); `reenter` what it is sent when the show continues after
// a stop. Copied with the signals held off, so a handler never sees half of them.
void SetRestoreBytes(std::string_view leave);
void SetReenterBytes(std::string_view reenter);

// Handlers for SIGINT, SIGTERM, SIGHUP, SIGQUIT (restore, then die of the same signal),
// SIGTSTP and SIGCONT (restore and stop; raw mode again on continuing), SIGWINCH (a
// flag), the fatal signals SIGSEGV, SIGBUS, SIGFPE, SIGILL and SIGABRT (restore, then die
// of the signal); SIGPIPE is ignored.
void InstallSignalHandlers();
void RemoveSignalHandlers();

// Sends the leave bytes, puts the saved modes and flags back and drops pending input so
// the key that ended the show does not reach the shell. Async-signal-safe; does nothing
// once done or before EnterRawMode.
void RestoreTerminal();

// Set by SIGWINCH; cleared by taking it.
bool TakeResized();
// Set when the show continues after a stop: everything must be drawn again.
bool TakeRedrawAll();
bool RedrawPending();

}  // namespace tty
