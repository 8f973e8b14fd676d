// A checkerboard of scrolling text emblems in the CellScreen.
//
// Every odd row carries copies of a ten-byte slot (five emblem characters, four spaces and
// the terminating zero byte, which shows as character 0) twenty columns apart; the two kinds
// of row are offset by ten columns. Even rows and the columns between copies are untouched.
#include "emblem_ticker.h"

#include "quorvel4/types.h"

namespace {

constexpr int kSlotBytes = 10;
constexpr int kSlots = 6;
// Each string literal supplies the five characters, the four spaces and the zero byte.
constexpr char kEmblems[kSlots][kSlotBytes] = {
    "(_o_)    ", "~!~!~    ", "B===D    ", "KVRT6    ", ":|:|:    ", "(.V.)    ",
};
constexpr Cell kBrightWhite = MakeCell(0, kColourWhite, kColourBlack);

void DrawCopy(const char* slot, int32_t firstColumn, int32_t row) {
  for (int32_t j = 0; j < kSlotBytes; ++j) {
    const int32_t column = firstColumn + j;
    if (column < 0 || column >= kScreenWidth) continue;
    CellScreen[column + kScreenWidth * row] = static_cast<Cell>(kBrightWhite + static_cast<uint8_t>(slot[j]));
  }
}

}  // namespace

void DrawEmblemTicker(int32_t time) {
  // A negative time would pick a slot before the table.
  if (time < 0) return;

  const int32_t shift = (time / 80) % 20;
  const char* slot = kEmblems[(time / 1000) % kSlots];
  bool firstKind = true;
  for (int32_t row = 1; row < kScreenHeight - 1; row += 2) {
    // First kind: copies -1, 1, ..., 7; second kind: copies -2, 0, ..., 8.
    const int32_t firstCopy = firstKind ? -1 : -2;
    const int32_t lastCopy = firstKind ? 7 : 8;
    for (int32_t k = firstCopy; k <= lastCopy; k += 2) DrawCopy(slot, shift + 10 * k, row);
    firstKind = !firstKind;
  }
}
