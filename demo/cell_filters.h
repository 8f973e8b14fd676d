// Bit-twiddling filters over every Cell of the CellScreen, laid over a finished picture.
#pragma once

#include <cstdint>

void FilterXorTime(int32_t time);
void FilterXorRamp(int32_t time);
void FilterMask();
void FilterNoise(int32_t time);
void FilterInvert();
// Two bands of moving vertical bars, darkened by an arithmetic shift of their Cells.
void FilterBars(int32_t time);
