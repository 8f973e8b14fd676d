// The show's pictures as indices into the 16-colour VGA palette, the only colours the
// rasteriser draws with; the index of a colour is its console colour number.
#pragma once

#include <cstdint>
#include <vector>

#include "quorvel4/types.h"

struct IndexedPicture {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> indices;  // row-major
};

// The frame as the rasteriser draws it (8 x 12 glyphs), each pixel enlarged to a
// `scale` x `scale` square.
void IndexCells(const Cell* cells, int scale, IndexedPicture* picture);
