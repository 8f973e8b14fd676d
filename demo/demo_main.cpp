#include "demo/demo_main.h"

#include <chrono>
#include <cstdio>
#include <string>

#include "demo/frame.h"

namespace {

// Printed once the console is given back, so the picture's escape sequences cannot garble it.
void Say(const std::string& lines) {
  std::printf("%s\n", lines.c_str());
  std::fflush(stdout);
}

int64_t SteadyMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

int DemoMain(const ShowSettings& settings, const LiveSettings& live) {
  ShowSettings chosen = settings;
  chosen.keysAreCommands = live.edit;
  ShowSession session(chosen);
  std::string error;
  if (!session.Open(error)) {
    Say(error);
    return 1;
  }
  // Without live settings the live loop is the plain frame loop: a key, the end or a failure ends it.
  LiveShow show(session, live, SteadyMs);
  if (!show.Begin(error)) {
    session.Finish();
    Say("quorvel4-demo: " + error);
    return 1;
  }
  show.Run(SleepBetweenFrames);
  session.Finish();
  if (session.Report().end == ShowEnd::kFailed) {
    Say(session.State().failure);
    return 1;
  }
  for (const std::string& line : session.ClosingLines()) Say(line);
  return 0;
}
