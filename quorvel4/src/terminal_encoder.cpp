#include "quorvel4/terminal_encoder.h"

#include <algorithm>
#include <bit>
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

// One entry a sequence: some terminals (alacritty 0.11) ignore a sequence that sets them all.
std::string SetPaletteEntryBytes(int ansi, const Rgb& colour) {
  return std::string(seq::kOscSetColor) + std::to_string(ansi) + seq::kParamSeparator + std::string(seq::kRgbSpec) +
         HexByte(colour.r) + '/' + HexByte(colour.g) + '/' + HexByte(colour.b) + std::string(seq::kStringTerminator);
}

std::string_view SetVgaPaletteBytes() {
  static const std::string bytes = [] {
    std::string out;
    for (int console = 0; console < 16; ++console) out += SetPaletteEntryBytes(AnsiColorOf(console), kVgaPalette[console]);
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
  // The cheapest colour change: one colour, the shorter of the two forms.
  int cheapest = 1 << 30;
  for (int color = 0; color < 16; ++color) {
    cheapest = std::min({cheapest, static_cast<int>(mFgParams[color].length), static_cast<int>(mBgParams[color].length)});
  }
  mEveryChangePassesOver = 2 * (static_cast<int>(seq::kCsi.size()) + 1 + cheapest) > kPassOverCost;
}

void TerminalEncoder::SetOrigin(int column, int row) {
  mOriginX = column;
  mOriginY = row;
  Invalidate();
}

void TerminalEncoder::Invalidate() {
  mShownValid = false;
  mPenFg = mPenBg = kUnknown;
  mRowKnown = mColumnKnown = false;
}

// Whether the pen (penFg, penBg) draws the cell in one of its forms without a colour change.
[[gnu::always_inline]] inline bool TerminalEncoder::Fits(Cell sameLooking, int penFg, int penBg) {
  const uint8_t code = CellCharacter(sameLooking);
  const int fg = static_cast<int>(CellForeground(sameLooking));
  const int bg = static_cast<int>(CellBackground(sameLooking));
  // Every space of a same-looking cell is of one colour: a space on it or a full block in it.
  if (code == kSpace) return penBg == bg || penFg == bg;
  if (code == kUpperHalf || code == kLeftHalf) return (penFg == fg && penBg == bg) || (penFg == bg && penBg == fg);
  return penFg == fg && penBg == bg;
}

// The bytes of the SGR that takes the pen to (fg, bg); -1 leaves that colour as it is.
[[gnu::always_inline]] inline int TerminalEncoder::PenCost(int fg, int bg) const {
  const bool fgChanges = fg >= 0 && fg != mPenFg;
  const bool bgChanges = bg >= 0 && bg != mPenBg;
  if (!fgChanges && !bgChanges) return 0;
  return static_cast<int>(seq::kCsi.size()) + 1 + (fgChanges ? mFgParams[fg].length : 0) +
         (bgChanges ? mBgParams[bg].length : 0) + (fgChanges && bgChanges ? 1 : 0);
}

// The pen that draws a cell the pen does not fit, at the least cost; for a cell of one colour
// the one that also fits `nextCell` (the next cell of the row to draw, if any) when it can.
inline void TerminalEncoder::PenFor(Cell sameLooking, const Cell* nextCell, int& fg, int& bg) const {
  const uint8_t code = CellCharacter(sameLooking);
  const int a = static_cast<int>(CellForeground(sameLooking));
  const int b = static_cast<int>(CellBackground(sameLooking));
  if (code == kSpace) {
    const bool asForeground = nextCell && !Fits(*nextCell, mPenFg, a) && Fits(*nextCell, a, mPenBg);
    fg = asForeground ? a : -1;
    bg = asForeground ? -1 : a;
    return;
  }
  const bool mirrored = (code == kUpperHalf || code == kLeftHalf) && PenCost(b, a) < PenCost(a, b);
  fg = mirrored ? b : a;
  bg = mirrored ? a : b;
}

// The glyph that draws a cell the pen fits.
[[gnu::always_inline]] inline uint8_t TerminalEncoder::CodeUnderPen(Cell sameLooking) const {
  const uint8_t code = CellCharacter(sameLooking);
  const int fg = static_cast<int>(CellForeground(sameLooking));
  if (code == kSpace) return mPenBg == fg ? kSpace : kFullBlock;
  if (code == kUpperHalf && mPenFg != fg) return kLowerHalf;
  if (code == kLeftHalf && mPenFg != fg) return kRightHalf;
  return code;
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

void TerminalEncoder::PutMove(int count, char final) {
  Put(seq::kCsi);
  if (count > 1) PutNumber(count);  // 1 is the default
  *mOut++ = final;
}

void TerminalEncoder::MoveTo(int x, int y) {
  if (mRowKnown && mCursorY == y) {
    if (mColumnKnown && x == mCursorX) return;
    const int column = mOriginX + x + 1;
    const auto moveCost = [](int count) { return static_cast<int>(seq::kCsi.size()) + 1 + (count > 1 ? DecimalDigits(count) : 0); };
    const int absoluteCost = moveCost(column);
    if (mColumnKnown && x > mCursorX) {
      const int gap = x - mCursorX;
      const int forwardCost = std::min(moveCost(gap), absoluteCost);
      // Sending the cells in between again, as the terminal shows them, is cheaper than a
      // cursor move when they are few, short and fit the pen.
      const Cell* shown = &mShown[y * kScreenWidth];
      int rewriteCost = 0;
      bool rewrite = true;
      for (int j = mCursorX; rewrite && j < x; ++j) {
        rewrite = Fits(shown[j], mPenFg, mPenBg) && (rewriteCost += mGlyphs[CodeUnderPen(shown[j])].length) <= forwardCost;
      }
      if (rewrite) {
        for (int j = mCursorX; j < x; ++j) {
          const Glyph& glyph = mGlyphs[CodeUnderPen(shown[j])];
          std::memcpy(mOut, glyph.bytes, sizeof glyph.bytes);
          mOut += glyph.length;
        }
      } else if (moveCost(gap) <= absoluteCost) {
        PutMove(gap, seq::kCursorForwardFinal);
      } else {
        PutMove(column, seq::kCursorColumnFinal);
      }
    } else if (mColumnKnown && moveCost(mCursorX - x) < absoluteCost) {
      PutMove(mCursorX - x, seq::kCursorBackFinal);
    } else {
      PutMove(column, seq::kCursorColumnFinal);
    }
    mColumnKnown = true;
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
  mRowKnown = mColumnKnown = true;
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

void TerminalEncoder::SetPen(int fg, int bg) {
  const bool fgChanges = fg >= 0 && fg != mPenFg;
  const bool bgChanges = bg >= 0 && bg != mPenBg;
  if (!fgChanges && !bgChanges) return;
  Put(seq::kCsi);
  if (fgChanges) PutParam(mFgParams[fg]);
  if (fgChanges && bgChanges) *mOut++ = seq::kParamSeparator;
  if (bgChanges) PutParam(mBgParams[bg]);
  *mOut++ = seq::kGraphicsFinal;
  if (fgChanges) mPenFg = fg;
  if (bgChanges) mPenBg = bg;
}

void TerminalEncoder::PutCell(int x, Cell sameLooking) {
  const Glyph& glyph = mGlyphs[CodeUnderPen(sameLooking)];
  std::memcpy(mOut, glyph.bytes, sizeof glyph.bytes);
  mOut += glyph.length;
  // Auto-wrap is off: past the last column the cursor stays put or moves on into the
  // margin, depending on the terminal's width, so its column is no longer known; its row is.
  mCursorX = x + 1;
  if (mCursorX == kScreenWidth) mColumnKnown = false;
}

uint16_t TerminalEncoder::KindOf(Cell sameLooking) {
  const uint8_t code = CellCharacter(sameLooking);
  const unsigned fg = CellForeground(sameLooking), bg = CellBackground(sameLooking);
  if (code == kSpace) return static_cast<uint16_t>(fg);
  if (code == kUpperHalf || code == kLeftHalf) return static_cast<uint16_t>(kHalfKinds + std::min(fg, bg) * 16 + std::max(fg, bg));
  return static_cast<uint16_t>(kExactKinds + fg * 16 + bg);
}

int TerminalEncoder::Columns::First() const {
  return low != 0 ? std::countr_zero(low) : 64 + std::countr_zero(high);
}

TerminalEncoder::Columns TerminalEncoder::Columns::After(int column) const {
  const int from = column + 1;
  if (from < 64) return {low & (~uint64_t{0} << from), high};
  return {0, high & (~uint64_t{0} << (from - 64))};
}

void TerminalEncoder::Columns::Add(int column) {
  (column < 64 ? low : high) |= uint64_t{1} << (column & 63);
}

void TerminalEncoder::Columns::Remove(int column) {
  (column < 64 ? low : high) &= ~(uint64_t{1} << (column & 63));
}

inline TerminalEncoder::Columns TerminalEncoder::FittingPen() const {
  if (mPenFg < 0 || mPenBg < 0) return {};
  const Columns solid = mWaitingOfKind[mPenFg] | mWaitingOfKind[mPenBg];
  return solid | mWaitingOfKind[kHalfKinds + std::min(mPenFg, mPenBg) * 16 + std::max(mPenFg, mPenBg)] |
         mWaitingOfKind[kExactKinds + mPenFg * 16 + mPenBg];
}

void TerminalEncoder::EncodeRow(int y) {
  Cell* shown = &mShown[y * kScreenWidth];
  // Each sweep starts at the first waiting cell and goes right. A cell the pen does not fit is
  // passed over, for a later sweep, when this sweep has drawn already and a later waiting cell
  // fits the pen (and, where a colour change may be cheap, when changing costs enough).
  while (mWaiting.Any()) {
    int x = mWaiting.First();
    bool drewAny = false;
    // Worked out again only when the pen changes: the cells drawn since lie at or before x,
    // and only the cells after x are asked about.
    Columns penFitting = FittingPen();
    for (;;) {
      const Cell cell = mRowCells[x];
      if (!Fits(cell, mPenFg, mPenBg)) {
        if (mEveryChangePassesOver && drewAny) {
          const Columns fitting = penFitting.After(x);
          if (fitting.Any()) {
            x = fitting.First();  // every cell up to there is passed over
            continue;
          }
        }
        const Columns later = mWaiting.After(x);
        int fg = -1, bg = -1;
        PenFor(cell, later.Any() ? &mRowCells[later.First()] : nullptr, fg, bg);
        // Only a change that costs enough is worth the question whether a later cell fits.
        if (!mEveryChangePassesOver && drewAny && 2 * PenCost(fg, bg) > kPassOverCost && penFitting.After(x).Any()) {
          x = later.First();  // not empty: it holds the cells that fit the pen
          continue;
        }
        if (!AtCursor(x, y)) MoveTo(x, y);
        SetPen(fg, bg);
        penFitting = FittingPen();
      } else if (!AtCursor(x, y)) {
        MoveTo(x, y);
      }
      PutCell(x, cell);
      shown[x] = cell;
      mWaiting.Remove(x);
      mWaitingOfKind[mRowKinds[x]].Remove(x);
      drewAny = true;
      const Columns later = mWaiting.After(x);
      if (!later.Any()) break;
      x = later.First();
    }
  }
}

std::string_view TerminalEncoder::EncodeFrame(const Cell* cells, std::string_view prefix) {
  const size_t capacity = kMaxBytesPerCell * kScreenCells + kFrameOverhead + prefix.size();
  if (mBuffer.size() < capacity) mBuffer.resize(capacity);
  mOut = mBuffer.data();
  Put(seq::kSyncBegin);
  Put(prefix);
  const char* cellsBegin = mOut;
  // Cells that look the same are the same: a change from one to another sends nothing.
  const Cell* sameLooking = SameLookingTable().data();
  for (int y = 0; y < kScreenHeight; ++y) {
    const Cell* given = cells + y * kScreenWidth;
    Cell* last = &mLastCells[y * kScreenWidth];
    if (mShownValid && std::memcmp(given, last, kScreenWidth * sizeof(Cell)) == 0) continue;
    const Cell* shown = &mShown[y * kScreenWidth];
    for (int x = 0; x < kScreenWidth; ++x) {
      // The terminal shows the last given cell in its same-looking form, so a cell given as
      // before needs no look-up in the (large) table.
      if (mShownValid && given[x] == last[x]) continue;
      const Cell cell = sameLooking[given[x]];
      if (mShownValid && cell == shown[x]) continue;
      const uint16_t kind = KindOf(cell);
      mRowCells[x] = cell;
      mRowKinds[x] = kind;
      mWaiting.Add(x);
      mWaitingOfKind[kind].Add(x);
    }
    std::memcpy(last, given, kScreenWidth * sizeof(Cell));
    if (mWaiting.Any()) EncodeRow(y);
  }
  mShownValid = true;
  if (mOut == cellsBegin && prefix.empty()) return {};
  Put(seq::kSyncEnd);
  return {mBuffer.data(), static_cast<size_t>(mOut - mBuffer.data())};
}
