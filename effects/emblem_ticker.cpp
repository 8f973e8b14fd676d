// Provisional: replaced by the real effect.
#include "emblem_ticker.h"

void DrawEmblemTicker(int32_t) {}
