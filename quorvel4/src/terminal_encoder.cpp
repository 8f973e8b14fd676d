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

// No loop of divisions: cursor moves ask it several times each, mostly of numbers below 100.
// Above, the bits of the value give the digits to within one (1233 / 4096 is just over log10(2)).
int DecimalDigits(int value) {
  if (value < 100) return value < 10 ? 1 : 2;
  static constexpr int kPowers[] = {0, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000, 1000000000};
  const int estimate = (std::bit_width(static_cast<unsigned>(value | 1)) * 1233) >> 12;
  return estimate + (value >= kPowers[estimate] ? 1 : 0);
}

// The bytes of a cursor move by `count`: CSI, the count (1 is the default, not sent), a letter.
int MoveCost(int count) {
  const int frame = static_cast<int>(seq::kCsi.size()) + 1;
  if (count < 100) return frame + (count > 1 ? 1 : 0) + (count > 9 ? 1 : 0);  // most, without DecimalDigits
  return frame + DecimalDigits(count);
}

// "00" to "99", for numbers sent two digits at a time.
constexpr std::array<char, 200> kDigitPairs = [] {
  std::array<char, 200> pairs{};
  for (int i = 0; i < 100; ++i) {
    pairs[2 * i] = static_cast<char>('0' + i / 10);
    pairs[2 * i + 1] = static_cast<char>('0' + i % 10);
  }
  return pairs;
}();

// Code page 437 codes of the glyphs that may stand in for one another.
constexpr uint8_t kNul = 0x00;
constexpr uint8_t kSpace = 0x20;
constexpr uint8_t kNoBreakSpace = 0xFF;
constexpr uint8_t kFullBlock = 0xDB;
constexpr uint8_t kLowerHalf = 0xDC;
constexpr uint8_t kLeftHalf = 0xDD;
constexpr uint8_t kRightHalf = 0xDE;
constexpr uint8_t kUpperHalf = 0xDF;

// A half block and its mirror (upper and lower, left and right) differ in the two low bits.
constexpr uint8_t kMirrorBits = kUpperHalf ^ kLowerHalf;
static_assert((kLeftHalf ^ kRightHalf) == kMirrorBits);

Cell SameLooking(Cell cell) {
  const uint8_t code = CellCharacter(cell);
  const unsigned fg = CellForeground(cell), bg = CellBackground(cell);
  const auto solid = [](unsigned color) { return MakeCell(kSpace, color, color); };
  if (code == kNul || code == kSpace || code == kNoBreakSpace) return solid(bg);
  if (code == kFullBlock || fg == bg) return solid(fg);
  if (code == kLowerHalf) return MakeCell(kUpperHalf, bg, fg);
  if (code == kRightHalf) return MakeCell(kLeftHalf, bg, fg);
  return cell;
}

// Eight cells side by side, for the work done on every cell of a row, and eight bytes: GCC
// and Clang keep these in vector registers where the processor has them (every x86-64 one
// does) and split them into scalars elsewhere. A comparison gives lanes of all ones or zero.
using CellLanes = uint16_t __attribute__((vector_size(16)));
using ByteLanes = uint8_t __attribute__((vector_size(8)));
constexpr int kLanes = 8;
static_assert(kScreenWidth % kLanes == 0);

// The lanes of a comparison, a byte each, as Columns::AddEight takes them.
uint64_t FlagBytes(CellLanes comparison) {
  const ByteLanes bytes = __builtin_convertvector(comparison, ByteLanes);
  uint64_t flags;
  std::memcpy(&flags, &bytes, sizeof flags);
  return flags;
}

uint64_t ReverseBytes(uint64_t value) {
  uint64_t reversed = 0;
  for (int i = 0; i < 8; ++i, value >>= 8) reversed = reversed << 8 | (value & 0xFF);
  return reversed;
}

CellLanes Is(CellLanes lanes, uint16_t value) { return __builtin_convertvector(lanes == value, CellLanes); }
CellLanes Select(CellLanes mask, CellLanes ifSet, CellLanes ifClear) { return (mask & ifSet) | (~mask & ifClear); }

