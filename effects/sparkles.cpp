// Provisional: replaced by the real effect.
#include "sparkles.h"

void InitSparkles() {}
void MoveSparkles() {}
void DrawSparkles() {}
