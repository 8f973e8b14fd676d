// A terminal emulator (libvterm) for the tests: bytes in, cells and cursor out.
#pragma once

#include <vterm.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
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
  // The window title the last OSC 0 or 2 set (libvterm keeps no title stack).
  const std::string& Title() const { return title_; }

  // The text of `count` cells of a row from `column`, as UTF-8, trailing blanks dropped.
  std::string Utf8Text(int row, int column, int count) const {
    std::string text;
    for (int x = column; x < column + count; ++x) {
      const uint32_t c = At(x, row).chars[0];
      char utf8[4];
      text.append(utf8, static_cast<size_t>(Utf8Encode(c == 0 ? U' ' : c, utf8)));
    }
    return text.substr(0, text.find_last_not_of(' ') + 1);
  }

 private:
  static int OnTermProp(VTermProp prop, VTermValue* value, void* user) {
    auto* screen = static_cast<VtScreen*>(user);
    if (prop == VTERM_PROP_CURSORVISIBLE) screen->cursorVisible_ = value->boolean;
    if (prop == VTERM_PROP_TITLE) screen->title_ = value->string ? value->string : "";
    return 1;
  }

  VTerm* vt_;
  VTermScreen* screen_;
  VTermScreenCallbacks callbacks_{};
  bool cursorVisible_ = true;
  std::string title_;
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

// The colour a cell of the emulator shows, in the VGA terms of the colour mode: 24-bit as
// sent; the 256-colour cube as xterm shows it (entries 0-15 follow the theme, so they are
// refused); the 16 ANSI colours as the VGA palette the show sets (palette mode) or a VGA-like
// theme (16 colours). Null when the emulator holds a colour the mode never sends.
inline std::optional<Rgb> ShownColor(VTermColor got, ColorMode mode) {
  switch (mode) {
    case ColorMode::kTrueColor:
      if (!VTERM_COLOR_IS_RGB(&got)) return std::nullopt;
      return Rgb{got.rgb.red, got.rgb.green, got.rgb.blue};
    case ColorMode::kIndexed256:
      if (!VTERM_COLOR_IS_INDEXED(&got) || got.indexed.idx < 16) return std::nullopt;
      return Xterm256Rgb(got.indexed.idx);
    case ColorMode::kAnsi16:
    case ColorMode::kPalette:
      if (!VTERM_COLOR_IS_INDEXED(&got) || got.indexed.idx >= 16) return std::nullopt;
      for (int console = 0; console < 16; ++console) {
        if (kAnsiOfConsole[console] == got.indexed.idx) return kVgaPalette[console];
      }
      return std::nullopt;
  }
  return std::nullopt;
}

// The colour a console colour is meant to show as in a mode.
inline Rgb MeantColor(int console, ColorMode mode) {
  return mode == ColorMode::kIndexed256 ? Xterm256Rgb(Xterm256IndexOf(console)) : kVgaPalette[console];
}

// What a viewer sees in one cell: the colours of its four quarters when the glyph is a blank,
// a block or a half block (or any glyph in one colour), else the glyph over its two colours.
struct CellLook {
  char32_t glyph = 0;  // 0 for the quarters' form
  Rgb colors[4]{};     // quarters: top left, top right, bottom left, bottom right; else fg, bg
  bool operator==(const CellLook& o) const {
    if (glyph != o.glyph) return false;
    for (int k = 0; k < 4; ++k) {
      if (colors[k].r != o.colors[k].r || colors[k].g != o.colors[k].g || colors[k].b != o.colors[k].b) return false;
    }
    return true;
  }
};

inline CellLook LookOf(char32_t glyph, Rgb fg, Rgb bg) {
  const bool same = fg.r == bg.r && fg.g == bg.g && fg.b == bg.b;
  CellLook look;
  const auto quarters = [&](Rgb a, Rgb b, Rgb c, Rgb d) {
    look.colors[0] = a, look.colors[1] = b, look.colors[2] = c, look.colors[3] = d;
  };
  if (glyph == 0 || glyph == U' ' || glyph == U'\u00A0') quarters(bg, bg, bg, bg);
  else if (glyph == U'\u2588' || same) quarters(fg, fg, fg, fg);
  else if (glyph == U'\u2580') quarters(fg, fg, bg, bg);
  else if (glyph == U'\u2584') quarters(bg, bg, fg, fg);
  else if (glyph == U'\u258C') quarters(fg, bg, fg, bg);
  else if (glyph == U'\u2590') quarters(bg, fg, bg, fg);
  else {
    look.glyph = glyph;
    quarters(fg, bg, fg, bg);
  }
  return look;
}

inline std::string Describe(const CellLook& look) {
  char text[96];
  if (look.glyph) {
    std::snprintf(text, sizeof text, "U+%04X in %02X%02X%02X on %02X%02X%02X", unsigned(look.glyph), look.colors[0].r,
                  look.colors[0].g, look.colors[0].b, look.colors[1].r, look.colors[1].g, look.colors[1].b);
  } else {
    std::snprintf(text, sizeof text, "quarters %02X%02X%02X %02X%02X%02X %02X%02X%02X %02X%02X%02X", look.colors[0].r,
                  look.colors[0].g, look.colors[0].b, look.colors[1].r, look.colors[1].g, look.colors[1].b,
                  look.colors[2].r, look.colors[2].g, look.colors[2].b, look.colors[3].r, look.colors[3].g,
                  look.colors[3].b);
  }
  return text;
}

// "at X,Y: shows A, meant B" for the first cell of the picture at (originX, originY) that does
// not look as `cells` means it, else empty. A cell must be one cell wide, neither bold nor
// blinking, and in colours the mode sends.
inline std::string FirstWrongCell(const VtScreen& vt, const std::vector<Cell>& cells, ColorMode mode, int originX = 0,
                                  int originY = 0) {
  for (int i = 0; i < kScreenCells; ++i) {
    const int x = i % kScreenWidth, y = i / kScreenWidth;
    const Cell cell = cells[i];
    const VTermScreenCell got = vt.At(originX + x, originY + y);
    std::string at = "at " + std::to_string(x) + "," + std::to_string(y) + ": ";
    if (got.width != 1 || got.attrs.blink || got.attrs.bold) return at + "width, bold or blink";
    // A blank shows no foreground, a full block no background: those may be anything.
    const char32_t glyph = got.chars[0];
    const bool blank = glyph == 0 || glyph == U' ' || glyph == U'\u00A0', full = glyph == U'\u2588';
    const std::optional<Rgb> fg = blank ? Rgb{} : ShownColor(got.fg, mode);
    const std::optional<Rgb> bg = full ? Rgb{} : ShownColor(got.bg, mode);
    if (!fg || !bg) return at + "a colour the mode never sends";
    const CellLook shown = LookOf(glyph, *fg, *bg);
    const CellLook meant =
        LookOf(kCp437ToUnicode[cell & 0xFF], MeantColor((cell >> 8) & 15, mode), MeantColor(cell >> 12, mode));
    if (!(shown == meant)) return at + "shows " + Describe(shown) + ", meant " + Describe(meant);
  }
  return {};
}

// Every cell of the picture at (originX, originY) looks as `cells` means it: the same colour
// in every pixel. A blank on X and a full block in X are the same; so are an upper half block
// in A over B and a lower one in B over A.
inline void ExpectScreenShows(const VtScreen& vt, const std::vector<Cell>& cells, ColorMode mode, int originX = 0,
                              int originY = 0) {
  const std::string wrong = FirstWrongCell(vt, cells, mode, originX, originY);
  EXPECT_TRUE(wrong.empty()) << wrong;
}
