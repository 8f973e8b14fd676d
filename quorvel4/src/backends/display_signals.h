// The signals that end, stop or crash the process while a back end holds the display: one
// set of handlers for every back end that must give something back first (the terminal's
// modes) or end the show in order (a window).
//
// The handlers run on a stack of their own, so that even a stack overflow gives the display
// back. A signal the caller chose to ignore (nohup, a background job) stays ignored. One plan
// is installed at a time; the saved state lives in the module's private statics, since a
// signal handler can reach nothing else.
#pragma once

namespace display_signals {

struct Plan {
  // Gives the display back before the process dies or stops. Async-signal-safe. With none,
  // the fatal signals keep the handlers they had (a crash report, say).
  void (*giveBack)() = nullptr;
  // Takes the display again when the process continues after a stop (SIGTSTP, or a SIGSTOP
  // from outside). Async-signal-safe. With none, Ctrl-Z stops the process as it would any.
  void (*takeBack)() = nullptr;
  // SIGINT and SIGTERM only ask the show to end (EndRequested), which then ends in order:
  // once the back end gives the display back (Remove), the process ends by that signal. A
  // second one does not wait. Otherwise they give the display back and end the process at once,
  // as SIGHUP and SIGQUIT always do.
  bool endInOrder = false;
};

// Installs the handlers for SIGINT, SIGTERM, SIGHUP and SIGQUIT (ending), SIGSEGV, SIGBUS,
// SIGFPE, SIGILL and SIGABRT (fatal: the display given back, then the process dies of the
// signal), SIGTSTP and SIGCONT (stop and continue), SIGWINCH (a flag); SIGPIPE is ignored, so
// a display that went away is an error to handle, not a silent death.
void Install(const Plan& plan);

// Puts the previous handlers and signal stack back. A signal that asked the show to end is
// then delivered again, to them.
void Remove();

// True once SIGINT or SIGTERM asked the show to end (with `endInOrder`).
bool EndRequested();

// True once after each SIGWINCH.
bool TakeResized();

}  // namespace display_signals
