#include "quorvel4/terminal_encoder.h"

#include <cstring>
#include <string>

#include "quorvel4/cp437.h"
#include "quorvel4/palette.h"
#include "terminal_sequences.h"

namespace {

// Worst case for one cell: an absolute cursor move, a full truecolour SGR and a glyph,
// with room to spare for the cells rewritten instead of a cursor move.
constexpr size_t kMaxBytesPerCell = 80;
constexpr size_t kFrameOverhead = 64;

// Levels of the xterm 256-colour cube (indices 16-231) and its grey ramp (232-255).
constexpr uint8_t kCubeLevels[6] = {0, 95, 135, 175, 215, 255};

Rgb Xterm256Rgb(int index) {
  if (index >= 232) {
    const auto level = static_cast<uint8_t>(8 + 10 * (index - 232));
    return {level, level, level};
  }
  const int cube = index - 16;
  return {kCubeLevels[cube / 36], kCubeLevels[(cube / 6) % 6], kCubeLevels[cube % 6]};
}

int DistanceSquared(const Rgb& a, const Rgb& b) {
  const int dr = a.r - b.r, dg = a.g - b.g, db = a.b - b.b;
  return dr * dr + dg * dg + db * db;
}

bool Equals(const char* value, const char* wanted) { return value && std::strcmp(value, wanted) == 0; }

int DecimalDigits(int value) {
  int digits = 1;
  while (value >= 10) {
    value /= 10;
    ++digits;
  }
  return digits;
}

// Code page 437 codes of the glyphs that may stand in for one another.
constexpr uint8_t kNul = 0x00;
constexpr uint8_t kSpace = 0x20;
constexpr uint8_t kNoBreakSpace = 0xFF;
constexpr uint8_t kFullBlock = 0xDB;
constexpr uint8_t kLowerHalf = 0xDC;
constexpr uint8_t kLeftHalf = 0xDD;
constexpr uint8_t kRightHalf = 0xDE;
constexpr uint8_t kUpperHalf = 0xDF;

Cell ComputeSameLooking(Cell cell) {
  const uint8_t code = CellCharacter(cell);
  const unsigned fg = CellForeground(cell), bg = CellBackground(cell);
  const auto solid = [](unsigned color) { return MakeCell(kSpace, color, color); };
  if (code == kNul || code == kSpace || code == kNoBreakSpace) return solid(bg);
  if (code == kFullBlock || fg == bg) return solid(fg);
  if (code == kLowerHalf) return MakeCell(kUpperHalf, bg, fg);
  if (code == kRightHalf) return MakeCell(kLeftHalf, bg, fg);
  return cell;
}

const std::vector<Cell>& SameLookingTable() {
  static const std::vector<Cell> table = [] {
    std::vector<Cell> cells(65536);
    for (size_t i = 0; i < cells.size(); ++i) cells[i] = ComputeSameLooking(static_cast<Cell>(i));
    return cells;
  }();
  return table;
}

std::string HexByte(uint8_t value) {
  static constexpr char kDigits[] = "0123456789abcdef";
  return {kDigits[value >> 4], kDigits[value & 15]};
}

}  // namespace

Cell SameLookingCell(Cell cell) { return SameLookingTable()[cell]; }

std::string_view SetVgaPaletteBytes() {
  static const std::string bytes = [] {
    std::string out(seq::kOscSetColor);
    for (int console = 0; console < 16; ++console) {
      const Rgb& c = kVgaPalette[console];
      if (console > 0) out += seq::kParamSeparator;
      out += std::to_string(AnsiColorOf(console)) + seq::kParamSeparator + std::string(seq::kRgbSpec) + HexByte(c.r) +
             '/' + HexByte(c.g) + '/' + HexByte(c.b);
    }
    out += seq::kStringTerminator;
    return out;
  }();
  return bytes;
}

std::string_view ResetPaletteBytes() { return seq::kResetPalette; }

ColorMode ChooseColorMode(const char* override, const char* colorterm, const char* term) {
  if (Equals(override, "truecolor") || Equals(override, "24bit")) return ColorMode::kTrueColor;
  if (Equals(override, "256")) return ColorMode::kIndexed256;
  if (Equals(override, "16")) return ColorMode::kAnsi16;
  if (Equals(override, "palette")) return ColorMode::kPalette;
  if (Equals(colorterm, "truecolor") || Equals(colorterm, "24bit")) return ColorMode::kTrueColor;
  if (term && std::strstr(term, "256")) return ColorMode::kIndexed256;
  return ColorMode::kAnsi16;
}

int Xterm256IndexOf(int console) {
  const Rgb& want = kVgaPalette[console & 15];
  int best = 16;
  for (int index = 17; index < 256; ++index) {
    if (DistanceSquared(Xterm256Rgb(index), want) < DistanceSquared(Xterm256Rgb(best), want)) best = index;
  }
  return best;
}

