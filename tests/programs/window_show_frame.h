// The frames the window test program shows, shared with the tests that check them.
#pragma once

#include "quorvel4/types.h"

// Frame k: every glyph and colour pair turn up, and no cell has a black background, so
// the picture's edges stand out against the black bars around it.
inline Cell WindowTestCell(int index, int frame) {
  const int code = (index * 13 + frame * 29) & 0xFF;
  const int foreground = (index * 7 + frame) & 15;
  const int background = 1 + (index * 5 + frame * 3) % 15;
  return static_cast<Cell>(background << 12 | foreground << 8 | code);
}

inline void FillWindowTestFrame(Cell* cells, int frame) {
  for (int i = 0; i < kScreenCells; ++i) cells[i] = WindowTestCell(i, frame);
}
