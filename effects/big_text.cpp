// Text in the 8 x 12 font, every lit glyph pixel one whole Cell: a character covers 7 columns
// by 12 rows of the screen. Unlit pixels write nothing, so the text stands on what is below.
#include "big_text.h"

#include <cstring>

#include "quorvel4/font.h"

namespace {

constexpr int64_t kCharacterColumns = kBigTextColumns;

bool OnScreen(int64_t value, int64_t size) { return value >= 0 && value < size; }

// Column positions are worked out in 64 bits: a large scroll cannot overflow them.
void DrawGlyph(unsigned char code, int64_t left, int64_t top, Cell cell) {
  const uint8_t* rows = Glyph(code);
  for (int k = 0; k < kGlyphHeight; ++k) {
    const int64_t y = top + k;
    // Rows off the screen are skipped rather than written past the CellScreen.
    if (!OnScreen(y, kScreenHeight) || rows[k] == 0) continue;
    Cell* line = CellScreen + y * kScreenWidth;
    for (int j = 0; j < kCharacterColumns; ++j) {
      const int64_t x = left + j;
      if ((rows[k] >> j & 1) != 0 && OnScreen(x, kScreenWidth)) line[x] = cell;
    }
  }
}

}  // namespace

void DrawBigText(const char* text, int32_t column, int32_t row, int32_t scroll, int32_t rise, Cell cell) {
  // Read as unsigned: codes of 128 and more pick glyphs 128 to 255, never a negative index.
  const auto* codes = reinterpret_cast<const unsigned char*>(text);
  const size_t length = std::strlen(text);
  const int64_t top = static_cast<int64_t>(row) - rise;
  for (size_t i = 0; i < length; ++i) {
    const int64_t left = static_cast<int64_t>(column) + kCharacterColumns * static_cast<int64_t>(i) - scroll;
    if (left + kCharacterColumns <= 0 || left >= kScreenWidth) continue;  // wholly off the screen
    DrawGlyph(codes[i], left, top, cell);
  }
}
