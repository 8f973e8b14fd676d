// The display's console control events on Windows. The system calls the handler on a thread
// of its own; the main thread may be presenting a frame at that moment.
//
// Ctrl-C and Ctrl-Break with `endInOrder` only raise a flag: the frame loop's key test sees
// it, and the main thread gives the console back, so that restoring never races a Present.
// Closing the console, logging off and shutting down cannot wait for the frame loop: the
// system ends the process as soon as the handler returns (or after a few seconds). There the
// handler gives back itself, through the plan's giveBack, which the back end makes safe against
// a Present running meanwhile (a lock the two share, waited for a bounded time).
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "give_back_steps.h"

namespace display_signals {
namespace {

std::mutex gLock;  // the plan and the steps, against the handler's thread
Plan gPlan;
bool gInstalled = false;
StepList gSteps;
bool gHandlerSet = false;

std::atomic<bool> gEndAsked{false};

void GiveBack() {
  StepList steps;
  void (*giveBack)() = nullptr;
  {
    std::lock_guard<std::mutex> lock(gLock);
    if (gInstalled) giveBack = gPlan.giveBack;
    steps = gSteps;
  }
  if (giveBack) giveBack();
  steps.RunAll();
}

BOOL WINAPI OnControlEvent(DWORD event) {
  const bool interrupt = event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
  bool inOrder = false;
  {
    std::lock_guard<std::mutex> lock(gLock);
    inOrder = gInstalled && gPlan.endInOrder;
  }
  if (interrupt && inOrder && !gEndAsked.exchange(true)) {
    return TRUE;  // handled: the show ends in order
  }
  GiveBack();
  return FALSE;  // the default handler ends the process
}

// Holds the handler while the plan or a step needs it; called with gLock held.
void Arrange() {
  const bool wanted = gInstalled || !gSteps.Empty();
  if (wanted != gHandlerSet) {
    SetConsoleCtrlHandler(OnControlEvent, wanted ? TRUE : FALSE);
    gHandlerSet = wanted;
  }
}

}  // namespace

void Install(const Plan& plan) {
  // A program that never makes the call still ends by the event, once its main returns.
  static const bool kAtExit = std::atexit(RaiseDeferredSignal) == 0;
  (void)kAtExit;
  std::lock_guard<std::mutex> lock(gLock);
  if (gInstalled) return;
  gPlan = plan;
  gInstalled = true;
  gEndAsked = false;
  Arrange();
}

void Remove() {
  std::lock_guard<std::mutex> lock(gLock);
  if (!gInstalled) return;
  gInstalled = false;
  gPlan = Plan{};
  Arrange();
}

void EndInOrder() {
  std::lock_guard<std::mutex> lock(gLock);
  if (gInstalled) gPlan.endInOrder = true;
}

bool EndRequested() { return gEndAsked; }

void RaiseDeferredSignal() {
  if (!gEndAsked.exchange(false)) return;
  std::fflush(nullptr);
  // What the default handler of Ctrl-C and Ctrl-Break ends the process with.
  ExitProcess(STATUS_CONTROL_C_EXIT);
}

bool TakeResized() { return false; }

bool AddGiveBackStep(Step step) {
  std::lock_guard<std::mutex> lock(gLock);
  const bool added = gSteps.Add(step);
  Arrange();
  return added;
}

void RemoveGiveBackStep(Step step) {
  std::lock_guard<std::mutex> lock(gLock);
  gSteps.Remove(step);
  Arrange();
}

}  // namespace display_signals
