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

}  // namespace

ColorMode ChooseColorMode(const char* override, const char* colorterm, const char* term) {
  if (Equals(override, "truecolor") || Equals(override, "24bit")) return ColorMode::kTrueColor;
  if (Equals(override, "256")) return ColorMode::kIndexed256;
  if (Equals(override, "16")) return ColorMode::kAnsi16;
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

TerminalEncoder::TerminalEncoder(ColorMode mode) : mode_(mode) {
  for (int code = 0; code < 256; ++code) {
    glyphs_[code].length = static_cast<uint8_t>(Utf8Encode(kCp437ToUnicode[code], glyphs_[code].bytes));
  }
  for (int color = 0; color < 16; ++color) {
    std::string fg, bg;
    switch (mode_) {
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
      case ColorMode::kAnsi16: {
        const int ansi = AnsiColorOf(color);
        const bool bright = ansi >= 8;
        fg = std::to_string((bright ? seq::kFgAnsiBrightBase : seq::kFgAnsiBase) + (ansi & 7));
        bg = std::to_string((bright ? seq::kBgAnsiBrightBase : seq::kBgAnsiBase) + (ansi & 7));
        break;
      }
    }
    std::memcpy(fgParams_[color].text, fg.data(), fg.size());
    fgParams_[color].length = static_cast<uint8_t>(fg.size());
    std::memcpy(bgParams_[color].text, bg.data(), bg.size());
    bgParams_[color].length = static_cast<uint8_t>(bg.size());
  }
}

void TerminalEncoder::SetOrigin(int column, int row) {
  originX_ = column;
  originY_ = row;
  Invalidate();
}

void TerminalEncoder::Invalidate() {
  shownValid_ = false;
  penKnown_ = false;
  cursorKnown_ = false;
}

void TerminalEncoder::Put(std::string_view bytes) {
  if (bytes.empty()) return;  // an empty view may hold a null pointer
  std::memcpy(out_, bytes.data(), bytes.size());
  out_ += bytes.size();
}

void TerminalEncoder::PutNumber(int value) {
  const int digits = DecimalDigits(value);
  for (int i = digits - 1; i >= 0; --i) {
    out_[i] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
  out_ += digits;
}

void TerminalEncoder::PutParam(const Param& param) {
  std::memcpy(out_, param.text, sizeof param.text);  // fixed size: cheaper than a variable copy
  out_ += param.length;
}

void TerminalEncoder::MoveTo(int x, int y, const Cell* cells) {
  if (cursorKnown_ && cursorY_ == y && x >= cursorX_) {
    if (x == cursorX_) return;
    const int gap = x - cursorX_;
    const int forwardCost = static_cast<int>(seq::kCsi.size()) + 1 + (gap > 1 ? DecimalDigits(gap) : 0);
    // The skipped cells are unchanged; sending them again is cheaper than a cursor move
    // when they are short and share the pen.
    int rewriteCost = 0;
    bool rewrite = penKnown_;
    for (int j = cursorX_; rewrite && j < x; ++j) {
      const Cell cell = cells[y * kScreenWidth + j];
      rewriteCost += glyphs_[cell & 0xFF].length;
      rewrite = (cell >> 8) == pen_ && rewriteCost <= forwardCost;
    }
    if (rewrite) {
      for (int j = cursorX_; j < x; ++j) {
        const Glyph& glyph = glyphs_[cells[y * kScreenWidth + j] & 0xFF];
        Put({glyph.bytes, glyph.length});
      }
    } else {
      Put(seq::kCsi);
      if (gap > 1) PutNumber(gap);
      *out_++ = seq::kCursorForwardFinal;
    }
    cursorX_ = x;
    return;
  }
  Put(seq::kCsi);
  PutNumber(originY_ + y + 1);
  if (originX_ + x > 0) {
    *out_++ = seq::kParamSeparator;
    PutNumber(originX_ + x + 1);
  }
  *out_++ = seq::kCursorPositionFinal;
  cursorKnown_ = true;
  cursorX_ = x;
  cursorY_ = y;
}

void TerminalEncoder::SetPen(uint8_t attribute) {
  if (penKnown_ && attribute == pen_) return;
  const int fg = attribute & 15;
  const int bg = attribute >> 4;
  const bool fgChanges = !penKnown_ || (pen_ & 15) != fg;
  const bool bgChanges = !penKnown_ || (pen_ >> 4) != bg;
  Put(seq::kCsi);
  if (fgChanges) PutParam(fgParams_[fg]);
  if (fgChanges && bgChanges) *out_++ = seq::kParamSeparator;
  if (bgChanges) PutParam(bgParams_[bg]);
  *out_++ = seq::kGraphicsFinal;
  pen_ = attribute;
  penKnown_ = true;
}

void TerminalEncoder::PutCell(int x, Cell cell) {
  SetPen(static_cast<uint8_t>(cell >> 8));
  const Glyph& glyph = glyphs_[cell & 0xFF];
  std::memcpy(out_, glyph.bytes, sizeof glyph.bytes);
  out_ += glyph.length;
  // Auto-wrap is off: past the last column the cursor stays put or moves on into the
  // margin, depending on the terminal's width, so its place is no longer known.
  cursorX_ = x + 1;
  if (cursorX_ == kScreenWidth) cursorKnown_ = false;
}

std::string_view TerminalEncoder::EncodeFrame(const Cell* cells, std::string_view prefix) {
  const size_t capacity = kMaxBytesPerCell * kScreenCells + kFrameOverhead + prefix.size();
  if (buffer_.size() < capacity) buffer_.resize(capacity);
  out_ = buffer_.data();
  Put(seq::kSyncBegin);
  Put(prefix);
  const char* cellsBegin = out_;
  for (int y = 0; y < kScreenHeight; ++y) {
    for (int x = 0; x < kScreenWidth; ++x) {
      const int i = y * kScreenWidth + x;
      const Cell cell = cells[i];
      if (shownValid_ && cell == shown_[i]) continue;
      MoveTo(x, y, cells);
      PutCell(x, cell);
      shown_[i] = cell;
    }
  }
  shownValid_ = true;
  if (out_ == cellsBegin && prefix.empty()) return {};
  Put(seq::kSyncEnd);
  return {buffer_.data(), static_cast<size_t>(out_ - buffer_.data())};
}
