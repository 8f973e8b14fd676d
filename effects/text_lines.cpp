// Provisional: replaced by the real effect.
#include "text_lines.h"

void DrawTextLines(int32_t) {}
