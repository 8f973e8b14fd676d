// The display's signals on POSIX systems: sigaction handlers on a stack of their own.
#include <signal.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "give_back_steps.h"

namespace display_signals {
namespace {

constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
constexpr int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};

// Written only with every signal blocked, so a handler never sees half of them.
Plan gPlan;
bool gInstalled = false;
StepList gSteps;

volatile sig_atomic_t gEndSignal = 0;  // the signal that asked the show to end in order
volatile sig_atomic_t gStopped = 0;    // given back for a stop, to be taken again on continuing
volatile sig_atomic_t gResized = 0;

// Each signal's handler as it was before this module took it, while it holds it.
struct Held {
  bool ours = false;
  struct sigaction previous {};
};
Held gHeld[NSIG];

// Room for the handlers when the stack they would run on is the one that overflowed.
alignas(16) char gHandlerStack[64 * 1024];
stack_t gPreviousStack{};
bool gOnOwnStack = false;

class SignalsHeldOff {
 public:
  SignalsHeldOff() {
    sigset_t all;
    sigfillset(&all);
    sigprocmask(SIG_BLOCK, &all, &previous_);
  }
  ~SignalsHeldOff() { sigprocmask(SIG_SETMASK, &previous_, nullptr); }
  SignalsHeldOff(const SignalsHeldOff&) = delete;
  SignalsHeldOff& operator=(const SignalsHeldOff&) = delete;

 private:
  sigset_t previous_;
};

void GiveBackDisplay() {
  if (gInstalled && gPlan.giveBack) gPlan.giveBack();
}

// For the endings only: the program's steps end its work for good (the capture tool's
// stops its encoder and removes the file).
void GiveBack() {
  GiveBackDisplay();
  gSteps.RunAll();
}

void DieOf(int signal) {
  struct sigaction fallback {};
  fallback.sa_handler = SIG_DFL;
  sigemptyset(&fallback.sa_mask);
  sigaction(signal, &fallback, nullptr);
  raise(signal);  // delivered once the handler returns and the signal is unblocked
}

void OnEnding(int signal) {
  const int saved = errno;
  if (gInstalled && gPlan.endInOrder && (signal == SIGINT || signal == SIGTERM) && gEndSignal == 0) {
    gEndSignal = signal;
  } else {
    GiveBack();
    DieOf(signal);
  }
  errno = saved;
}

void OnFatal(int signal) {
  GiveBack();
  DieOf(signal);
}

void TakeBack() {
  gStopped = 0;
  if (gInstalled && gPlan.takeBack) gPlan.takeBack();
}

// A stop is no end: the program goes on after it with its work, so only the display is given
// back.
void OnStop(int) {
  const int saved = errno;
  GiveBackDisplay();
  gStopped = 1;
  struct sigaction stop {}, ours {};
  stop.sa_handler = SIG_DFL;
  sigemptyset(&stop.sa_mask);
  sigaction(SIGTSTP, &stop, &ours);
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, SIGTSTP);
  sigaddset(&only, SIGCONT);  // its handler takes the terminal back as the process continues
  sigprocmask(SIG_UNBLOCK, &only, nullptr);
  // Stops here. An orphaned process group ignores the stop, and the show simply goes on.
  raise(SIGTSTP);
  sigaction(SIGTSTP, &ours, nullptr);
  if (gStopped) TakeBack();  // unless SIGCONT's handler has done it
  errno = saved;
}

// Also after a SIGSTOP from outside: the shell may have changed the terminal meanwhile.
void OnContinue(int) {
  const int saved = errno;
  TakeBack();
  errno = saved;
}

void OnResize(int) { gResized = 1; }

// The signals whose handlers give the terminal back or take it again: each of these handlers
// runs with all of them held off, so that none cuts another short while it has the shell's
// terminal half given back (raw, or non-blocking while it writes). The stop's handler lets
// SIGCONT through while it is stopped; a fatal signal is never held off (the kernel would
// end the process at once, without its handler).
void AddHandledSignals(sigset_t& set) {
  sigemptyset(&set);
  for (int signal : kEndingSignals) sigaddset(&set, signal);
  sigaddset(&set, SIGTSTP);
  sigaddset(&set, SIGCONT);
}