// SameLooking, eight cells at once, with selections where it has branches.
CellLanes SameLooking(CellLanes cell) {
  const CellLanes code = cell & 0xFF, fg = (cell >> 8) & 15, bg = cell >> 12;
  const CellLanes blank = Is(code, kNul) | Is(code, kSpace) | Is(code, kNoBreakSpace);
  const CellLanes oneColor = blank | Is(code, kFullBlock) | __builtin_convertvector(fg == bg, CellLanes);
  const CellLanes mirrored = Is(code, kLowerHalf) | Is(code, kRightHalf);
  const CellLanes color = Select(blank, bg, fg);
  const CellLanes solid = kSpace | color << 8 | color << 12;
  const CellLanes mirror = (code ^ kMirrorBits) | bg << 8 | fg << 12;
  return Select(oneColor, solid, Select(mirrored, mirror, cell));
}

std::string HexByte(uint8_t value) {
  static constexpr char kDigits[] = "0123456789abcdef";
  return {kDigits[value >> 4], kDigits[value & 15]};
}

}  // namespace

Cell SameLookingCell(Cell cell) { return SameLooking(cell); }


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
    Glyph& glyph = mGlyphs[code][0];
    glyph.length = static_cast<uint8_t>(Utf8Encode(kCp437ToUnicode[code], glyph.bytes));
  }
  // The other forms (DrawCell): a full block for a space, the mirror of a half block.
  for (int code = 0; code < 256; ++code) {
    const bool halfBlock = code == kUpperHalf || code == kLeftHalf;
    const int other = code == kSpace ? kFullBlock : halfBlock ? code ^ kMirrorBits : code;
    mGlyphs[code][1] = mGlyphs[other][0];
  }
  std::array<std::string, 16> fgParams, bgParams;
  for (int color = 0; color < 16; ++color) {
    std::string& fg = fgParams[color];
    std::string& bg = bgParams[color];
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
  }
  const auto setSgr = [this](int index, const std::string& params) {
    const std::string text = std::string(seq::kCsi) + params + seq::kGraphicsFinal;
    std::memcpy(mSgrs[index].text, text.data(), text.size());
    mSgrs[index].length = static_cast<uint8_t>(text.size());
  };
  for (int fg = 0; fg < 16; ++fg) {
    for (int bg = 0; bg < 16; ++bg) {
      setSgr(SgrIndex(true, true, fg, bg), fgParams[fg] + seq::kParamSeparator + bgParams[bg]);
    }
  }
  // The cheapest colour change: one colour, the shorter of the two forms.
  int cheapest = 1 << 30;
  for (int color = 0; color < 16; ++color) {
    setSgr(SgrIndex(true, false, color, -1), fgParams[color]);
    setSgr(SgrIndex(false, true, -1, color), bgParams[color]);
    cheapest = std::min({cheapest, int{mSgrs[SgrIndex(true, false, color, -1)].length},
                         int{mSgrs[SgrIndex(false, true, -1, color)].length}});
  }
  mEveryChangePassesOver = 2 * cheapest > kPassOverCost;
  SetOrigin(0, 0);
}

void TerminalEncoder::SetOrigin(int column, int row) {
  mOriginX = column;
  mOriginY = row;
  for (int x = 0; x < kScreenWidth; ++x) mColumnMoveCosts[x] = MoveCost(mOriginX + x + 1);
  Invalidate();
}

void TerminalEncoder::Invalidate() {
  mShownValid = false;
  mTerminal.penFg = mTerminal.penBg = kUnknown;
  mTerminal.cursorX = mTerminal.cursorY = kUnknown;
}

// Whether the pen (penFg, penBg) draws the cell in one of its forms without a colour change.
// Selections, not branches: the glyphs of a picture follow no pattern a predictor could learn.
[[gnu::always_inline]] inline bool TerminalEncoder::Fits(Cell sameLooking, int penFg, int penBg) {
  const uint8_t code = CellCharacter(sameLooking);
  const int fg = static_cast<int>(CellForeground(sameLooking));
  const int bg = static_cast<int>(CellBackground(sameLooking));
  const bool inPenColors = (penFg == fg) & (penBg == bg);
  const bool halfBlock = (code == kUpperHalf) | (code == kLeftHalf);
  const bool exchanged = halfBlock & (penFg == bg) & (penBg == fg);
  // Every space of a same-looking cell is of one colour: a space on it or a full block in it.
  const bool space = (penBg == bg) | (penFg == bg);
  return code == kSpace ? space : inPenColors | exchanged;
}

