// The process entry on Windows: a windowed program that opens a console of its own, seeds the
// show from the system's millisecond tick, and sends debug lines to the debugger.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "demo/demo_main.h"
#include "demo/show_options.h"
#include "quorvel4/backend_options.h"
#include "quorvel4/console.h"
#include "quorvel4/debug.h"
#include "quorvel4/display_signals.h"

namespace {

// Started from a shell that redirects it, standard output is a file or a pipe and stays so;
// started from Explorer there is none, and the messages go to the new console instead.
bool HasStandardOutput() {
  const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  return out != nullptr && out != INVALID_HANDLE_VALUE && GetFileType(out) != FILE_TYPE_UNKNOWN;
}

bool HasConsole() {
  const HANDLE out = CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, 0, nullptr);
  if (out == INVALID_HANDLE_VALUE) return false;
  CloseHandle(out);
  return true;
}

// True when anything was printed on the console's first screen (the show draws on its own).
bool ConsoleHasText() {
  const HANDLE out = CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, 0, nullptr);
  if (out == INVALID_HANDLE_VALUE) return false;
  CONSOLE_SCREEN_BUFFER_INFO info{};
  const bool moved = GetConsoleScreenBufferInfo(out, &info) && (info.dwCursorPosition.X != 0 || info.dwCursorPosition.Y != 0);
  CloseHandle(out);
  return moved;
}

// The console closes with the process: let the messages be read first.
void WaitForKeyToClose() {
  std::fputs("\nPress a key to close this window.\n", stdout);
  std::fflush(stdout);
  const HANDLE in = CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
  if (in == INVALID_HANDLE_VALUE) return;
  FlushConsoleInputBuffer(in);
  for (;;) {
    INPUT_RECORD record{};
    DWORD read = 0;
    if (!ReadConsoleInputW(in, &record, 1, &read)) break;
    if (read == 1 && record.EventType == KEY_EVENT && record.Event.KeyEvent.bKeyDown) break;
  }
  CloseHandle(in);
}

// The options (the C runtime has split the command line into __argv), the console, the show.
int RunShow() {
  ShowSettings settings;
  // Seeded from the system's millisecond tick, as the show always was on Windows.
  settings.seed = GetTickCount();
  std::string backend;
  ShowCommands commands;
  LiveSettings live;
  const OptionTable options = LiveShowOptions(settings, backend, commands, live);
  if (const std::optional<int> status = options.Parse(__argc, __argv)) return *status;
  if (const std::optional<int> status = RunShowCommand(options, commands)) return *status;
  if (const std::optional<int> status = OpenChosenBackend(options, backend, "windows-console")) return *status;
  const int result = DemoMain(settings, live);
  ShutdownConsole();
  return result;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  const bool redirected = HasStandardOutput();
  // A console is where the show happens. Started from Explorer the program has none and opens
  // its own; started under wine from a terminal it already has that terminal's console.
  if (!AllocConsole() && !HasConsole()) return 0;
  if (!redirected) {
    std::freopen("CONOUT$", "w", stdout);
    std::freopen("CONOUT$", "w", stderr);
  }
  SetDebugSink([](const char* text) { OutputDebugStringA(text); });

  const int result = RunShow();
  std::fflush(stdout);
  std::fflush(stderr);
  if (!redirected && ConsoleHasText()) WaitForKeyToClose();
  display_signals::RaiseDeferredSignal();  // Ctrl-C or Ctrl-Break ended the show
  return result;
}
