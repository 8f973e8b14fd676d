// The slogan rolling along whole rows and columns of the CellScreen.
//
// Mode 0 fills every column, alternately downward and upward; modes 1 and 2 draw one or two
// crossing pairs of lines (a full row and a full column) whose places jump during the second
// 100-unit slice of every 500 units of time. Lines drawn later win where they cross.
#include "text_lines.h"

#include <cstring>
#include <initializer_list>

#include "quorvel4/types.h"

namespace {

constexpr char kSlogan[] = "kvrt 6 world domination";
constexpr Cell kWhiteOnBlack = MakeCell(0, kColourWhite, kColourBlack);

// The places of the two pairs of lines persist between calls and between scenes (ResetTextLines
// must set every one of them back).
int32_t gLineColumn = 0;
int32_t gLineRow = 0;
int32_t gCrossColumn = 0;
int32_t gCrossRow = 0;
// Alternates the updates of the second pair: it moves on every other call in the slice.
uint8_t gMoveCross = 1;

void UpdateLinePlaces(int32_t time) {
  if ((time % 500) / 100 != 1) return;
  gLineColumn = time % kScreenWidth;
  gLineRow = time % kScreenHeight;
  if (gMoveCross != 0) {
    gCrossColumn = (gLineColumn + 30) % kScreenWidth;
    gCrossRow = (gLineRow + 32) % kScreenHeight;
    gMoveCross = 0;
  } else {
    gMoveCross = 1;
  }
}

// The text of one line, rolled so that step k shows slogan[(start + k) % length].
class RollingText {
 public:
  explicit RollingText(int32_t time)
      : mLength(static_cast<int32_t>(std::strlen(kSlogan))), mStart((time / 100) % mLength) {}

  Cell At(int32_t step) const {
    return static_cast<Cell>(kWhiteOnBlack | static_cast<uint8_t>(kSlogan[(mStart + step) % mLength]));
  }

 private:
  int32_t mLength;
  int32_t mStart;
};

void PutCell(int32_t column, int32_t row, Cell cell) { CellScreen[column + kScreenWidth * row] = cell; }

void ColumnDown(const RollingText& text, int32_t column) {
  for (int32_t k = 0; k < kScreenHeight; ++k) PutCell(column, k, text.At(k));
}

void ColumnUp(const RollingText& text, int32_t column) {
  for (int32_t k = 0; k < kScreenHeight; ++k) PutCell(column, kScreenHeight - 1 - k, text.At(k));
}

void RowRightward(const RollingText& text, int32_t row) {
  for (int32_t k = 0; k < kScreenWidth; ++k) PutCell(k, row, text.At(k));
}

void RowLeftward(const RollingText& text, int32_t row) {
  for (int32_t k = 0; k < kScreenWidth; ++k) PutCell(kScreenWidth - 1 - k, row, text.At(k));
}

// Columns 0, 4, ... down; 2, 6, ... up; 1, 5, ... down; 3, 7, ... up.
void FillAllColumns(const RollingText& text) {
  for (int32_t first : {0, 2, 1, 3}) {
    const bool downward = first < 2;
    for (int32_t column = first; column < kScreenWidth; column += 4) {
      if (downward) {
        ColumnDown(text, column);
      } else {
        ColumnUp(text, column);
      }
    }
  }
}

}  // namespace

void ResetTextLines() {
  gLineColumn = 0;
  gLineRow = 0;
  gCrossColumn = 0;
  gCrossRow = 0;
  gMoveCross = 1;
}

void DrawTextLines(int32_t time) {
  // A negative time would give negative places and indices, outside the screen and the text.
  if (time < 0) return;

  const int32_t mode = (time / 4000) % 3;
  UpdateLinePlaces(time);
  const RollingText text(time);

  if (mode == 0) {
    FillAllColumns(text);
    return;
  }
  RowRightward(text, gLineRow);
  ColumnDown(text, gLineColumn);
  if (mode == 2) {
    RowLeftward(text, gCrossRow);
    ColumnUp(text, gCrossColumn);
  }
}
