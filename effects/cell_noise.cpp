// Provisional: replaced by the real effect.
#include "cell_noise.h"

void DrawCellNoise(int32_t) {}
