// The process entry: the console, the show, the console given back.
#include <cstdio>
#include <string>

#include "demo/demo_main.h"
#include "quorvel4/console.h"

int main() {
  std::string error;
  if (!ChooseConsoleBackend("", error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  InitConsole();
  const int result = DemoMain();
  ShutdownConsole();
  return result;
}
