// The Windows console back end. Two routes to the same picture:
//   classic   conhost (Windows 10 and older, and wine): a screen buffer of its own, shaped to
//             80 x 50, written whole with WriteConsoleOutputW, and the console's colour table
//             set to the VGA colours while the show runs;
//   terminal  Windows Terminal (the default console of Windows 11): it ignores the colour table
//             and cannot be resized by the program, so the cells go out as virtual-terminal
//             sequences in 24-bit colour (unless QVL_COLORS says otherwise), through the same
//             terminal screen as on a Unix terminal (terminal_screen.h).
// The route is chosen by itself (docs/windows.md); QVL_WINDOWS_CONSOLE=classic|terminal forces it.
#include <conio.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "quorvel4/backend.h"
#include "quorvel4/cp437.h"
#include "quorvel4/display_signals.h"
#include "quorvel4/palette.h"
#include "quorvel4/terminal_encoder.h"
#include "terminal_screen.h"
#include "terminal_sequences.h"

namespace {

constexpr SHORT kWidth = kScreenWidth;
constexpr SHORT kHeight = kScreenHeight;

// The console's handles, whatever standard input and output were redirected to.
HANDLE OpenConsoleDevice(const char* name) {
  return CreateFileA(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                     OPEN_EXISTING, 0, nullptr);
}

class OwnedHandle {
 public:
  explicit OwnedHandle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
  ~OwnedHandle() {
    if (Valid()) CloseHandle(handle_);
  }
  OwnedHandle(const OwnedHandle&) = delete;
  OwnedHandle& operator=(const OwnedHandle&) = delete;
  bool Valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
  HANDLE Get() const { return handle_; }

 private:
  HANDLE handle_;
};

// A key press that ends the show: a key going down that is not a modifier or a lock key
// alone (Shift, Ctrl, Alt, the Windows keys, Caps, Num and Scroll Lock).
bool EndsTheShow(const INPUT_RECORD& record) {
  if (record.EventType != KEY_EVENT || !record.Event.KeyEvent.bKeyDown) return false;
  switch (record.Event.KeyEvent.wVirtualKeyCode) {
    case VK_SHIFT: case VK_LSHIFT: case VK_RSHIFT:
    case VK_CONTROL: case VK_LCONTROL: case VK_RCONTROL:
    case VK_MENU: case VK_LMENU: case VK_RMENU:
    case VK_LWIN: case VK_RWIN: case VK_APPS:
    case VK_CAPITAL: case VK_NUMLOCK: case VK_SCROLL:
      return false;
    default:
      return true;
  }
}

// Watches the console's input for a key without taking the key out of it. Events that can
// never end the show (modifiers alone, releases, mouse, focus, resizes) are dropped, so
// they cannot pile up in the input while the show runs.
class KeyWatch {
 public:
  KeyWatch() : input_(OpenConsoleDevice("CONIN$")) {}

  void Poll() {
    if (keySeen_ || !input_.Valid()) return;
    DWORD pending = 0;
    if (!GetNumberOfConsoleInputEvents(input_.Get(), &pending) || pending == 0) return;
    DWORD peeked = 0;
    if (!PeekConsoleInputW(input_.Get(), records_, std::min<DWORD>(pending, kRecords), &peeked)) return;
    for (DWORD i = 0; i < peeked; ++i) {
      if (EndsTheShow(records_[i])) {
        keySeen_ = true;
        return;
      }
    }
    DWORD dropped = 0;
    ReadConsoleInputW(input_.Get(), records_, peeked, &dropped);
  }

  // _kbhit answers at once for keys with a character, between two polls.
  bool KeyWaiting() const { return keySeen_ || _kbhit() != 0; }

 private:
  static constexpr DWORD kRecords = 64;
  OwnedHandle input_;
  INPUT_RECORD records_[kRecords]{};
  bool keySeen_ = false;
};

// What both routes share: the key test, and a lock between presenting and giving back. The
// console's control handler runs on a thread of its own; on closing, logging off or shutting
// down it gives the console back itself (the system ends the process right after), and must
// neither write into the middle of a frame nor wait for ever on a main thread that hangs: it
// waits for the frame in progress, a bounded time. Ctrl-C and Ctrl-Break only ask the show to
// end; the main thread then gives back between frames (display_signals.h).
class ConsoleShow : public ConsoleBackend {
 public:
  void Present(const Cell* cells) final {
    std::lock_guard<std::mutex> lock(frame_);
    if (!restored_) Draw(cells);
  }
  bool KeyWaiting() final { return !restored_ && (keys_.KeyWaiting() || display_signals::EndRequested()); }
  void Poll() final {
    keys_.Poll();
    std::lock_guard<std::mutex> lock(frame_);
    if (!restored_) Follow();
  }
  void Restore() final;
  // From the control handler's thread.
  void RestoreFromHandler() {
    for (int waited = 0; !frame_.try_lock(); waited += 10) {
      if (waited >= kHandlerWaitMs) return;  // the main thread hangs in a write: leave it be
      Sleep(10);
    }
    std::lock_guard<std::mutex> lock(frame_, std::adopt_lock);
    if (!restored_.exchange(true)) GiveBack();
  }

