#include "terminal_screen.h"

#include <cstdio>
#include <string_view>

#include "quorvel4/types.h"
#include "terminal_sequences.h"

bool Fits(const TerminalSize& size) { return size.columns >= kScreenWidth && size.rows >= kScreenHeight; }

std::string CursorTo(int row, int column) {
  return std::string(seq::kCsi) + std::to_string(row) + seq::kParamSeparator + std::to_string(column) +
         seq::kCursorPositionFinal;
}

std::string BelowPicture(const TerminalSize& size, int originRow) {
  const int below = originRow + kScreenHeight + 1;
  if (below <= size.rows) return CursorTo(below, 1);
  return CursorTo(size.rows, 1) + std::string(seq::kNewLine);
}

std::string TooSmallMessage(const TerminalSize& size) {
  char text[256];
  std::snprintf(text, sizeof text,
                "The show needs a terminal of at least %d x %d cells;\r\n"
                "this one has %d x %d.\r\n"
                "Enlarge the window or make the font smaller,\r\n"
                "or press a key to quit.",
                kScreenWidth, kScreenHeight, size.columns, size.rows);
  std::string bytes;
  for (std::string_view part : {seq::kResetGraphics, seq::kClearScreen, seq::kCursorHome, seq::kAutoWrapOn}) {
    bytes += part;
  }
  bytes += text;
  bytes += seq::kAutoWrapOff;
  return bytes;
}
