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
      case ColorMode::kAnsi16: {
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
  mPenKnown = false;
  mCursorKnown = false;
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
    int rewriteCost = 0;
    bool rewrite = mPenKnown;
    for (int j = mCursorX; rewrite && j < x; ++j) {
      const Cell cell = cells[y * kScreenWidth + j];
      rewriteCost += mGlyphs[cell & 0xFF].length;
      rewrite = (cell >> 8) == mPen && rewriteCost <= forwardCost;
    }
    if (rewrite) {
      for (int j = mCursorX; j < x; ++j) {
        const Glyph& glyph = mGlyphs[cells[y * kScreenWidth + j] & 0xFF];
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

void TerminalEncoder::SetPen(uint8_t attribute) {
  if (mPenKnown && attribute == mPen) return;
  const int fg = attribute & 15;
  const int bg = attribute >> 4;
  const bool fgChanges = !mPenKnown || (mPen & 15) != fg;
  const bool bgChanges = !mPenKnown || (mPen >> 4) != bg;
  Put(seq::kCsi);
  if (fgChanges) PutParam(mFgParams[fg]);
  if (fgChanges && bgChanges) *mOut++ = seq::kParamSeparator;
  if (bgChanges) PutParam(mBgParams[bg]);
  *mOut++ = seq::kGraphicsFinal;
  mPen = attribute;
  mPenKnown = true;
}

void TerminalEncoder::PutCell(int x, Cell cell) {
  SetPen(static_cast<uint8_t>(cell >> 8));
  const Glyph& glyph = mGlyphs[cell & 0xFF];
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
  for (int y = 0; y < kScreenHeight; ++y) {
    for (int x = 0; x < kScreenWidth; ++x) {
      const int i = y * kScreenWidth + x;
      const Cell cell = cells[i];
      if (mShownValid && cell == mShown[i]) continue;
      MoveTo(x, y, cells);
      PutCell(x, cell);
      mShown[i] = cell;
    }
  }
  mShownValid = true;
  if (mOut == cellsBegin && prefix.empty()) return {};
  Put(seq::kSyncEnd);
  return {mBuffer.data(), static_cast<size_t>(mOut - mBuffer.data())};
}
