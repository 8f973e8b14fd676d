// Copies of pictures into a 160-wide pixel buffer.
//
// The rectangle ones read `src`, a picture of srcWidth pixels a row (srcHeight is not read:
// the caller keeps the rectangle inside it), from (srcX, srcY), and write a width x height
// block to the top-left corner of `dst`, whose rows are always 160 pixels.
#pragma once

#include <cstdint>

#include "quorvel4/types.h"

// Every pixel of the rectangle.
void BlitImage(const Pixel* src, Pixel* dst, int32_t srcWidth, int32_t srcHeight, int32_t srcX, int32_t srcY,
               int32_t width, int32_t height);
// Only the pixels that are not 0: black is the transparent colour.
void BlitKeyedImage(const Pixel* src, Pixel* dst, int32_t srcWidth, int32_t srcHeight, int32_t srcX,
                    int32_t srcY, int32_t width, int32_t height);
// A 160 x 100 picture with every row moved sideways by its own random shift of
// -(maxShift / 2) to maxShift - maxShift / 2 pixels; what moves off the edge is lost and
// what it uncovers keeps dst's pixels. One random draw per row, always. A negative maxShift is
// taken as 0.
void BlitJitteredImage(const Pixel* src, Pixel* dst, int32_t maxShift);
// A 160 x 100 picture whose rows move up and down on a sine wave of `amplitude` pixels that
// runs with `time` (its phase repeats every 100 ms); where two source rows land on one
// destination row the lower one wins. srcWidth and srcHeight are not read (160 x 100).
void BlitWavyImage(const Pixel* src, Pixel* dst, int32_t srcWidth, int32_t srcHeight, int32_t time,
                   float amplitude);