 protected:
  void WatchControlEvents();
  virtual void Draw(const Cell* cells) = 0;
  // Whatever changed since the last frame (a resize); with the lock held.
  virtual void Follow() {}
  virtual void GiveBack() = 0;

 private:
  static constexpr int kHandlerWaitMs = 2000;  // well within the five seconds the system grants
  KeyWatch keys_;
  std::mutex frame_;
  std::atomic<bool> restored_{false};
};

// The show whose console the control handler gives back; the lock keeps the show alive while
// the handler uses it.
std::mutex activeLock;
ConsoleShow* activeShow = nullptr;

void GiveBackActiveShow() {
  std::lock_guard<std::mutex> lock(activeLock);
  if (activeShow) activeShow->RestoreFromHandler();
}

void ConsoleShow::WatchControlEvents() {
  {
    std::lock_guard<std::mutex> lock(activeLock);
    activeShow = this;
  }
  display_signals::Plan plan;
  plan.giveBack = GiveBackActiveShow;
  plan.endInOrder = true;
  display_signals::Install(plan);
}

void ConsoleShow::Restore() {
  {
    std::lock_guard<std::mutex> lock(activeLock);  // waits for a handler giving back now
    if (activeShow != this) return;                // given back here already
    activeShow = nullptr;
  }
  display_signals::Remove();
  std::lock_guard<std::mutex> lock(frame_);
  if (!restored_.exchange(true)) GiveBack();
}

void HideCursor(HANDLE screen) {
  const CONSOLE_CURSOR_INFO hidden{1, FALSE};
  SetConsoleCursorInfo(screen, &hidden);
}

// The console's window: GetConsoleWindow, or, where that is missing, the window found by a
// title no other window has.
HWND ConsoleWindow() {
  if (HWND window = GetConsoleWindow()) return window;
  char title[64];
  std::snprintf(title, sizeof title, "quorvel4 console %lu-%lu", GetCurrentProcessId(), GetTickCount());
  SetConsoleTitleA(title);
  for (int attempt = 0; attempt < 10; ++attempt) {
    if (HWND window = FindWindowA(nullptr, title)) return window;
    Sleep(10);  // the title reaches the window asynchronously
  }
  return nullptr;
}

// ---- classic: conhost's own screen buffer and colour table ----------------------------

using ColorTable = COLORREF[16];

bool ReadColorTable(HANDLE screen, ColorTable& table) {
  CONSOLE_SCREEN_BUFFER_INFOEX info{};
  info.cbSize = sizeof info;
  if (!GetConsoleScreenBufferInfoEx(screen, &info)) return false;
  std::copy(std::begin(info.ColorTable), std::end(info.ColorTable), table);
  return true;
}

// Windows' SetConsoleScreenBufferInfoEx takes the window rectangle it reported as inclusive
// for exclusive and shrinks the window by a cell (wine does not): the caller shapes the
// window again after.
void WriteColorTable(HANDLE screen, const ColorTable& table) {
  CONSOLE_SCREEN_BUFFER_INFOEX info{};
  info.cbSize = sizeof info;
  if (!GetConsoleScreenBufferInfoEx(screen, &info)) return;
  std::copy(std::begin(table), std::end(table), info.ColorTable);
  SetConsoleScreenBufferInfoEx(screen, &info);
}

// The console colour order (1 blue, 2 green, 4 red, 8 bright) is the cell attribute's; a
// COLORREF is 0x00BBGGRR.
void VgaColorTable(ColorTable& table) {
  for (int i = 0; i < 16; ++i) table[i] = RGB(kVgaPalette[i].r, kVgaPalette[i].g, kVgaPalette[i].b);
}

// A window may never be larger than its buffer: shrink the window, size the buffer, then
// open the window to the whole buffer (or as much of it as the screen holds).
void ShapeTo80x50(HANDLE screen) {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (GetConsoleScreenBufferInfo(screen, &info)) {
    const SMALL_RECT inside{0, 0, std::min<SHORT>(info.srWindow.Right - info.srWindow.Left, kWidth - 1),
                            std::min<SHORT>(info.srWindow.Bottom - info.srWindow.Top, kHeight - 1)};
    SetConsoleWindowInfo(screen, TRUE, &inside);
  }
  SetConsoleScreenBufferSize(screen, COORD{kWidth, kHeight});
  const COORD largest = GetLargestConsoleWindowSize(screen);
  const SHORT columns = largest.X > 0 ? std::min(largest.X, kWidth) : kWidth;
  const SHORT rows = largest.Y > 0 ? std::min(largest.Y, kHeight) : kHeight;
  const SMALL_RECT whole{0, 0, static_cast<SHORT>(columns - 1), static_cast<SHORT>(rows - 1)};
  SetConsoleWindowInfo(screen, TRUE, &whole);
}

class ClassicConsole final : public ConsoleShow {
 public:
  // `previous` is the screen buffer that was active; `screen` the show's own.
  ClassicConsole(HANDLE previous, HANDLE screen) : previous_(previous), screen_(screen) {
    SetConsoleActiveScreenBuffer(screen_.Get());
    haveSavedColors_ = ReadColorTable(screen_.Get(), savedColors_);
    ColorTable vga;
    VgaColorTable(vga);
    WriteColorTable(screen_.Get(), vga);
    ShapeTo80x50(screen_.Get());
    SetConsoleMode(screen_.Get(), 0);  // no processed output, no wrapping
    HideCursor(screen_.Get());
    if (HWND window = ConsoleWindow()) ShowWindow(window, SW_SHOWMAXIMIZED);
    // A console that wraps text on resizing grows its buffer with the maximised window.
    ShapeTo80x50(screen_.Get());
    WatchControlEvents();
  }
  ~ClassicConsole() override { Restore(); }

