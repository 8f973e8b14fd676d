// Bit-twiddling filters over every Cell of the CellScreen, laid over a finished picture.
// They work on the 16 bits of a Cell as a number, character and attribute together, so
// bits of the character spill into the colours and the other way round; every result keeps
// its low 16 bits.
#pragma once

#include <cstdint>

// Each Cell xor a key that changes every millisecond (time + 18761; the offset only moves the
// key away from the time), shifted left two bits: the character's top bits become the
// foreground's low bits.
void FilterXorTime(int32_t time);

// Each Cell xor a ramp that runs along the cells and with the time: bits 4 to 7 of
// ((time + index) ^ 0x89), shifted left one bit.
void FilterXorRamp(int32_t time);

// Keeps bits 0, 3 and 6 of the character and of the attribute (mask 0x4949), shifted right two
// bits: a few dim colours and low character codes are left of the picture.
void FilterMask();

// Each Cell xor the bits 0, 6 and 7 of ((time + index) ^ 0x89), shifted left two bits, then
// or-ed with time + 2 * index: a noise that crawls along the cells.
void FilterNoise(int32_t time);

// Every bit of every Cell inverted.
void FilterInvert();

// Two bands of vertical bars, 15 columns dark in every 25, darkened by an arithmetic shift of
// their Cells: rows 5 to 14 and, mirrored left to right, rows 34 to 43. The upper bars move one
// column left every 10 ms (the lower ones right), counted from `elapsed` = 0, the start of
// the scene that shows them.
void FilterBars(int32_t elapsed);
