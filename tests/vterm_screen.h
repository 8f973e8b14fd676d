// A terminal emulator (libvterm) for the tests: bytes in, cells and cursor out.
#pragma once

#include <vterm.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "quorvel4/cp437.h"
#include "quorvel4/palette.h"
#include "quorvel4/terminal_encoder.h"

class VtScreen {
 public:
  VtScreen(int columns, int rows) : vt_(vterm_new(rows, columns)) {
    vterm_set_utf8(vt_, 1);
    screen_ = vterm_obtain_screen(vt_);
    callbacks_.settermprop = &VtScreen::OnTermProp;
    vterm_screen_set_callbacks(screen_, &callbacks_, this);
    vterm_screen_reset(screen_, 1);
  }
  ~VtScreen() { vterm_free(vt_); }
  VtScreen(const VtScreen&) = delete;
  VtScreen& operator=(const VtScreen&) = delete;

  void Feed(std::string_view bytes) { vterm_input_write(vt_, bytes.data(), bytes.size()); }

  VTermScreenCell At(int column, int row) const {
    VTermScreenCell cell{};
    vterm_screen_get_cell(screen_, VTermPos{row, column}, &cell);
    return cell;
  }

  // The text of one row, trailing blanks dropped (ASCII only: enough for messages).
  std::string RowText(int row, int columns) const {
    std::string text;
    for (int x = 0; x < columns; ++x) {
      const uint32_t c = At(x, row).chars[0];
      text += c == 0 ? ' ' : static_cast<char>(c < 0x80 ? c : '?');
    }
    return text.substr(0, text.find_last_not_of(' ') + 1);
  }

  VTermPos Cursor() const {
    VTermPos pos{};
    vterm_state_get_cursorpos(vterm_obtain_state(vt_), &pos);
    return pos;
  }
  bool CursorVisible() const { return cursorVisible_; }

 private:
  static int OnTermProp(VTermProp prop, VTermValue* value, void* user) {
    if (prop == VTERM_PROP_CURSORVISIBLE) static_cast<VtScreen*>(user)->cursorVisible_ = value->boolean;
    return 1;
  }

  VTerm* vt_;
  VTermScreen* screen_;
  VTermScreenCallbacks callbacks_{};
  bool cursorVisible_ = true;
};

// ANSI colour index of each console colour: red and blue trade places.
inline constexpr int kAnsiOfConsole[16] = {0, 4, 2, 6, 1, 5, 3, 7, 8, 12, 10, 14, 9, 13, 11, 15};

// The colour xterm (and the terminals that follow it) shows for a 256-colour index; libvterm's
// own cube uses other levels, so it cannot be asked.
inline Rgb Xterm256Rgb(int index) {
  constexpr uint8_t kLevels[6] = {0, 95, 135, 175, 215, 255};
  if (index >= 232) {
    const auto grey = static_cast<uint8_t>(8 + 10 * (index - 232));
    return {grey, grey, grey};
  }
  const int cube = index - 16;
  return {kLevels[cube / 36], kLevels[cube / 6 % 6], kLevels[cube % 6]};
}

inline void ExpectColor(VTermColor got, int console, ColorMode mode, const char* what, int x, int y) {
  const Rgb& want = kVgaPalette[console];
  switch (mode) {
    case ColorMode::kTrueColor:
      ASSERT_TRUE(VTERM_COLOR_IS_RGB(&got)) << what << " at " << x << "," << y;
      EXPECT_EQ(got.rgb.red, want.r) << what << " at " << x << "," << y;
      EXPECT_EQ(got.rgb.green, want.g) << what << " at " << x << "," << y;
      EXPECT_EQ(got.rgb.blue, want.b) << what << " at " << x << "," << y;
      break;
    case ColorMode::kIndexed256: {
      // Entries 0-15 follow the terminal's theme; the cube and the grey ramp do not.
      ASSERT_TRUE(VTERM_COLOR_IS_INDEXED(&got)) << what << " at " << x << "," << y;
      EXPECT_GE(got.indexed.idx, 16) << what << " at " << x << "," << y;
      const Rgb shown = Xterm256Rgb(got.indexed.idx);
      EXPECT_NEAR(shown.r, want.r, 12) << what << " at " << x << "," << y;
      EXPECT_NEAR(shown.g, want.g, 12) << what << " at " << x << "," << y;
      EXPECT_NEAR(shown.b, want.b, 12) << what << " at " << x << "," << y;
      break;
    }
    case ColorMode::kAnsi16:
      ASSERT_TRUE(VTERM_COLOR_IS_INDEXED(&got)) << what << " at " << x << "," << y;
      EXPECT_EQ(got.indexed.idx, kAnsiOfConsole[console]) << what << " at " << x << "," << y;
      break;
  }
}

// "glyph G at X,Y shows U" for the first cell whose glyph differs from `cells`, else empty.
inline std::string FirstWrongGlyph(const VtScreen& vt, const std::vector<Cell>& cells) {
  char text[64] = "";
  for (int i = kScreenCells - 1; i >= 0; --i) {
    const uint32_t got = vt.At(i % kScreenWidth, i / kScreenWidth).chars[0];
    if (got != kCp437ToUnicode[cells[i] & 0xFF])
      std::snprintf(text, sizeof text, "glyph %d at %d,%d shows U+%04X", cells[i] & 0xFF, i % 80, i / 80, unsigned(got));
  }
  return text;
}

// Every cell of the picture at (originX, originY) shows the glyph and both colours.
inline void ExpectScreenShows(const VtScreen& vt, const std::vector<Cell>& cells, ColorMode mode, int originX = 0,
                       int originY = 0) {
  for (int y = 0; y < kScreenHeight; ++y) {
    for (int x = 0; x < kScreenWidth; ++x) {
      const Cell cell = cells[y * kScreenWidth + x];
      const VTermScreenCell got = vt.At(originX + x, originY + y);
      ASSERT_EQ(got.chars[0], kCp437ToUnicode[cell & 0xFF]) << "glyph " << (cell & 0xFF) << " at " << x << "," << y;
      ASSERT_EQ(got.width, 1) << x << "," << y;
      ASSERT_EQ(got.attrs.blink, 0u);
      ASSERT_EQ(got.attrs.bold, 0u);
      ExpectColor(got.fg, (cell >> 8) & 15, mode, "foreground", x, y);
      ExpectColor(got.bg, cell >> 12, mode, "background", x, y);
      if (::testing::Test::HasFailure()) return;
    }
  }
}