  void SetTitle(const char* title) override { SetConsoleTitleA(title); }

 private:
  void Draw(const Cell* cells) override {
    for (int i = 0; i < kScreenCells; ++i) {
      records_[i].Char.UnicodeChar = static_cast<WCHAR>(kCp437ToUnicode[cells[i] & 0xFF]);
      records_[i].Attributes = static_cast<WORD>(cells[i] >> 8);
    }
    SMALL_RECT region{0, 0, kWidth - 1, kHeight - 1};
    WriteConsoleOutputW(screen_.Get(), records_, COORD{kWidth, kHeight}, COORD{0, 0}, &region);
    HideCursor(screen_.Get());
  }

  // The buffer is 80 x 50 again after the user (or the window's maximising, which some
  // consoles finish late) resized it.
  void Follow() override {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (GetConsoleScreenBufferInfo(screen_.Get(), &info) && (info.dwSize.X != kWidth || info.dwSize.Y != kHeight)) {
      ShapeTo80x50(screen_.Get());
    }
  }

  // The user's colours back, and the screen that was there before: whatever is printed
  // after the show (the start-up messages) is seen there.
  void GiveBack() override {
    if (haveSavedColors_) {
      WriteColorTable(screen_.Get(), savedColors_);
      ShapeTo80x50(screen_.Get());
    }
    if (previous_.Valid()) SetConsoleActiveScreenBuffer(previous_.Get());
  }

  OwnedHandle previous_;
  OwnedHandle screen_;
  ColorTable savedColors_{};
  bool haveSavedColors_ = false;
  CHAR_INFO records_[kScreenCells]{};
};

// ---- terminal: Windows Terminal through virtual-terminal sequences ---------------------

// The picture, the layout and the bytes in and out are the terminal screen's, as on a Unix
// terminal; this route only carries the bytes to the console and reads its visible size.
class TerminalConsole final : public ConsoleShow, private TerminalLink {
 public:
  TerminalConsole(HANDLE out, DWORD savedMode, ColorMode mode) : out_(out), savedMode_(savedMode), screen_(*this, mode) {
    screen_.Enter();
    WatchControlEvents();
  }
  ~TerminalConsole() override { Restore(); }

  void SetTitle(const char* title) override { SetConsoleTitleA(title); }

 private:
  void Draw(const Cell* cells) override { screen_.Present(cells); }
  void Follow() override { screen_.RelayoutIfResized(); }
  void GiveBack() override {
    Write(screen_.LeaveBytes());
    SetConsoleMode(out_.Get(), savedMode_);
  }

  TerminalSize Size() override {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!GetConsoleScreenBufferInfo(out_.Get(), &info)) return {kScreenWidth, kScreenHeight};  // unknown: assume it fits
    return {info.srWindow.Right - info.srWindow.Left + 1, info.srWindow.Bottom - info.srWindow.Top + 1};
  }

