// Runs the console on the window back end for the window tests: presents test frame 0
// every 10 ms, moves on to the next frame for each line read from standard input, and
// writes "frame K" to standard output once frame K is on the screen. When a key is waiting
// it writes "show over", gives the console back, writes "given back" (a program's closing
// line) and ends with status 0, or by the signal that asked the show to end.
//   window_show keys  reads keys as commands instead: writes "key NAME" for each one taken and
//                     names them in the status line ("keys: none" before the first), until
//                     `q` or MustEnd ("must end").
#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "quorvel4/console.h"
#include "quorvel4/display_signals.h"
#include "key_names.h"
#include "window_show_frame.h"

namespace {

// Counts the lines that have arrived on standard input, without waiting longer than `ms`.
int LinesArrived(int ms, bool* open) {
  int lines = 0;
  pollfd input{STDIN_FILENO, POLLIN, 0};
  if (!*open) {
    poll(nullptr, 0, ms);
    return 0;
  }
  if (poll(&input, 1, ms) <= 0) return 0;
  char buffer[64];
  const ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
  if (n <= 0) *open = false;
  for (ssize_t i = 0; i < n; ++i) lines += buffer[i] == '\n';
  return lines;
}

// Until `q` or MustEnd; true for `q`.
bool ShowKeys() {
  std::string seen;
  SetStatusLine("keys: none");
  while (!ConsoleMustEnd()) {
    FillWindowTestFrame(CellScreen, 0);
    PresentScreen();
    for (KeyStroke key; TakeKey(key);) {
      std::printf("key %s\n", KeyName(key).c_str());
      std::fflush(stdout);
      if (key == CharacterKey('q')) return true;
      if (!seen.empty()) seen += ' ';
      seen += KeyName(key);
      SetStatusLine("keys: " + seen);
    }
    poll(nullptr, 0, 10);
  }
  std::printf("must end\n");
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  std::string error;
  if (!ChooseConsoleBackend("window", error)) {
    std::fprintf(stderr, "window_show: %s\n", error.c_str());
    return 1;
  }
  InitConsole();
  SetTitle("window test");
  if (argc > 1 && std::strcmp(argv[1], "keys") == 0) {
    ShowKeys();
    ShutdownConsole();
    std::printf("given back\n");
    display_signals::RaiseDeferredSignal();
    return 0;
  }
  bool inputOpen = true;
  int frame = 0, announced = -1;
  while (!KeyWaiting()) {
    FillWindowTestFrame(CellScreen, frame);
    PresentScreen();
    if (announced != frame) {
      std::printf("frame %d\n", frame);
      std::fflush(stdout);
      announced = frame;
    }
    frame += LinesArrived(10, &inputOpen);
  }
  std::printf("show over\n");
  std::fflush(stdout);
  ShutdownConsole();
  std::printf("given back\n");
  display_signals::RaiseDeferredSignal();
  return 0;
}
