// Copies of pictures into a 160-wide pixel buffer.
#pragma once

#include <cstdint>

#include "quorvel4/types.h"

void BlitImage(const Pixel* src, Pixel* dst, int32_t srcWidth, int32_t srcHeight, int32_t srcX, int32_t srcY,
               int32_t width, int32_t height);
void BlitKeyedImage(const Pixel* src, Pixel* dst, int32_t srcWidth, int32_t srcHeight, int32_t srcX,
                    int32_t srcY, int32_t width, int32_t height);
void BlitJitteredImage(const Pixel* src, Pixel* dst, int32_t maxShift);
void BlitWavyImage(const Pixel* src, Pixel* dst, int32_t srcWidth, int32_t srcHeight, int32_t time,
                   float amplitude);
