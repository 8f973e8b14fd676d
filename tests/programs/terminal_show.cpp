// Runs the console on the terminal back end for the terminal tests.
//   terminal_show          presents a fixed frame every 10 ms until a key is waiting
//   terminal_show assert   presents the frame once, then fails an assertion
//   terminal_show animate  as the first, with the top-left cell changing every frame
//   terminal_show overflow presents the frame once, then overflows its stack
//   terminal_show flood    every cell changes every frame, with no pause: fills a terminal
//                          that stops reading
//   terminal_show keys     reads keys as commands, naming each one taken in the status line
//                          ("keys: none" before the first) until `q` or MustEnd, then writes
//                          "given back" after the console is given back
//   terminal_show step     as the first, with a give-back step that writes "step ran" to
//                          standard error
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include <unistd.h>

#include "quorvel4/assert.h"
#include "quorvel4/console.h"
#include "quorvel4/display_signals.h"
#include "key_names.h"
#include "terminal_show_frame.h"

namespace {

// Recurses until the stack runs out (long before the depth limit); the use of `frame` after
// the call keeps it from becoming a loop.
int Overflow(int depth) {
  if (depth > (1 << 30)) return 0;
  volatile char frame[4096];
  frame[depth % sizeof frame] = static_cast<char>(depth);
  return Overflow(depth + 1) + frame[(depth + 1) % sizeof frame];
}

void SayStepRan() {
  constexpr char kSaid[] = "step ran\r\n";
  (void)!write(STDERR_FILENO, kSaid, sizeof kSaid - 1);
}

int ShowKeys() {
  std::string seen;
  SetStatusLine("keys: none");
  for (bool quit = false; !quit && !ConsoleMustEnd();) {
    for (KeyStroke key; !quit && TakeKey(key);) {
      quit = key == CharacterKey('q');
      if (!seen.empty()) seen += ' ';
      seen += KeyName(key);
      SetStatusLine("keys: " + seen);
    }
    PresentScreen();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ShutdownConsole();
  std::printf("given back\r\n");
  std::fflush(stdout);
  display_signals::RaiseDeferredSignal();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const bool failAssertion = argc > 1 && std::strcmp(argv[1], "assert") == 0;
  const bool animate = argc > 1 && std::strcmp(argv[1], "animate") == 0;
  const bool flood = argc > 1 && std::strcmp(argv[1], "flood") == 0;
  std::string error;
  if (!ChooseConsoleBackend("terminal", error)) {
    std::fprintf(stderr, "terminal_show: %s\n", error.c_str());
    return 1;
  }
  if (argc > 1 && std::strcmp(argv[1], "step") == 0) display_signals::AddGiveBackStep(SayStepRan);
  InitConsole();
  SetTitle("terminal test");
  FillTestFrame(CellScreen);
  PresentScreen();
  if (argc > 1 && std::strcmp(argv[1], "overflow") == 0) return Overflow(0);
  if (argc > 1 && std::strcmp(argv[1], "keys") == 0) return ShowKeys();
  if (failAssertion) {
    const char* missing = nullptr;
    QVL_ASSERT("terminal_show", missing != nullptr);
  }
  for (int frame = 0; !KeyWaiting(); ++frame) {
    FillTestFrame(CellScreen);
    if (animate) CellScreen[0] = static_cast<Cell>(0x0F00 | ('0' + frame % 10));
    if (flood) {
      for (int i = 0; i < kScreenCells; ++i) CellScreen[i] = static_cast<Cell>((((frame + i) % 255 + 1) << 8) | ('A' + frame % 26));
    }
    PresentScreen();
    if (!flood) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ShutdownConsole();
  return 0;
}
