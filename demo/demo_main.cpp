#include "demo/demo_main.h"

#include <cstdio>
#include <string>

#include "demo/frame.h"

namespace {

// Printed once the console is given back, so the picture's escape sequences cannot garble it.
void Say(const std::string& lines) {
  std::printf("%s\n", lines.c_str());
  std::fflush(stdout);
}

}  // namespace

int DemoMain(const ShowSettings& settings) {
  ShowSession session(settings);
  std::string error;
  if (!session.Open(error)) {
    Say(error);
    return 1;
  }
  session.Run(SleepBetweenFrames);
  session.Finish();
  if (session.Report().end == ShowEnd::kFailed) {
    Say(session.State().failure);
    return 1;
  }
  for (const std::string& line : session.ClosingLines()) Say(line);
  return 0;
}
