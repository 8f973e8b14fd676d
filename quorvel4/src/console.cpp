#include "quorvel4/console.h"

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "quorvel4/assert.h"
#include "quorvel4/random.h"

namespace {

std::unique_ptr<ConsoleBackend>& Backend() {
  static std::unique_ptr<ConsoleBackend> backend;
  return backend;
}

// A title of 80 random letters that no one is shown: the draws have to happen, since every
// later random stream of the show follows from the generator's state after them.
void DrawRandomTitle(char (&title)[81]) {
  for (int i = 0; i < 80; ++i) title[i] = static_cast<char>((Random() & 0x31) + 65);
  title[80] = '\0';
}

std::string& ChosenName() {
  static std::string name;
  return name;
}

}  // namespace

void UseConsoleBackend(std::unique_ptr<ConsoleBackend> backend) { Backend() = std::move(backend); }

ConsoleBackend* ActiveConsoleBackend() { return Backend().get(); }

bool ChooseConsoleBackend(std::string_view name, std::string& error) {
  std::string opened;
  std::unique_ptr<ConsoleBackend> backend = OpenConsoleBackend(name, error, &opened);
  if (!backend) return false;
  Backend() = std::move(backend);
  ChosenName() = opened;
  return true;
}

const std::string& ChosenConsoleBackendName() { return ChosenName(); }

uint32_t TickCount() {
  const auto since = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

void InitConsole() { InitConsoleWithSeed(TickCount()); }

void SeedRandomAsAtStartUp(uint32_t seed) {
  SeedRandom(seed);
  char title[81];
  DrawRandomTitle(title);
}

void InitConsoleWithSeed(uint32_t seed) {
  if (!Backend()) {
    std::string error;
    ChooseConsoleBackend("", error);
  }
  SeedRandomAsAtStartUp(seed);
  SetTitle(kLibraryTitle);
}

int PresentScreen() {
  if (Backend()) {
    Backend()->Poll();
    Backend()->Present(CellScreen);
  }
  return 1;
}

int SetTitle(const char* text) {
  if (!Backend()) return 0;
  Backend()->SetTitle(text);
  return 1;
}

int PrintAt(int32_t column, int32_t row, const char* format, ...) {
  char buffer[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);

  // The last character is left out: every caller ends its text with a newline.
  const int64_t count = static_cast<int64_t>(std::char_traits<char>::length(buffer)) - 1;
  const int64_t start = static_cast<int64_t>(column) + kScreenWidth * static_cast<int64_t>(row);
  for (int64_t k = 0; k < count; ++k) {
    const int64_t index = start + k;
    if (index < 0 || index >= kScreenCells) continue;
    CellScreen[index] = MakeCell(static_cast<uint8_t>(buffer[k]), kColourWhite, kColourBlack);
  }
  return 0;
}

bool KeyWaiting() { return Backend() && Backend()->KeyWaiting(); }

bool ConsoleReadsKeys() { return Backend() && Backend()->ReadsKeys(); }

bool TakeKey(KeyStroke& key) { return Backend() && Backend()->TakeKey(key); }

void PollConsole() {
  if (Backend()) Backend()->Poll();
}

bool ConsoleMustEnd() { return Backend() && Backend()->MustEnd(); }

void SetStatusLine(std::string_view text) {
  if (Backend()) Backend()->SetStatusLine(text);
}

void ShutdownConsole() {
  if (Backend()) Backend()->Restore();
}

void QvlAssertFail(const char* expression, const char* module, int line) {
  ShutdownConsole();
  std::fprintf(stderr, "Assertion failed: %s, file %s, line %d\n", expression, module, line);
  std::fflush(stderr);
  std::abort();
}
