// Provisional: replaced by the real effect.
#include "plasma.h"

void DrawPlasma(float) {}
void DrawBluePlasma(float) {}
