// Small readers of the CellScreen shared by the tests of the cell effects.
#pragma once

#include <cstring>

#include "quorvel4/types.h"

inline Cell CellAt(int x, int y) { return CellScreen[x + kScreenWidth * y]; }

inline void ClearCells() { std::memset(CellScreen, 0, sizeof(CellScreen)); }

inline int CountNonZeroCells() {
  int count = 0;
  for (Cell cell : CellScreen) count += cell != 0;
  return count;
}
