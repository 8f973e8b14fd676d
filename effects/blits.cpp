// Provisional: replaced by the real effect.
#include "blits.h"

void BlitImage(const Pixel*, Pixel*, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t) {}
void BlitKeyedImage(const Pixel*, Pixel*, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t) {}
void BlitJitteredImage(const Pixel*, Pixel*, int32_t) {}
void BlitWavyImage(const Pixel*, Pixel*, int32_t, int32_t, int32_t, float) {}
