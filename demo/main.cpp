// The process entry: the console, the show, the console given back.
#include "demo/demo_main.h"
#include "quorvel4/console.h"

int main() {
  InitConsole();
  const int result = DemoMain();
  ShutdownConsole();
  return result;
}
