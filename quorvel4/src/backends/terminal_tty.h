// The terminal's modes and the way back to them on every way out: a normal end, and (through
// the display's signal handlers) the signals that end or stop a process, and the fatal ones.
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
// false, errno saying why and the terminal as it was, when `fd` is no terminal or it refuses
// the modes (a process group in the background that no shell looks after).
bool EnterRawMode(int fd);

// `leave` is what the terminal is sent on the way out (cursor shown, colours reset, the
// cursor put below the picture); `reenter` what it is sent when the show continues after
// a stop. Copied with the signals held off, so a handler never sees half of them.
void SetRestoreBytes(std::string_view leave);
void SetReenterBytes(std::string_view reenter);

// Sends the leave bytes, puts the saved modes and flags back and drops pending input so
// the key that ended the show does not reach the shell. Async-signal-safe, for the signal
// handlers: it never blocks (a terminal that stopped reading gets what it takes within a
// moment); does nothing once done or before EnterRawMode. For a stop: TakeBack enters the
// show's modes again.
void GiveBack();
// Async-signal-safe; does nothing after RestoreTerminal.
void TakeBack();

// GiveBack for good, at the end of the show.
void RestoreTerminal();

// Set when the show continues after a stop: everything must be drawn again.
bool TakeRedrawAll();
bool RedrawPending();

}  // namespace tty