// Takes `signal` for `handler`, unless the program chose to ignore it.
void Take(int signal, void (*handler)(int)) {
  Held& held = gHeld[signal];
  if (held.ours) return;
  struct sigaction previous {};
  sigaction(signal, nullptr, &previous);
  if (previous.sa_handler == SIG_IGN && handler != SIG_IGN) return;
  struct sigaction action {};
  action.sa_handler = handler;
  AddHandledSignals(action.sa_mask);
  action.sa_flags = SA_RESTART | SA_ONSTACK;
  sigaction(signal, &action, &held.previous);
  held.ours = true;
}

void Release(int signal) {
  Held& held = gHeld[signal];
  if (!held.ours) return;
  sigaction(signal, &held.previous, nullptr);
  held.ours = false;
}

void TakeOrRelease(int signal, void (*handler)(int), bool wanted) {
  if (wanted)
    Take(signal, handler);
  else
    Release(signal);
}

// Holds exactly the signals that the plan and the give-back steps need; called with every
// signal blocked.
void Arrange() {
  const bool steps = !gSteps.Empty();
  const bool anything = gInstalled || steps;
  if (anything && !gOnOwnStack) {
    stack_t handlerStack{};
    handlerStack.ss_sp = gHandlerStack;
    handlerStack.ss_size = sizeof gHandlerStack;
    sigaltstack(&handlerStack, &gPreviousStack);
    gOnOwnStack = true;
  }
  for (int signal : kEndingSignals) TakeOrRelease(signal, OnEnding, anything);
  for (int signal : kFatalSignals) TakeOrRelease(signal, OnFatal, (gInstalled && gPlan.giveBack) || steps);
  const bool stops = gInstalled && gPlan.takeBack;
  TakeOrRelease(SIGTSTP, OnStop, stops);
  TakeOrRelease(SIGCONT, OnContinue, stops);
  TakeOrRelease(SIGWINCH, OnResize, gInstalled);
  TakeOrRelease(SIGPIPE, SIG_IGN, gInstalled);
  if (!anything && gOnOwnStack) {
    sigaltstack(&gPreviousStack, nullptr);
    gOnOwnStack = false;
  }
}

}  // namespace

void Install(const Plan& plan) {
  // A program that never makes the call still ends by the signal, once its main returns.
  static const bool kAtExit = std::atexit(RaiseDeferredSignal) == 0;
  (void)kAtExit;
  SignalsHeldOff heldOff;
  if (gInstalled) return;
  gPlan = plan;
  gInstalled = true;
  gEndSignal = 0;
  gStopped = 0;
  gResized = 0;
  Arrange();
}

void Remove() {
  SignalsHeldOff heldOff;
  if (!gInstalled) return;
  gInstalled = false;
  gPlan = Plan{};
  Arrange();
}

void EndInOrder() {
  SignalsHeldOff heldOff;
  if (gInstalled) gPlan.endInOrder = true;
}

bool EndRequested() { return gEndSignal != 0; }

void RaiseDeferredSignal() {
  const int caught = gEndSignal;
  if (caught == 0) return;
  std::fflush(nullptr);
  // To the handler the program had before the show, or to the give-back steps' (which end
  // the process), or to the default action. Still marked as asked meanwhile, so that a
  // display not yet given back is given back first, not asked again.
  raise(caught);
  gEndSignal = 0;
}

bool TakeResized() {
  if (!gResized) return false;
  gResized = 0;
  return true;
}

bool AddGiveBackStep(Step step) {
  SignalsHeldOff heldOff;
  const bool added = gSteps.Add(step);
  Arrange();
  return added;
}

void RemoveGiveBackStep(Step step) {
  SignalsHeldOff heldOff;
  gSteps.Remove(step);
  Arrange();
}

}  // namespace display_signals