// The SGRs side by side: both colours (256), the foreground alone (16), the background alone.
int TerminalEncoder::SgrIndex(bool fgChanges, bool bgChanges, int fg, int bg) {
  return fgChanges && bgChanges ? fg | bg << 4 : fgChanges ? 256 + fg : 256 + 16 + bg;
}

// The bytes of the SGR that takes the pen to (fg, bg); -1 leaves that colour as it is.
[[gnu::always_inline]] inline int TerminalEncoder::PenCost(const Terminal& t, int fg, int bg) const {
  const bool fgChanges = fg >= 0 && fg != t.penFg;
  const bool bgChanges = bg >= 0 && bg != t.penBg;
  if (!fgChanges && !bgChanges) return 0;
  return mSgrs[SgrIndex(fgChanges, bgChanges, fg, bg)].length;
}

// The pen that draws the cell at x, which the pen does not fit, at the least cost; for a cell
// of one colour the one that also fits the next waiting cell of the row, if any, when it can.
[[gnu::always_inline]] inline void TerminalEncoder::PenFor(const Terminal& t, int x, const Columns& waiting, int& fg,
                                                           int& bg) const {
  const Cell sameLooking = mRowCells[x];
  const uint8_t code = CellCharacter(sameLooking);
  const int a = static_cast<int>(CellForeground(sameLooking));
  const int b = static_cast<int>(CellBackground(sameLooking));
  if (code == kSpace) {
    const Columns later = waiting.After(x);
    const Cell* nextCell = later.Any() ? &mRowCells[later.First()] : nullptr;
    const bool asForeground = nextCell && !Fits(*nextCell, t.penFg, a) && Fits(*nextCell, a, t.penBg);
    fg = asForeground ? a : -1;
    bg = asForeground ? -1 : a;
    return;
  }
  const bool mirrored = (code == kUpperHalf || code == kLeftHalf) && PenCost(t, b, a) < PenCost(t, a, b);
  fg = mirrored ? b : a;
  bg = mirrored ? a : b;
}

// The glyph that draws a cell the pen fits: a space in its background or else a full block, a
// half block in its foreground or else the mirror. Selections, as in Fits.
[[gnu::always_inline]] inline uint8_t TerminalEncoder::CodeUnderPen(const Terminal& t, Cell sameLooking) {
  const uint8_t code = CellCharacter(sameLooking);
  const int fg = static_cast<int>(CellForeground(sameLooking));
  const bool space = code == kSpace;
  const bool half = code == kUpperHalf || code == kLeftHalf;
  const int penColor = space ? t.penBg : t.penFg;
  const auto otherForm = static_cast<uint8_t>(space ? kFullBlock : code ^ kMirrorBits);
  return (space || half) && penColor != fg ? otherForm : code;
}

[[gnu::always_inline]] inline void TerminalEncoder::Terminal::Put(std::string_view bytes) {
  if (bytes.empty()) return;  // an empty view may hold a null pointer
  std::memcpy(out, bytes.data(), bytes.size());
  out += bytes.size();
}

// A number below 100, as most are, is one copy of a pair of digits, whole even for one digit
// (the buffer has room past the end, and what follows overwrites it).
[[gnu::always_inline]] inline void TerminalEncoder::Terminal::PutNumber(int value, int digits) {
  if (value < 100) {
    std::memcpy(out, &kDigitPairs[2 * value + 2 - digits], 2);
  } else {
    int rest = value;
    for (int i = digits - 1; i >= 0; --i, rest /= 10) out[i] = static_cast<char>('0' + rest % 10);
  }
  out += digits;
}

// `cost` is MoveCost(count), worked out already. A count below 100, as most are, is written
// with the digit pair whole whatever its digits, and the letter then put over what is not sent.
[[gnu::always_inline]] inline void TerminalEncoder::Terminal::PutMove(int count, char final, int cost) {
  const int digits = cost - static_cast<int>(seq::kCsi.size()) - 1;  // none for 1, the default
  Put(seq::kCsi);
  if (count < 100) {
    std::memcpy(out, &kDigitPairs[2 * count + 2 - digits], 2);
    out += digits;
  } else {
    PutNumber(count, digits);
  }
  *out++ = final;
}

[[gnu::always_inline]] inline void TerminalEncoder::PutGlyph(Terminal& t, uint8_t code) const {
  const Glyph& glyph = mGlyphs[code][0];
  std::memcpy(t.out, glyph.bytes, sizeof glyph.bytes);  // fixed size: cheaper than a copy of its length
  t.out += glyph.length;
}