TerminalEncoder::TerminalEncoder(ColorMode mode) : mMode(mode) {
  for (int code = 0; code < 256; ++code) {
    mGlyphs[code].length = static_cast<uint8_t>(Utf8Encode(kCp437ToUnicode[code], mGlyphs[code].bytes));
  }
  for (int color = 0; color < 16; ++color) {
    std::string fg, bg;
    switch (mMode) {
      case ColorMode::kTrueColor: {
        const Rgb& c = kVgaPalette[color];
        const std::string rgb = std::to_string(c.r) + ';' + std::to_string(c.g) + ';' + std::to_string(c.b);
        fg = std::string(seq::kFgRgb) + rgb;
        bg = std::string(seq::kBgRgb) + rgb;
        break;
      }
      case ColorMode::kIndexed256: {
        const std::string index = std::to_string(Xterm256IndexOf(color));
        fg = std::string(seq::kFgIndexed) + index;
        bg = std::string(seq::kBgIndexed) + index;
        break;
      }
      case ColorMode::kAnsi16:
      case ColorMode::kPalette: {
        const int ansi = AnsiColorOf(color);
        const bool bright = ansi >= 8;
        fg = std::to_string((bright ? seq::kFgAnsiBrightBase : seq::kFgAnsiBase) + (ansi & 7));
        bg = std::to_string((bright ? seq::kBgAnsiBrightBase : seq::kBgAnsiBase) + (ansi & 7));
        break;
      }
    }
    std::memcpy(mFgParams[color].text, fg.data(), fg.size());
    mFgParams[color].length = static_cast<uint8_t>(fg.size());
    std::memcpy(mBgParams[color].text, bg.data(), bg.size());
    mBgParams[color].length = static_cast<uint8_t>(bg.size());
  }
}

void TerminalEncoder::SetOrigin(int column, int row) {
  mOriginX = column;
  mOriginY = row;
  Invalidate();
}

void TerminalEncoder::Invalidate() {
  mShownValid = false;
  mPenFg = mPenBg = kUnknown;
  mCursorKnown = false;
}

[[gnu::always_inline]] inline TerminalEncoder::Forms TerminalEncoder::FormsOf(Cell sameLooking) {
  const uint8_t code = CellCharacter(sameLooking);
  const auto fg = static_cast<int8_t>(CellForeground(sameLooking));
  const auto bg = static_cast<int8_t>(CellBackground(sameLooking));
  // The space first: of two forms that cost the same it is the shorter glyph.
  Forms forms;
  forms.form[0] = {code, fg, bg};
  forms.count = 1;
  if (code == kSpace && fg == bg) {
    forms.form[0].fg = -1;
    forms.form[1] = {kFullBlock, fg, -1};
    forms.count = 2;
  } else if (code == kUpperHalf || code == kLeftHalf) {
    forms.form[1] = {code == kUpperHalf ? kLowerHalf : kRightHalf, bg, fg};
    forms.count = 2;
  }
  return forms;
}

// The bytes of the SGR that takes the pen to what `form` needs.
[[gnu::always_inline]] inline int TerminalEncoder::PenCost(const Form& form, int penFg, int penBg) const {
  const bool fg = form.fg >= 0 && form.fg != penFg;
  const bool bg = form.bg >= 0 && form.bg != penBg;
  if (!fg && !bg) return 0;
  return static_cast<int>(seq::kCsi.size()) + 1 + (fg ? mFgParams[form.fg].length : 0) +
         (bg ? mBgParams[form.bg].length : 0) + (fg && bg ? 1 : 0);
}

// The fewest bytes that draw a cell of `forms` from the pen (penFg, penBg).
int TerminalEncoder::DrawCost(const Forms& forms, int penFg, int penBg) const {
  int best = PenCost(forms.form[0], penFg, penBg) + mGlyphs[forms.form[0].code].length;
  if (forms.count > 1) {
    const int other = PenCost(forms.form[1], penFg, penBg) + mGlyphs[forms.form[1].code].length;
    if (other < best) best = other;
  }
  return best;
}

void TerminalEncoder::Put(std::string_view bytes) {
  if (bytes.empty()) return;  // an empty view may hold a null pointer
  std::memcpy(mOut, bytes.data(), bytes.size());
  mOut += bytes.size();
}

