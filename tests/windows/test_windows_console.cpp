// The console back end under a real console (wine's conhost): what it writes is read back
// through the console's own calls.
#include <gtest/gtest.h>
#include <conio.h>
#include <windows.h>

#include <array>
#include <memory>
#include <string>

#include "quorvel4/backend.h"
#include "quorvel4/cp437.h"
#include "quorvel4/palette.h"

namespace {

using ColorTable = std::array<COLORREF, 16>;

HANDLE OpenActiveScreen() {
  return CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                     OPEN_EXISTING, 0, nullptr);
}

HANDLE OpenInput() {
  return CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                     OPEN_EXISTING, 0, nullptr);
}

ColorTable ActiveColorTable() {
  const HANDLE screen = OpenActiveScreen();
  CONSOLE_SCREEN_BUFFER_INFOEX info{};
  info.cbSize = sizeof info;
  EXPECT_TRUE(GetConsoleScreenBufferInfoEx(screen, &info));
  CloseHandle(screen);
  ColorTable table{};
  std::copy(std::begin(info.ColorTable), std::end(info.ColorTable), table.begin());
  return table;
}

INPUT_RECORD KeyDown(WORD virtualKey, wchar_t character, bool down = true) {
  INPUT_RECORD record{};
  record.EventType = KEY_EVENT;
  record.Event.KeyEvent.bKeyDown = down;
  record.Event.KeyEvent.wRepeatCount = 1;
  record.Event.KeyEvent.wVirtualKeyCode = virtualKey;
  record.Event.KeyEvent.uChar.UnicodeChar = character;
  return record;
}

class WindowsConsole : public ::testing::Test {
 protected:
  void SetUp() override {
    // Started without a usable console (CTest under wine), the test opens one as the show does.
    if (const HANDLE screen = OpenActiveScreen(); screen != INVALID_HANDLE_VALUE) {
      CloseHandle(screen);
    } else {
      FreeConsole();
      ASSERT_TRUE(AllocConsole());
    }
    input_ = OpenInput();
    SetEnvironmentVariableA("QVL_WINDOWS_CONSOLE", "classic");
    FlushConsoleInputBuffer(input_);
  }
  void TearDown() override { CloseHandle(input_); }

  std::unique_ptr<ConsoleBackend> Open() {
    std::string error;
    std::unique_ptr<ConsoleBackend> backend = OpenConsoleBackend("windows-console", error);
    EXPECT_NE(backend, nullptr) << error;
    return backend;
  }

  void Type(const INPUT_RECORD& record) {
    DWORD written = 0;
    ASSERT_TRUE(WriteConsoleInputW(input_, &record, 1, &written));
  }

  HANDLE input_ = INVALID_HANDLE_VALUE;
};

TEST_F(WindowsConsole, EveryCellReadsBackWithItsGlyphAndAttribute) {
  auto backend = Open();
  ASSERT_NE(backend, nullptr);
  const HANDLE screen = OpenActiveScreen();

  // Two frames, so that a cell cannot pass by still holding the first one: every character
  // code and every attribute, in differing pairs.
  for (int frame = 0; frame < 2; ++frame) {
    std::array<Cell, kScreenCells> cells{};
    for (int i = 0; i < kScreenCells; ++i)
      cells[i] = static_cast<Cell>(((i * 7 + frame) & 0xFF) | (((i / 3 + 91 * frame) & 0xFF) << 8));
    backend->Poll();
    backend->Present(cells.data());

    std::array<CHAR_INFO, kScreenCells> shown{};
    SMALL_RECT region{0, 0, 79, 49};
    ASSERT_TRUE(ReadConsoleOutputW(screen, shown.data(), COORD{80, 50}, COORD{0, 0}, &region));
    for (int i = 0; i < kScreenCells; ++i) {
      ASSERT_EQ(shown[i].Char.UnicodeChar, static_cast<WCHAR>(kCp437ToUnicode[cells[i] & 0xFF])) << "cell " << i;
      ASSERT_EQ(shown[i].Attributes, cells[i] >> 8) << "cell " << i;
    }
  }

  // Whatever maximising the window did to it, the buffer is 80 x 50 once frames are shown.
  CONSOLE_SCREEN_BUFFER_INFO info{};
  ASSERT_TRUE(GetConsoleScreenBufferInfo(screen, &info));
  EXPECT_EQ(info.dwSize.X, 80);
  EXPECT_EQ(info.dwSize.Y, 50);

  // The cursor is hidden again by every present, whatever showed it.
  const CONSOLE_CURSOR_INFO visible{25, TRUE};
  SetConsoleCursorInfo(screen, &visible);
  std::array<Cell, kScreenCells> blank{};
  backend->Present(blank.data());
  CONSOLE_CURSOR_INFO cursor{};
  ASSERT_TRUE(GetConsoleCursorInfo(screen, &cursor));
  EXPECT_FALSE(cursor.bVisible);
  CloseHandle(screen);
}