[[gnu::always_inline]] inline void TerminalEncoder::MoveTo(Terminal& t, int x, int y) const {
  if (t.cursorY == y) {
    MoveInRow(t, x, &mShown[y * kScreenWidth]);
    return;
  }
  t.Put(seq::kCsi);
  t.PutNumber(mOriginY + y + 1, DecimalDigits(mOriginY + y + 1));
  if (mOriginX + x > 0) {
    *t.out++ = seq::kParamSeparator;
    t.PutNumber(mOriginX + x + 1, DecimalDigits(mOriginX + x + 1));
  }
  *t.out++ = seq::kCursorPositionFinal;
  t.cursorX = x;
  t.cursorY = y;
}

// The cheapest of: sending again the cells in between, a move forward or back, a move to the
// column; the cursor is on the row whose cells the terminal shows are `shown`, not on x. Each
// cost is worked out once: a frame moves the cursor hundreds of times.
[[gnu::always_inline]] inline void TerminalEncoder::MoveInRow(Terminal& t, int x, const Cell* shown) const {
  const int column = mOriginX + x + 1;
  const int absoluteCost = mColumnMoveCosts[x];
  if (t.cursorX == kUnknown || x < t.cursorX) {
    const int back = t.cursorX - x;
    const int backCost = MoveCost(back);
    if (t.cursorX != kUnknown && backCost < absoluteCost) {
      t.PutMove(back, seq::kCursorBackFinal, backCost);
    } else {
      t.PutMove(column, seq::kCursorColumnFinal, absoluteCost);
    }
  } else {
    const int gap = x - t.cursorX;
    const int gapCost = MoveCost(gap);
    if (CheaperToRewrite(t, shown, x, std::min(gapCost, absoluteCost))) {
      for (int j = t.cursorX; j < x; ++j) PutGlyph(t, CodeUnderPen(t, shown[j]));
    } else if (gapCost <= absoluteCost) {
      t.PutMove(gap, seq::kCursorForwardFinal, gapCost);
    } else {
      t.PutMove(column, seq::kCursorColumnFinal, absoluteCost);
    }
  }
  t.cursorX = x;
}