void TerminalEncoder::PutNumber(int value) {
  const int digits = DecimalDigits(value);
  for (int i = digits - 1; i >= 0; --i) {
    mOut[i] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
  mOut += digits;
}

void TerminalEncoder::PutParam(const Param& param) {
  std::memcpy(mOut, param.text, sizeof param.text);  // fixed size: cheaper than a variable copy
  mOut += param.length;
}

void TerminalEncoder::MoveTo(int x, int y, const Cell* cells) {
  if (mCursorKnown && mCursorY == y && x >= mCursorX) {
    if (x == mCursorX) return;
    const int gap = x - mCursorX;
    const int forwardCost = static_cast<int>(seq::kCsi.size()) + 1 + (gap > 1 ? DecimalDigits(gap) : 0);
    // The skipped cells are unchanged; sending them again is cheaper than a cursor move
    // when they are short and share the pen.
    uint8_t codes[kScreenWidth];
    int rewriteCost = 0;
    bool rewrite = true;
    for (int j = mCursorX; rewrite && j < x; ++j) {
      const Forms forms = FormsOf(cells[y * kScreenWidth + j]);
      rewrite = false;
      for (int k = 0; k < forms.count && !rewrite; ++k) {
        const Form& form = forms.form[k];
        if (PenCost(form, mPenFg, mPenBg) != 0) continue;
        rewrite = rewriteCost + mGlyphs[form.code].length <= forwardCost;
        codes[j] = form.code;
      }
      if (rewrite) rewriteCost += mGlyphs[codes[j]].length;
    }
    if (rewrite) {
      for (int j = mCursorX; j < x; ++j) {
        const Glyph& glyph = mGlyphs[codes[j]];
        Put({glyph.bytes, glyph.length});
      }
    } else {
      Put(seq::kCsi);
      if (gap > 1) PutNumber(gap);
      *mOut++ = seq::kCursorForwardFinal;
    }
    mCursorX = x;
    return;
  }
  Put(seq::kCsi);
  PutNumber(mOriginY + y + 1);
  if (mOriginX + x > 0) {
    *mOut++ = seq::kParamSeparator;
    PutNumber(mOriginX + x + 1);
  }
  *mOut++ = seq::kCursorPositionFinal;
  mCursorKnown = true;
  mCursorX = x;
  mCursorY = y;
}

std::string_view TerminalEncoder::ReplayStart() {
  static const std::string start = std::string(seq::kHideCursor) + std::string(seq::kClearScreen);
  return start;
}

std::string_view TerminalEncoder::PlainColors() { return seq::kResetGraphics; }

std::string TerminalEncoder::ReplayEnd() const {
  std::string bytes(seq::kResetGraphics);
  bytes += seq::kCsi;
  bytes += std::to_string(mOriginY + kScreenHeight + 1);
  bytes += seq::kParamSeparator;
  bytes += std::to_string(mOriginX + 1);
  bytes += seq::kCursorPositionFinal;
  bytes += seq::kShowCursor;
  return bytes;
}

void TerminalEncoder::SetPen(const Form& form) {
  const bool fgChanges = form.fg >= 0 && form.fg != mPenFg;
  const bool bgChanges = form.bg >= 0 && form.bg != mPenBg;
  if (!fgChanges && !bgChanges) return;
  Put(seq::kCsi);
  if (fgChanges) PutParam(mFgParams[form.fg]);
  if (fgChanges && bgChanges) *mOut++ = seq::kParamSeparator;
  if (bgChanges) PutParam(mBgParams[form.bg]);
  *mOut++ = seq::kGraphicsFinal;
  if (fgChanges) mPenFg = form.fg;
  if (bgChanges) mPenBg = form.bg;
}

void TerminalEncoder::PutCell(int x, const Form& form) {
  SetPen(form);
  const Glyph& glyph = mGlyphs[form.code];
  std::memcpy(mOut, glyph.bytes, sizeof glyph.bytes);
  mOut += glyph.length;
  // Auto-wrap is off: past the last column the cursor stays put or moves on into the
  // margin, depending on the terminal's width, so its place is no longer known.
  mCursorX = x + 1;
  if (mCursorX == kScreenWidth) mCursorKnown = false;
}

std::string_view TerminalEncoder::EncodeFrame(const Cell* cells, std::string_view prefix) {
  const size_t capacity = kMaxBytesPerCell * kScreenCells + kFrameOverhead + prefix.size();
  if (mBuffer.size() < capacity) mBuffer.resize(capacity);
  mOut = mBuffer.data();
  Put(seq::kSyncBegin);
  Put(prefix);
  const char* cellsBegin = mOut;
  // Cells that look the same are the same: a change from one to another sends nothing.
  const Cell* table = SameLookingTable().data();
  Cell* wanted = mWanted.data();
  for (int i = 0; i < kScreenCells; ++i) wanted[i] = table[cells[i]];
  const auto changed = [&](int i) { return !mShownValid || wanted[i] != mShown[i]; };
  int next = 0;
  while (next < kScreenCells && !changed(next)) ++next;
  while (next < kScreenCells) {
    const int i = next;
    for (++next; next < kScreenCells && !changed(next);) ++next;
    const int x = i % kScreenWidth, y = i / kScreenWidth;
    MoveTo(x, y, wanted);
    // Of two forms, the one that costs less for this cell and the next changed one.
    const Forms forms = FormsOf(wanted[i]);
    int choice = 0;
    if (forms.count > 1) {
      int best = 0;
      for (int k = 0; k < forms.count; ++k) {
        const Form& form = forms.form[k];
        int cost = PenCost(form, mPenFg, mPenBg) + mGlyphs[form.code].length;
        if (next < kScreenCells) {
          cost += DrawCost(FormsOf(wanted[next]), form.fg >= 0 ? form.fg : mPenFg, form.bg >= 0 ? form.bg : mPenBg);
        }
        if (k == 0 || cost < best) {
          best = cost;
          choice = k;
        }
      }
    }
    PutCell(x, forms.form[choice]);
    mShown[i] = wanted[i];
  }
  mShownValid = true;
  if (mOut == cellsBegin && prefix.empty()) return {};
  Put(seq::kSyncEnd);
  return {mBuffer.data(), static_cast<size_t>(mOut - mBuffer.data())};
}
