// Provisional: replaced by the real effect.
#include "big_text.h"

void DrawBigText(const char*, int32_t, int32_t, int32_t, int32_t, Cell) {}
