// The frame the terminal test program shows, shared with the tests that check it.
#pragma once

#include "quorvel4/types.h"

// Every glyph and every attribute appear; codes and colours vary from cell to cell.
inline Cell TestFrameCell(int index) {
  const int code = (index * 13) & 0xFF;
  const int attribute = (index * 7 + index / 256) & 0xFF;
  return static_cast<Cell>(attribute << 8 | code);
}

inline void FillTestFrame(Cell* cells) {
  for (int i = 0; i < kScreenCells; ++i) cells[i] = TestFrameCell(i);
}
