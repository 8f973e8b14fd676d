#include <algorithm>

#include "quorvel4/backend.h"

void HeadlessBackend::Present(const Cell* cells) {
  std::copy(cells, cells + kScreenCells, lastFrame_.begin());
  ++presentCount_;
}