  // The encoder speaks UTF-8; the console takes UTF-16 whatever its code page.
  void Write(std::string_view bytes) override {
    if (bytes.empty()) return;
    const int length = static_cast<int>(bytes.size());
    const int needed = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), length, nullptr, 0);
    if (needed <= 0) return;
    if (wide_.size() < static_cast<size_t>(needed)) wide_.resize(static_cast<size_t>(needed));
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), length, wide_.data(), needed);
    const wchar_t* at = wide_.data();
    DWORD left = static_cast<DWORD>(needed);
    while (left > 0) {
      DWORD written = 0;
      if (!WriteConsoleW(out_.Get(), at, left, &written, nullptr) || written == 0) return;
      at += written;
      left -= written;
    }
  }

  OwnedHandle out_;
  DWORD savedMode_;
  std::vector<wchar_t> wide_;
  TerminalScreen screen_;
};

// ---- choosing the route -----------------------------------------------------------------

enum class Route { kClassic, kTerminal };

// Windows Terminal (and any other pseudo-console host) shows the console through a hidden
// window of this class; a shell started inside it also has WT_SESSION set.
Route ChooseRoute() {
  char forced[16] = "";
  if (GetEnvironmentVariableA("QVL_WINDOWS_CONSOLE", forced, sizeof forced) > 0) {
    if (std::strcmp(forced, "terminal") == 0) return Route::kTerminal;
    if (std::strcmp(forced, "classic") == 0) return Route::kClassic;
  }
  if (GetEnvironmentVariableA("WT_SESSION", nullptr, 0) > 0) return Route::kTerminal;
  char windowClass[64] = "";
  if (HWND window = GetConsoleWindow(); window && GetClassNameA(window, windowClass, sizeof windowClass) > 0 &&
                                        std::strcmp(windowClass, "PseudoConsoleWindow") == 0) {
    return Route::kTerminal;
  }
  return Route::kClassic;
}

constexpr const char* kNoConsole = "this process has no console to show the picture on.";

bool WindowsConsoleUsable() {
  OwnedHandle out(OpenConsoleDevice("CONOUT$"));
  return out.Valid();
}

std::unique_ptr<ConsoleBackend> OpenClassic(std::string& error) {
  HANDLE previous = OpenConsoleDevice("CONOUT$");
  if (previous == INVALID_HANDLE_VALUE) {
    error = kNoConsole;
    return nullptr;
  }
  // Readable too: the colour table is read back through it. Shared, so that the screen can be
  // read by others (screen readers, the tests).
  HANDLE screen = CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                            nullptr, CONSOLE_TEXTMODE_BUFFER, nullptr);
  if (screen == INVALID_HANDLE_VALUE) {
    CloseHandle(previous);
    error = "the console refused a screen buffer for the show.";
    return nullptr;
  }
  return std::make_unique<ClassicConsole>(previous, screen);
}

std::unique_ptr<ConsoleBackend> OpenTerminal(std::string& error) {
  HANDLE out = OpenConsoleDevice("CONOUT$");
  if (out == INVALID_HANDLE_VALUE) {
    error = kNoConsole;
    return nullptr;
  }
  DWORD mode = 0;
  GetConsoleMode(out, &mode);
  const DWORD wanted = mode | ENABLE_PROCESSED_OUTPUT | ENABLE_VIRTUAL_TERMINAL_PROCESSING | DISABLE_NEWLINE_AUTO_RETURN;
  if (!SetConsoleMode(out, wanted)) {
    CloseHandle(out);
    error = "this console does not take virtual-terminal sequences; set QVL_WINDOWS_CONSOLE=classic.";
    return nullptr;
  }
  // QVL_COLORS chooses as on a Unix terminal; without it, 24-bit colour, which every console
  // that takes these sequences shows.
  char colors[16] = "";
  const bool named = GetEnvironmentVariableA("QVL_COLORS", colors, sizeof colors) > 0;
  return std::make_unique<TerminalConsole>(out, mode, ChooseColorMode(named ? colors : nullptr, "truecolor", nullptr));
}

std::unique_ptr<ConsoleBackend> OpenWindowsConsole(std::string& error) {
  return ChooseRoute() == Route::kTerminal ? OpenTerminal(error) : OpenClassic(error);
}

const bool kRegistered = RegisterConsoleBackend(
    {"windows-console", 10, WindowsConsoleUsable, OpenWindowsConsole,
     "this console window, 80 x 50 cells"});

}  // namespace
