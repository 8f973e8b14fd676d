// Copies of pictures into a 160-wide pixel buffer: plain, keyed, jittered and wavy.
#include "blits.h"

#include "quorvel4/qmath.h"
#include "quorvel4/random.h"

void BlitImage(const Pixel* src, Pixel* dst, int32_t srcWidth, int32_t /*srcHeight*/, int32_t srcX, int32_t srcY,
               int32_t width, int32_t height) {
  for (int32_t i = srcX; i < srcX + width; ++i)
    for (int32_t j = srcY; j < srcY + height; ++j) dst[(i - srcX) + kCanvasWidth * (j - srcY)] = src[i + srcWidth * j];
}

void BlitKeyedImage(const Pixel* src, Pixel* dst, int32_t srcWidth, int32_t /*srcHeight*/, int32_t srcX,
                    int32_t srcY, int32_t width, int32_t height) {
  for (int32_t i = srcX; i < srcX + width; ++i) {
    for (int32_t j = srcY; j < srcY + height; ++j) {
      const Pixel p = src[i + srcWidth * j];
      if (p != 0) dst[(i - srcX) + kCanvasWidth * (j - srcY)] = p;
    }
  }
}

// Every row takes exactly one random draw, also when maxShift is 0: the later random
// streams of the show depend on the count.
void BlitJitteredImage(const Pixel* src, Pixel* dst, int32_t maxShift) {
  // A shift below 0 would divide by zero (-1) or shift by a negative range: no shake at all.
  if (maxShift < 0) maxShift = 0;
  for (int32_t y = 0; y < kCanvasHeight; ++y) {
    const int32_t r = Random();
    const int32_t shift = -(maxShift / 2) + r % (maxShift + 1);
    for (int32_t x = 0; x < kCanvasWidth; ++x) {
      const int32_t to = x + shift;
      if (to >= 0 && to < kCanvasWidth) dst[kCanvasWidth * y + to] = src[kCanvasWidth * y + x];
    }
  }
}

// Column-major with float counters, so that a later (larger) source row wins a destination row.
void BlitWavyImage(const Pixel* src, Pixel* dst, int32_t /*srcWidth*/, int32_t /*srcHeight*/, int32_t time,
                   float amplitude) {
  const int32_t offset = time % 100;
  for (float x = 0.0f; x < kCanvasWidth; x += 1.0f) {
    for (float y = 0.0f; y < kCanvasHeight; y += 1.0f) {
      const double phase = (double(offset) + double(y)) / 100.0;
      const float v = static_cast<float>(QvlSin(phase) * double(amplitude) + double(y));
      if (v >= 0.0f && v < kCanvasHeight) {
        dst[static_cast<int32_t>(x) + kCanvasWidth * static_cast<int32_t>(v)] =
            src[static_cast<int32_t>(x) + kCanvasWidth * static_cast<int32_t>(y)];
      }
    }
  }
}