// Sending the cells from the cursor to x again, as the terminal shows them, is cheaper than a
// cursor move costing `moveCost` when they are few, short and fit the pen.
[[gnu::always_inline]] inline bool TerminalEncoder::CheaperToRewrite(const Terminal& t, const Cell* shown, int x,
                                                                     int moveCost) const {
  if (x - t.cursorX > moveCost) return false;  // every glyph takes a byte at least
  int rewriteCost = 0;
  for (int j = t.cursorX; j < x; ++j) {
    if (!Fits(shown[j], t.penFg, t.penBg)) return false;
    rewriteCost += mGlyphs[CodeUnderPen(t, shown[j])][0].length;
    if (rewriteCost > moveCost) return false;
  }
  return true;
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

// A whole SGR from the table, copied at its full size (cheaper than a copy of its length).
[[gnu::always_inline]] inline void TerminalEncoder::SetPen(Terminal& t, int fg, int bg) const {
  const bool fgChanges = fg >= 0 && fg != t.penFg;
  const bool bgChanges = bg >= 0 && bg != t.penBg;
  if (!fgChanges && !bgChanges) return;
  const Sgr& sgr = mSgrs[SgrIndex(fgChanges, bgChanges, fg, bg)];
  std::memcpy(t.out, sgr.text, sizeof sgr.text);
  t.out += sgr.length;
  t.penFg = fgChanges ? fg : t.penFg;
  t.penBg = bgChanges ? bg : t.penBg;
}

// A cell's key: its attribute, and whether it is a half block. Colours 0-15 only: the pen's
// when known.
constexpr uint16_t kHalfBlockKey = 256;
constexpr int KeyOf(int fg, int bg, bool halfBlock = false) { return fg | bg << 4 | (halfBlock ? kHalfBlockKey : 0); }

TerminalEncoder::Columns TerminalEncoder::Columns::All() { return From(0); }

// Byte k of `flags` becomes bit k by one multiplication: byte k's low bit times
// 2^(7 * (8 - k)) lands on bit 56 + k, and no two of the 64 products share a bit.
void TerminalEncoder::Columns::AddEight(int first, uint64_t flags) {
  static_assert(kScreenWidth % 8 == 0 && 64 % 8 == 0, "no group of eight between the words");
  const uint64_t bytes = std::endian::native == std::endian::big ? ReverseBytes(flags) : flags;
  const uint64_t bits = ((bytes & 0x0101010101010101) * 0x0102040810204080) >> 56;
  (first < 64 ? low : high) |= bits << (first & 63);
}

// Bit g for every group of eight columns (g * 8 to g * 8 + 7) with a column in the set: the
// bits of each byte folded onto its low bit, then gathered as in AddEight.
uint32_t TerminalEncoder::Columns::GroupsOfEight() const {
  const auto gather = [](uint64_t word) {
    word |= word >> 4;
    word |= word >> 2;
    word |= word >> 1;
    return static_cast<uint32_t>(((word & 0x0101010101010101) * 0x0102040810204080) >> 56);
  };
  return gather(low) | gather(high) << 8;
}

TerminalEncoder::Columns TerminalEncoder::Columns::From(int column) {
  constexpr uint64_t kHighColumns = (uint64_t{1} << (kScreenWidth - 64)) - 1;
  if (column < 64) return {~uint64_t{0} << column, kHighColumns};
  return {0, kHighColumns & (~uint64_t{0} << (column - 64))};
}

template <typename Visit>
void TerminalEncoder::Columns::ForEach(Visit visit) const {
  for (uint64_t bits = low; bits != 0; bits &= bits - 1) visit(std::countr_zero(bits));
  for (uint64_t bits = high; bits != 0; bits &= bits - 1) visit(64 + std::countr_zero(bits));
}

TerminalEncoder::Columns TerminalEncoder::ColumnsThatDiffer(const Cell* row, const Cell* otherRow) {
  Columns columns;
  for (int first = 0; first < kScreenWidth; first += kLanes) {
    CellLanes cells, otherCells;
    std::memcpy(&cells, row + first, sizeof cells);
    std::memcpy(&otherCells, otherRow + first, sizeof otherCells);
    columns.AddEight(first, FlagBytes(__builtin_convertvector(cells != otherCells, CellLanes)));
  }
  return columns;
}

int TerminalEncoder::Columns::First() const {
  return low != 0 ? std::countr_zero(low) : 64 + std::countr_zero(high);
}

int TerminalEncoder::Columns::Last() const {
  return high != 0 ? 127 - std::countl_zero(high) : 63 - std::countl_zero(low);
}

TerminalEncoder::Columns TerminalEncoder::Columns::After(int column) const { return *this & From(column + 1); }

TerminalEncoder::Columns TerminalEncoder::Columns::Before(int column) const {
  const Columns from = From(column);
  return {low & ~from.low, high & ~from.high};
}

TerminalEncoder::Columns TerminalEncoder::Columns::Without(const Columns& other) const {
  return {low & ~other.low, high & ~other.high};
}

void TerminalEncoder::Columns::Add(int column) {
  (column < 64 ? low : high) |= uint64_t{1} << (column & 63);
}

bool TerminalEncoder::Columns::Has(int column) const {
  return ((column < 64 ? low : high) >> (column & 63) & 1) != 0;
}

// A pen fits the cells of one colour in either of its colours (a same-looking cell of one
// colour has it as foreground and background alike), the cells in its colours, and the half
// blocks in its colours exchanged; of these, those of its foreground colour alone (unless it
// is the background's too) and the exchanged half blocks take the other form. A pen of which
// only one colour is known (after the first colour change of a frame sent whole) fits the
// cells of that one colour alone.
[[gnu::always_inline]] inline TerminalEncoder::PenCells TerminalEncoder::CellsOfPen(const Terminal& t) const {
  if (!PenKnown(t)) return CellsOfPartPen(t.penFg, t.penBg);
  const Columns ofFg = OfKey(KeyOf(t.penFg, t.penFg));
  const Columns ofBg = OfKey(KeyOf(t.penBg, t.penBg));
  const int inPenColors = KeyOf(t.penFg, t.penBg);
  const Columns exchangedHalves = OfKey(KeyOf(t.penBg, t.penFg, true));
  const Columns fitting = ofFg | ofBg | OfKey(inPenColors) | OfKey(inPenColors | kHalfBlockKey) | exchangedHalves;
  return {fitting, ofFg.Without(ofBg) | exchangedHalves};
}

// CellsOfPen for a pen of which a colour is not known, out of line: it happens at the start of
// a frame sent whole at most.
[[gnu::noinline]] TerminalEncoder::PenCells TerminalEncoder::CellsOfPartPen(int penFg, int penBg) const {
  const Columns ofFg = penFg >= 0 ? OfKey(KeyOf(penFg, penFg)) : Columns{};
  const Columns ofBg = penBg >= 0 ? OfKey(KeyOf(penBg, penBg)) : Columns{};
  return {ofFg | ofBg, ofFg};
}

// The terminal shows the last given cell in its same-looking form, so only the cells given
// otherwise are looked at, and a cell that looks the same as shown needs nothing sent. Every
// cell looked at is filed by key, waiting or not: the sweeps ask only about waiting ones.
TerminalEncoder::Columns TerminalEncoder::ReadRow(const Cell* given, const Cell* shown, Columns changed) {
  ReadLooks(given, changed);
  if (!mShownValid) return FileWholeRow();
  Columns waiting;
  changed.ForEach([&](int x) {
    (x < 64 ? mOfKeyLow[KeyAt(x)] : mOfKeyHigh[KeyAt(x)]) |= uint64_t{1} << (x & 63);
    if (mRowCells[x] != shown[x]) waiting.Add(x);
  });
  return waiting;
}

// Every cell of a row waits where the terminal's picture is not known: plain loops over the
// row, without ReadRow's bit scan.
TerminalEncoder::Columns TerminalEncoder::FileWholeRow() {
  uint64_t bit = 1;
  for (int x = 0; x < 64; ++x, bit <<= 1) mOfKeyLow[KeyAt(x)] |= bit;
  bit = 1;
  for (int x = 64; x < kScreenWidth; ++x, bit <<= 1) mOfKeyHigh[KeyAt(x)] |= bit;
  return Columns::All();
}

// Empties the columns of each key after a row. Of a whole row, only at the first cell of each
// run of one key (neighbours often share one): the runs start where a key differs from the
// one before, found eight at a time (the sentinel before column 0 differs from every key).
void TerminalEncoder::ForgetKeys(const Columns& changed) {
  Columns filed = changed;
  if (!mShownValid) {
    filed = {};
    for (int first = 0; first < kScreenWidth; first += kLanes) {
      CellLanes keys, before;
      std::memcpy(&keys, &mKeys[1 + first], sizeof keys);
      std::memcpy(&before, &mKeys[first], sizeof before);
      filed.AddEight(first, FlagBytes(__builtin_convertvector(keys != before, CellLanes)));
    }
  }
  filed.ForEach([this](int x) { mOfKeyLow[KeyAt(x)] = mOfKeyHigh[KeyAt(x)] = 0; });
}

// The same-looking cells and keys of the groups of eight cells with a change, in vector
// registers: no branch, which the glyphs of a picture would make unpredictable, and no table
// of every cell, which would not stay in the first-level cache.
void TerminalEncoder::ReadLooks(const Cell* given, const Columns& changed) {
  for (uint32_t groups = changed.GroupsOfEight(); groups != 0; groups &= groups - 1) {
    const int first = std::countr_zero(groups) * kLanes;
    CellLanes cells;
    std::memcpy(&cells, given + first, sizeof cells);
    const CellLanes sameLooking = SameLooking(cells);
    const CellLanes code = sameLooking & 0xFF;
    const CellLanes halfBlock = Is(code, kUpperHalf) | Is(code, kLeftHalf);
    const CellLanes keys = (sameLooking >> 8) | (halfBlock & kHalfBlockKey);
    std::memcpy(&mRowCells[first], &sameLooking, sizeof sameLooking);
    std::memcpy(&mKeys[1 + first], &keys, sizeof keys);
  }
}

// The cells a sweep draws with the pen from x on, x among them (a cell the pen fits). Where
// every colour change passes cells over, every later one the pen fits, with the cells between
// passed over (asked only with both colours of the pen known); else those up to the next
// waiting cell the pen does not fit.
[[gnu::always_inline]] inline TerminalEncoder::Columns TerminalEncoder::RunFrom(const Terminal& t, const Columns& waiting,
                                                                              const Columns& fitting, int x) const {
  const Columns fromX = fitting & Columns::From(x);
  if (mEveryChangePassesOver && PenKnown(t)) return fromX;
  const Columns misfits = waiting.Without(fitting).After(x);
  return misfits.Any() ? fromX.Before(misfits.First()) : fromX;
}

// The cells of a run from one word of Columns: `bits` and `otherForm` hold columns from
// `first` on. The cursor is on their row already (EncodeRow). A loop, not ForEach: a lambda
// this large is not inlined, and `t` must stay in registers.
[[gnu::always_inline]] inline void TerminalEncoder::DrawRun(Terminal& t, uint64_t bits, uint64_t otherForm,
                                                            int first, Cell* shown) const {
  for (; bits != 0; bits &= bits - 1) {
    const auto i = static_cast<unsigned>(std::countr_zero(bits));
    const int x = first + static_cast<int>(i);
    if (t.cursorX != x) MoveInRow(t, x, shown);
    DrawCell(t, x, (otherForm >> i & 1) != 0, shown);
    // Auto-wrap is off: past the last column the cursor stays put or moves on into the
    // margin, depending on the terminal's width, so its column is no longer known; its row is.
    t.cursorX = x + 1 == kScreenWidth ? kUnknown : x + 1;
  }
}

// The glyph is the cell's own, or its other form (a full block for a space, the mirror for a
// half block) where the pen's colours are the other way round (PenCells).
[[gnu::always_inline]] inline void TerminalEncoder::DrawCell(Terminal& t, int x, bool otherForm, Cell* shown) const {
  const Cell cell = mRowCells[x];
  const Glyph& glyph = mGlyphs[CellCharacter(cell)][otherForm ? 1 : 0];
  std::memcpy(t.out, &glyph, sizeof glyph);  // whole, as in PutGlyph
  t.out += glyph.length;
  shown[x] = cell;
}

// Each sweep starts at the first waiting cell and goes right. A cell the pen does not fit is
// passed over, for a later sweep, when this sweep has drawn already and a later waiting cell
// fits the pen (and, where a colour change may be cheap, when changing costs enough).
void TerminalEncoder::EncodeRow(Terminal& terminal, int y, Columns waiting) {
  Terminal t = terminal;  // in registers: see Terminal
  Cell* shown = &mShown[y * kScreenWidth];
  // Every sweep moves within the row; the first goes to the row first.
  if (!t.AtCursor(waiting.First(), y)) MoveTo(t, waiting.First(), y);
  if (mEveryChangePassesOver && PenKnown(t)) {
    SweepsPassingOver(t, waiting, shown);
  } else {
    Sweeps(t, waiting, shown);
  }
  terminal = t;
}

[[gnu::always_inline]] inline void TerminalEncoder::Sweeps(Terminal& t, Columns waiting, Cell* shown) const {
  // The cells of the row the pen fits, waiting or not: worked out again when the pen changes.
  PenCells pen = CellsOfPen(t);
  while (waiting.Any()) {
    int x = waiting.First();
    bool drewAny = false;
    // The waiting cells the pen fits, worked out again only when the pen changes: the cells
    // drawn since lie before x, and only x and the cells after it are asked about.
    Columns fitting = pen.fitting & waiting;
    for (;;) {
      if (!fitting.Has(x)) {
        int fg = -1, bg = -1;
        PenFor(t, x, waiting, fg, bg);
        // Only a change that costs enough is worth the question whether a later cell fits
        // (which is asked only with both colours of the pen known).
        if (!mEveryChangePassesOver && drewAny && 2 * PenCost(t, fg, bg) > kPassOverCost && PenKnown(t) &&
            fitting.After(x).Any()) {
          x = waiting.After(x).First();  // not empty: it holds the cells that fit the pen
          continue;
        }
        pen = SwitchPen(t, x, fg, bg, shown);
        fitting = pen.fitting & waiting;
      }
      const Columns run = RunFrom(t, waiting, fitting, x);
      DrawRun(t, run.low, pen.otherForm.low, 0, shown);
      DrawRun(t, run.high, pen.otherForm.high, 64, shown);
      waiting = waiting.Without(run);
      drewAny = true;
      const Columns later = waiting.After(run.Last());
      if (!later.Any()) break;
      x = later.First();
    }
  }
}

// Sweeps where every colour change passes cells over (24-bit, 256 colours) and both colours
// of the pen are known (as they stay): a pen draws every waiting cell it fits from x on, with
// the cells between passed over, so the first waiting cell after those is one it does not
// fit. Sweeps less the questions whose answers are known.
[[gnu::always_inline]] inline void TerminalEncoder::SweepsPassingOver(Terminal& t, Columns waiting, Cell* shown) const {
  PenCells pen = CellsOfPen(t);
  while (waiting.Any()) {
    int x = waiting.First();
    if (!(pen.fitting & waiting).Has(x)) pen = SwitchPen(t, x, waiting, shown);
    for (;;) {
      const Columns run = pen.fitting & waiting & Columns::From(x);
      DrawRun(t, run.low, pen.otherForm.low, 0, shown);
      DrawRun(t, run.high, pen.otherForm.high, 64, shown);
      const Columns later = waiting.After(run.Last());
      waiting = waiting.Without(run);
      if (!later.Any()) break;
      x = later.First();
      pen = SwitchPen(t, x, waiting, shown);
    }
  }
}

// Takes the pen to (fg, bg) at x: the cursor there first, then the colours.
[[gnu::always_inline]] inline TerminalEncoder::PenCells TerminalEncoder::SwitchPen(Terminal& t, int x, int fg, int bg,
                                                                                  const Cell* shown) const {
  if (t.cursorX != x) MoveInRow(t, x, shown);
  SetPen(t, fg, bg);
  return CellsOfPen(t);
}

// Takes the pen to the one PenFor chooses for x.
[[gnu::always_inline]] inline TerminalEncoder::PenCells TerminalEncoder::SwitchPen(Terminal& t, int x, const Columns& waiting,
                                                                                  const Cell* shown) const {
  int fg = -1, bg = -1;
  PenFor(t, x, waiting, fg, bg);
  return SwitchPen(t, x, fg, bg, shown);
}

void TerminalEncoder::EncodeRows(Terminal& t, const Cell* cells) {
  for (int y = 0; y < kScreenHeight; ++y) {
    const Cell* given = cells + y * kScreenWidth;
    Cell* last = &mLastCells[y * kScreenWidth];
    const Columns changed = mShownValid ? ColumnsThatDiffer(given, last) : Columns::All();
    if (!changed.Any()) continue;
    std::memcpy(last, given, kScreenWidth * sizeof(Cell));
    const Columns waiting = ReadRow(given, &mShown[y * kScreenWidth], changed);
    if (waiting.Any()) EncodeRow(t, y, waiting);
    ForgetKeys(changed);
  }
}

// x86-64: where the processor has them (as most made since 2013 do), the same rows encoded
// with the instructions of AVX2, BMI1 and BMI2, which take about a tenth off a frame: single
// instructions for the bit scans, masks and shifts of Columns, and wider vectors. The choice
// is made once, at run time, so the program still runs on any x86-64 processor. flatten pulls
// everything EncodeRows calls into this function, so all of it is compiled for them.
#if defined(__x86_64__)
[[gnu::target("avx2,bmi,bmi2"), gnu::flatten]] void TerminalEncoder::EncodeRowsWide(Terminal& t,
                                                                                               const Cell* cells) {
  EncodeRows(t, cells);
}

void TerminalEncoder::EncodeRowsForThisProcessor(Terminal& t, const Cell* cells) {
  static const bool wide =
      __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2");
  if (wide) {
    EncodeRowsWide(t, cells);
  } else {
    EncodeRows(t, cells);
  }
}
#else
void TerminalEncoder::EncodeRowsForThisProcessor(Terminal& t, const Cell* cells) { EncodeRows(t, cells); }
#endif

std::string_view TerminalEncoder::EncodeFrame(const Cell* cells, std::string_view prefix) {
  const size_t capacity = kMaxBytesPerCell * kScreenCells + kFrameOverhead + prefix.size();
  if (mBuffer.size() < capacity) mBuffer.resize(capacity);
  Terminal t = mTerminal;
  t.out = mBuffer.data();
  t.Put(seq::kSyncBegin);
  t.Put(prefix);
  const char* cellsBegin = t.out;
  EncodeRowsForThisProcessor(t, cells);
  mShownValid = true;
  if (t.out == cellsBegin && prefix.empty()) {
    mTerminal = t;
    return {};
  }
  t.Put(seq::kSyncEnd);
  mTerminal = t;
  return {mBuffer.data(), static_cast<size_t>(t.out - mBuffer.data())};
}
