// What every back end that draws through terminal escape sequences lays out the same way: the
// size it needs, where the cursor goes, and the notice shown instead of a garbled picture.
#pragma once

#include <string>

struct TerminalSize {
  int columns;
  int rows;
  bool operator==(const TerminalSize&) const = default;
};

// True when the 80 x 50 picture fits.
bool Fits(const TerminalSize& size);

// The bytes that put the cursor at a 1-based row and column.
std::string CursorTo(int row, int column);

// The first line under a picture whose top is at `originRow` (0-based): when the picture
// reaches the bottom, one new line scrolls it up by a row to make room for the shell's prompt.
std::string BelowPicture(const TerminalSize& size, int originRow);

// Clears the screen and asks for a larger terminal, naming both sizes.
std::string TooSmallMessage(const TerminalSize& size);
