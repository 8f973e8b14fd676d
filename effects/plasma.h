// Two full-screen sine plasmas in the Canvas.
#pragma once

void DrawPlasma(float time);
void DrawBluePlasma(float time);