// True when the console takes a colour table at all: wine's (version 8) accepts the call and
// keeps its own colours.
bool ConsoleTakesColorTables() {
  const HANDLE screen = OpenActiveScreen();
  CONSOLE_SCREEN_BUFFER_INFOEX info{};
  info.cbSize = sizeof info;
  GetConsoleScreenBufferInfoEx(screen, &info);
  const COORD size = info.dwSize;
  const COLORREF original = info.ColorTable[5];
  info.ColorTable[5] = original ^ 0x010101;
  SetConsoleScreenBufferInfoEx(screen, &info);
  CONSOLE_SCREEN_BUFFER_INFOEX back{};
  back.cbSize = sizeof back;
  GetConsoleScreenBufferInfoEx(screen, &back);
  const bool takes = back.ColorTable[5] != original;
  info.ColorTable[5] = original;
  info.dwSize = size;
  SetConsoleScreenBufferInfoEx(screen, &info);
  CloseHandle(screen);
  return takes;
}

TEST_F(WindowsConsole, ColourTableIsVgaWhileRunningAndTheUsersAfter) {
  if (!ConsoleTakesColorTables()) GTEST_SKIP() << "this console ignores colour tables (wine's does)";
  const ColorTable before = ActiveColorTable();
  ASSERT_NE(before[6], RGB(0xAA, 0x55, 0x00)) << "the console already had the VGA colours";
  auto backend = Open();
  ASSERT_NE(backend, nullptr);

  const ColorTable running = ActiveColorTable();
  // Brown is the one colour a plain "dark yellow" table gets wrong; all sixteen are checked.
  EXPECT_EQ(running[6], RGB(0xAA, 0x55, 0x00));
  for (int i = 0; i < 16; ++i)
    EXPECT_EQ(running[i], RGB(kVgaPalette[i].r, kVgaPalette[i].g, kVgaPalette[i].b)) << "colour " << i;

  backend->Restore();
  EXPECT_EQ(ActiveColorTable(), before);
  backend->Restore();  // a second time changes nothing
  EXPECT_EQ(ActiveColorTable(), before);
}

TEST_F(WindowsConsole, ModifierKeysAloneDoNotEndTheShowAndAreDropped) {
  auto backend = Open();
  ASSERT_NE(backend, nullptr);
  for (WORD modifier : {VK_SHIFT, VK_CONTROL, VK_MENU, VK_LWIN, VK_CAPITAL}) Type(KeyDown(modifier, 0));
  backend->Poll();
  EXPECT_FALSE(backend->KeyWaiting());
  DWORD pending = 1;
  ASSERT_TRUE(GetNumberOfConsoleInputEvents(input_, &pending));
  EXPECT_EQ(pending, 0u);
}

TEST_F(WindowsConsole, AKeyEndsTheShowAndStaysInTheInput) {
  auto backend = Open();
  ASSERT_NE(backend, nullptr);
  // A typed key: down, then up (wine's _kbhit never looks at the last event of the input).
  Type(KeyDown(VK_SHIFT, 0));
  Type(KeyDown('Q', L'Q'));
  Type(KeyDown('Q', L'Q', false));
  EXPECT_NE(_kbhit(), 0);  // the C runtime's own test sees the key before any poll
  backend->Poll();
  EXPECT_TRUE(backend->KeyWaiting());
  backend->Poll();
  EXPECT_TRUE(backend->KeyWaiting());
  DWORD pending = 0;
  ASSERT_TRUE(GetNumberOfConsoleInputEvents(input_, &pending));
  EXPECT_EQ(pending, 3u);
}

TEST_F(WindowsConsole, KeysWithoutACharacterEndTheShowToo) {
  auto backend = Open();
  ASSERT_NE(backend, nullptr);
  Type(KeyDown(VK_F5, 0));
  backend->Poll();
  EXPECT_TRUE(backend->KeyWaiting());
}

}  // namespace
