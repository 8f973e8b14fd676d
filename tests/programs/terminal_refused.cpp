// The terminal back end on a terminal that refuses every change of its modes, as the kernel
// does for a process group in the background that no shell looks after: the test program's
// own tcsetattr, which the library's calls reach before the C library's, always fails.
#include <termios.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "quorvel4/console.h"

extern "C" int tcsetattr(int, int, const termios*) {
  errno = EIO;
  return -1;
}

int main() {
  std::string error;
  if (!ChooseConsoleBackend("terminal", error)) {
    std::fprintf(stderr, "terminal_refused: %s\n", error.c_str());
    return 1;
  }
  InitConsole();
  PresentScreen();
  ShutdownConsole();
  return 0;
}
