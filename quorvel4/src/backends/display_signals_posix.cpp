#include <signal.h>

#include <cerrno>
#include <cstdio>

#include "display_signals.h"

namespace display_signals {
namespace {

constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
constexpr int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};

Plan gPlan;
volatile sig_atomic_t gEndSignal = 0;  // the signal that asked the show to end in order
volatile sig_atomic_t gStopped = 0;    // given back for a stop, to be taken again on continuing
volatile sig_atomic_t gResized = 0;

struct SavedAction {
  int signal;
  struct sigaction action;
};
SavedAction gPrevious[16];
int gPreviousCount = 0;
bool gInstalled = false;

// Room for the handlers when the stack they would run on is the one that overflowed.
alignas(16) char gHandlerStack[64 * 1024];
stack_t gPreviousStack{};

void GiveBack() {
  if (gPlan.giveBack) gPlan.giveBack();
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
  if (gPlan.endInOrder && (signal == SIGINT || signal == SIGTERM) && gEndSignal == 0) {
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
  gPlan.takeBack();
}

void OnStop(int) {
  const int saved = errno;
  GiveBack();
  gStopped = 1;
  struct sigaction stop {}, ours {};
  stop.sa_handler = SIG_DFL;
  sigemptyset(&stop.sa_mask);
  sigaction(SIGTSTP, &stop, &ours);
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, SIGTSTP);
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

void Handle(int signal, void (*handler)(int)) {
  if (gPreviousCount >= static_cast<int>(sizeof gPrevious / sizeof gPrevious[0])) return;
  struct sigaction previous {};
  sigaction(signal, nullptr, &previous);
  if (previous.sa_handler == SIG_IGN && handler != SIG_IGN) return;
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART | SA_ONSTACK;
  gPrevious[gPreviousCount].signal = signal;
  sigaction(signal, &action, &gPrevious[gPreviousCount].action);
  ++gPreviousCount;
}

}  // namespace

void Install(const Plan& plan) {
  if (gInstalled) return;
  gInstalled = true;
  gPlan = plan;
  gEndSignal = 0;
  gStopped = 0;
  gResized = 0;
  gPreviousCount = 0;
  stack_t handlerStack{};
  handlerStack.ss_sp = gHandlerStack;
  handlerStack.ss_size = sizeof gHandlerStack;
  sigaltstack(&handlerStack, &gPreviousStack);
  for (int signal : kEndingSignals) Handle(signal, OnEnding);
  if (plan.giveBack)
    for (int signal : kFatalSignals) Handle(signal, OnFatal);
  if (plan.takeBack) {
    Handle(SIGTSTP, OnStop);
    Handle(SIGCONT, OnContinue);
  }
  Handle(SIGWINCH, OnResize);
  Handle(SIGPIPE, SIG_IGN);
}

void Remove() {
  if (!gInstalled) return;
  for (int i = 0; i < gPreviousCount; ++i) sigaction(gPrevious[i].signal, &gPrevious[i].action, nullptr);
  gPreviousCount = 0;
  sigaltstack(&gPreviousStack, nullptr);
  gInstalled = false;
  const int caught = gEndSignal;
  if (caught != 0) {
    gEndSignal = 0;
    std::fflush(nullptr);
    raise(caught);
  }
}

bool EndRequested() { return gEndSignal != 0; }

bool TakeResized() {
  if (!gResized) return false;
  gResized = 0;
  return true;
}

}  // namespace display_signals
