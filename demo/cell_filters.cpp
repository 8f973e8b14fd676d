#include "demo/cell_filters.h"

#include "quorvel4/types.h"

namespace {

// Applies op(value, index) to every Cell, keeping the low 16 bits of the result.
template <typename Op>
void ForEachCell(Op op) {
  for (int32_t i = 0; i < kScreenCells; ++i) CellScreen[i] = static_cast<Cell>(op(uint32_t{CellScreen[i]}, i));
}

// The Cell taken as a signed 16-bit value, so bit 15 is copied into the bits that come in.
Cell DarkenCell(Cell cell) { return static_cast<Cell>(static_cast<int16_t>(cell) >> 5); }

}  // namespace

void FilterXorTime(int32_t time) {
  // In 32 bits unsigned, which wrap where a signed sum would overflow for the largest times; the
  // low 16 bits, all that is used, are the same.
  const uint32_t key = static_cast<uint32_t>(time) + 18761u;
  ForEachCell([key](uint32_t v, int32_t) { return ((v ^ key) & 0xFFFF) << 2; });
}

void FilterXorRamp(int32_t time) {
  ForEachCell([time](uint32_t v, int32_t i) {
    const uint32_t ramp = ((static_cast<uint32_t>(time) + static_cast<uint32_t>(i)) ^ 0x89u) & 0xF0u;
    return ((v ^ ramp) & 0xFFFF) << 1;
  });
}

void FilterMask() {
  ForEachCell([](uint32_t v, int32_t) { return (v & 0x4949u) >> 2; });
}

void FilterNoise(int32_t time) {
  ForEachCell([time](uint32_t v, int32_t i) {
    const uint32_t noise = ((static_cast<uint32_t>(time) + static_cast<uint32_t>(i)) ^ 0x89u) & 0xC1u;
    const uint32_t shifted = (((v ^ noise) & 0xFFFF) << 2) & 0xFFFF;
    return shifted | (static_cast<uint32_t>(time) + 2u * static_cast<uint32_t>(i));
  });
}

void FilterInvert() {
  ForEachCell([](uint32_t v, int32_t) { return ~v; });
}

void FilterBars(int32_t elapsed) {
  const int32_t offset = elapsed / 10;
  for (int32_t x = 0; x < kScreenWidth; ++x) {
    if ((x + offset) % 25 >= 15) continue;
    for (int32_t y = 5; y <= 14; ++y) CellScreen[x + kScreenWidth * y] = DarkenCell(CellScreen[x + kScreenWidth * y]);
    for (int32_t y = 34; y <= 43; ++y) {
      const int32_t index = (kScreenWidth - 1 - x) + kScreenWidth * y;
      CellScreen[index] = DarkenCell(CellScreen[index]);
    }
  }
}
