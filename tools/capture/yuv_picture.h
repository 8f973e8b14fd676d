// Palette pictures as 8-bit 4:2:0 video (BT.709, limited range), enlarged by a whole
// factor with sharp pixels.
#pragma once

#include <cstdint>
#include <vector>

#include "indexed_picture.h"

// Fills `yuv` with the Y plane, then Cb, then Cr of `picture` enlarged `scale` times; each
// chroma sample is the mean of its 2 x 2 pixels, so at even scales it is exactly the
// colour of the one source pixel under it.
void ToYuv420(const IndexedPicture& picture, int scale, std::vector<uint8_t>* yuv);
