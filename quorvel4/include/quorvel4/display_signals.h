// The signals (POSIX) and console control events (Windows) that end, stop or crash the process
// while it holds a display, handled one way for every back end and every program.
//
// A back end that holds the display installs a plan: what to give back first (the terminal's
// modes), and whether an ending asks the show to end in order. A program adds give-back steps
// of its own (the capture tool: stop its encoder, remove its unfinished file); they run on
// every ending or fatal signal, display or not.
//
// POSIX: the handlers run on a stack of their own, so that even a stack overflow gives the
// display back. A signal ignored at start (nohup, a background job) stays ignored. The saved
// state lives in the module's private statics, since a signal handler can reach nothing else.
//
// Windows: Ctrl-C and Ctrl-Break are the ending signals that may end the show in order;
// closing the console, logging off and shutting down give back and let the process end (the
// system ends it once the handler returns). There are no fatal signals and no stops.
#pragma once

namespace display_signals {

struct Plan {
  // Gives the display back before the process dies or stops. Async-signal-safe (on Windows:
  // safe from the control handler's own thread, against a Present running meanwhile). With
  // none, the fatal signals keep the handlers they had (a crash report, say).
  void (*giveBack)() = nullptr;
  // Takes the display again when the process continues after a stop (SIGTSTP, or a SIGSTOP
  // from outside). Async-signal-safe. With none, Ctrl-Z stops the process as it would any.
  void (*takeBack)() = nullptr;
  // SIGINT and SIGTERM (Ctrl-C and Ctrl-Break on Windows) only ask the show to end
  // (EndRequested), which then ends in order: the back end gives the display back on the main
  // thread, the program prints its closing lines, and RaiseDeferredSignal ends the process by
  // that signal. A second one does not wait. Otherwise they give the display back and end the
  // process at once, as SIGHUP and SIGQUIT always do.
  bool endInOrder = false;
};

// Installs the handlers for SIGINT, SIGTERM, SIGHUP and SIGQUIT (ending), SIGSEGV, SIGBUS,
// SIGFPE, SIGILL and SIGABRT (fatal: the display given back, then the process dies of the
// signal), SIGTSTP and SIGCONT (stop and continue), SIGWINCH (a flag); SIGPIPE is ignored, so
// a display that went away is an error to handle, not a silent death. One plan at a time.
void Install(const Plan& plan);

// Puts the handlers the plan took back (those the give-back steps still need stay). A signal
// that asked the show to end stays pending for RaiseDeferredSignal.
void Remove();

// From now on the installed plan ends in order, as if it had said `endInOrder`: for a back end
// whose program has shown that it asks for the end every frame (a program that reads keys as
// commands, which must not lose its work to Ctrl-C). Does nothing without a plan.
void EndInOrder();

// True once an ending signal asked the show to end (with `endInOrder`).
bool EndRequested();

// When an ending signal asked the show to end, ends the process by it now, after flushing the
// standard streams; otherwise returns. Programs call it last, after their closing lines; a
// program that does not is ended by it when it exits.
void RaiseDeferredSignal();

// True once after each SIGWINCH.
bool TakeResized();

// A program's own clean-up, run on every ending and fatal signal before the process dies
// (after the display is given back). Async-signal-safe on POSIX; on Windows it runs on the
// control handler's thread. A stop (SIGTSTP) runs none: the program goes on after it. At most
// four; false when there is no room. Adding the same step twice keeps one.
using Step = void (*)();
bool AddGiveBackStep(Step step);
void RemoveGiveBackStep(Step step);

}  // namespace display_signals
