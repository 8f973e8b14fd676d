// The terminal encoder's work on the rows of a frame, shared by the portable build of it
// (terminal_encoder_generic.cpp) and the builds for particular processors
// (terminal_encoder_x86_64.cpp), which compile the same code with wider instructions.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

#include "quorvel4/terminal_encoder.h"
#include "terminal_sequences.h"

namespace qvl_terminal {

// No loop of divisions: cursor moves ask it several times each, mostly of numbers below 100.
// Above, the bits of the value give the digits to within one (1233 / 4096 is just over log10(2)).
inline int DecimalDigits(int value) {
  if (value < 100) return value < 10 ? 1 : 2;
  static constexpr int kPowers[] = {0, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000, 1000000000};
  const int estimate = (std::bit_width(static_cast<unsigned>(value | 1)) * 1233) >> 12;
  return estimate + (value >= kPowers[estimate] ? 1 : 0);
}

// The bytes of a cursor move by `count`: CSI, the count (1 is the default, not sent), a letter.
inline int MoveCost(int count) {
  const int frame = static_cast<int>(seq::kCsi.size()) + 1;
  if (count < 100) return frame + (count > 1 ? 1 : 0) + (count > 9 ? 1 : 0);  // most, without DecimalDigits
  return frame + DecimalDigits(count);
}

// "00" to "99", for numbers sent two digits at a time.
inline constexpr std::array<char, 200> kDigitPairs = [] {
  std::array<char, 200> pairs{};
  for (int i = 0; i < 100; ++i) {
    pairs[2 * i] = static_cast<char>('0' + i / 10);
    pairs[2 * i + 1] = static_cast<char>('0' + i % 10);
  }
  return pairs;
}();

// Code page 437 codes of the glyphs that may stand in for one another.
inline constexpr uint8_t kNul = 0x00;
inline constexpr uint8_t kSpace = 0x20;
inline constexpr uint8_t kNoBreakSpace = 0xFF;
inline constexpr uint8_t kFullBlock = 0xDB;
inline constexpr uint8_t kLowerHalf = 0xDC;
inline constexpr uint8_t kLeftHalf = 0xDD;
inline constexpr uint8_t kRightHalf = 0xDE;
inline constexpr uint8_t kUpperHalf = 0xDF;

// A half block and its mirror (upper and lower, left and right) differ in the two low bits.
inline constexpr uint8_t kMirrorBits = kUpperHalf ^ kLowerHalf;
static_assert((kLeftHalf ^ kRightHalf) == kMirrorBits);

// For Columns::AddEight on a machine that keeps the high byte of a word first.
inline uint64_t ReverseBytes(uint64_t value) {
  uint64_t reversed = 0;
  for (int i = 0; i < 8; ++i, value >>= 8) reversed = reversed << 8 | (value & 0xFF);
  return reversed;
}

// A cell's key: its attribute, and whether it is a half block. Colours 0-15 only: the pen's
// when known.
inline constexpr uint16_t kHalfBlockKey = 256;
constexpr int KeyOf(int fg, int bg, bool halfBlock = false) { return fg | bg << 4 | (halfBlock ? kHalfBlockKey : 0); }

// Eight cells at a time, in loops a compiler turns into vector instructions (GCC does, eight
// 16-bit lanes to a register): values of one width throughout, and masks of all ones or zero
// where SameLooking (terminal_encoder.cpp) has branches, which the glyphs of a picture would
// make unpredictable.
inline constexpr int kLanes = 8;
static_assert(kScreenWidth % kLanes == 0);
using Lane = uint16_t;
inline Lane MaskOf(bool set) { return static_cast<Lane>(0 - static_cast<Lane>(set)); }
inline Lane Select(Lane mask, Lane ifSet, Lane ifClear) { return static_cast<Lane>((mask & ifSet) | (~mask & ifClear)); }

// The same-looking forms (SameLookingCell) of eight cells, and their keys (KeyOf).
inline void LooksOfEight(const Cell* given, Cell* sameLooking, uint16_t* keys) {
  Lane cells[kLanes], looks[kLanes], looksKeys[kLanes];
  std::memcpy(cells, given, sizeof cells);
  for (int i = 0; i < kLanes; ++i) {
    const Lane cell = cells[i];
    const auto code = static_cast<Lane>(cell & 0xFF), fg = static_cast<Lane>((cell >> 8) & 15);
    const auto bg = static_cast<Lane>(cell >> 12);
    const auto blank = static_cast<Lane>(MaskOf(code == kNul) | MaskOf(code == kSpace) | MaskOf(code == kNoBreakSpace));
    const auto oneColor = static_cast<Lane>(blank | MaskOf(code == kFullBlock) | MaskOf(fg == bg));
    const auto mirrored = static_cast<Lane>(MaskOf(code == kLowerHalf) | MaskOf(code == kRightHalf));
    const Lane color = Select(blank, bg, fg);
    const auto solid = static_cast<Lane>(kSpace | color << 8 | color << 12);
    const auto mirror = static_cast<Lane>((code ^ kMirrorBits) | bg << 8 | fg << 12);
    const Lane look = Select(oneColor, solid, Select(mirrored, mirror, cell));
    const auto lookCode = static_cast<Lane>(look & 0xFF);
    const auto halfBlock = static_cast<Lane>(MaskOf(lookCode == kUpperHalf) | MaskOf(lookCode == kLeftHalf));
    looks[i] = look;
    looksKeys[i] = static_cast<Lane>((look >> 8) | (halfBlock & kHalfBlockKey));
  }
  std::memcpy(sameLooking, looks, sizeof looks);
  std::memcpy(keys, looksKeys, sizeof looksKeys);
}

}  // namespace qvl_terminal

// Whether the pen (penFg, penBg) draws the cell in one of its forms without a colour change.
// Selections, not branches: the glyphs of a picture follow no pattern a predictor could learn.
[[gnu::always_inline]] inline bool TerminalEncoder::Fits(Cell sameLooking, int penFg, int penBg) {
  const uint8_t code = CellCharacter(sameLooking);
  const int fg = static_cast<int>(CellForeground(sameLooking));
  const int bg = static_cast<int>(CellBackground(sameLooking));
  const bool inPenColors = (penFg == fg) & (penBg == bg);
  const bool halfBlock = (code == qvl_terminal::kUpperHalf) | (code == qvl_terminal::kLeftHalf);
  const bool exchanged = halfBlock & (penFg == bg) & (penBg == fg);
  // Every space of a same-looking cell is of one colour: a space on it or a full block in it.
  const bool space = (penBg == bg) | (penFg == bg);
  return code == qvl_terminal::kSpace ? space : inPenColors | exchanged;
}

// The SGRs side by side: both colours (256), the foreground alone (16), the background alone.
inline int TerminalEncoder::SgrIndex(bool fgChanges, bool bgChanges, int fg, int bg) {
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
  if (code == qvl_terminal::kSpace) {
    const Columns later = waiting.After(x);
    const Cell* nextCell = later.Any() ? &mRowCells[later.First()] : nullptr;
    const bool asForeground = nextCell && !Fits(*nextCell, t.penFg, a) && Fits(*nextCell, a, t.penBg);
    fg = asForeground ? a : -1;
    bg = asForeground ? -1 : a;
    return;
  }
  const bool mirrored = (code == qvl_terminal::kUpperHalf || code == qvl_terminal::kLeftHalf) && PenCost(t, b, a) < PenCost(t, a, b);
  fg = mirrored ? b : a;
  bg = mirrored ? a : b;
}

// The glyph that draws a cell the pen fits: a space in its background or else a full block, a
// half block in its foreground or else the mirror. Selections, as in Fits.
[[gnu::always_inline]] inline uint8_t TerminalEncoder::CodeUnderPen(const Terminal& t, Cell sameLooking) {
  const uint8_t code = CellCharacter(sameLooking);
  const int fg = static_cast<int>(CellForeground(sameLooking));
  const bool space = code == qvl_terminal::kSpace;
  const bool half = code == qvl_terminal::kUpperHalf || code == qvl_terminal::kLeftHalf;
  const int penColor = space ? t.penBg : t.penFg;
  const auto otherForm = static_cast<uint8_t>(space ? qvl_terminal::kFullBlock : code ^ qvl_terminal::kMirrorBits);
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
    std::memcpy(out, &qvl_terminal::kDigitPairs[2 * value + 2 - digits], 2);
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
    std::memcpy(out, &qvl_terminal::kDigitPairs[2 * count + 2 - digits], 2);
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
  t.PutNumber(mOriginY + y + 1, qvl_terminal::DecimalDigits(mOriginY + y + 1));
  if (mOriginX + x > 0) {
    *t.out++ = seq::kParamSeparator;
    t.PutNumber(mOriginX + x + 1, qvl_terminal::DecimalDigits(mOriginX + x + 1));
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
    const int backCost = qvl_terminal::MoveCost(back);
    if (t.cursorX != kUnknown && backCost < absoluteCost) {
      t.PutMove(back, seq::kCursorBackFinal, backCost);
    } else {
      t.PutMove(column, seq::kCursorColumnFinal, absoluteCost);
    }
  } else {
    const int gap = x - t.cursorX;
    const int gapCost = qvl_terminal::MoveCost(gap);
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

inline TerminalEncoder::Columns TerminalEncoder::Columns::All() { return From(0); }

// Byte k of `flags` becomes bit k by one multiplication: byte k's low bit times
// 2^(7 * (8 - k)) lands on bit 56 + k, and no two of the 64 products share a bit.
inline void TerminalEncoder::Columns::AddEight(int first, uint64_t flags) {
  static_assert(kScreenWidth % 8 == 0 && 64 % 8 == 0, "no group of eight between the words");
  const uint64_t bytes = std::endian::native == std::endian::big ? qvl_terminal::ReverseBytes(flags) : flags;
  const uint64_t bits = ((bytes & 0x0101010101010101) * 0x0102040810204080) >> 56;
  (first < 64 ? low : high) |= bits << (first & 63);
}

// Bit g for every group of eight columns (g * 8 to g * 8 + 7) with a column in the set: the
// bits of each byte folded onto its low bit, then gathered as in AddEight.
inline uint32_t TerminalEncoder::Columns::GroupsOfEight() const {
  const auto gather = [](uint64_t word) {
    word |= word >> 4;
    word |= word >> 2;
    word |= word >> 1;
    return static_cast<uint32_t>(((word & 0x0101010101010101) * 0x0102040810204080) >> 56);
  };
  return gather(low) | gather(high) << 8;
}

inline TerminalEncoder::Columns TerminalEncoder::Columns::From(int column) {
  constexpr uint64_t kHighColumns = (uint64_t{1} << (kScreenWidth - 64)) - 1;
  if (column < 64) return {~uint64_t{0} << column, kHighColumns};
  return {0, kHighColumns & (~uint64_t{0} << (column - 64))};
}

template <typename Visit>
inline void TerminalEncoder::Columns::ForEach(Visit visit) const {
  for (uint64_t bits = low; bits != 0; bits &= bits - 1) visit(std::countr_zero(bits));
  for (uint64_t bits = high; bits != 0; bits &= bits - 1) visit(64 + std::countr_zero(bits));
}

// Compared a byte per column in one loop, which a compiler turns into vector compares, then
// gathered eight columns at a time.
inline TerminalEncoder::Columns TerminalEncoder::ColumnsThatDiffer(const uint16_t* row, const uint16_t* otherRow) {
  uint8_t flags[kScreenWidth];
  for (int x = 0; x < kScreenWidth; ++x) flags[x] = row[x] != otherRow[x] ? 0xFF : 0;
  Columns columns;
  for (int first = 0; first < kScreenWidth; first += 8) {
    uint64_t eight;
    std::memcpy(&eight, &flags[first], sizeof eight);
    columns.AddEight(first, eight);
  }
  return columns;
}

inline int TerminalEncoder::Columns::First() const {
  return low != 0 ? std::countr_zero(low) : 64 + std::countr_zero(high);
}

inline int TerminalEncoder::Columns::Last() const {
  return high != 0 ? 127 - std::countl_zero(high) : 63 - std::countl_zero(low);
}

inline TerminalEncoder::Columns TerminalEncoder::Columns::After(int column) const { return *this & From(column + 1); }

inline TerminalEncoder::Columns TerminalEncoder::Columns::Before(int column) const {
  const Columns from = From(column);
  return {low & ~from.low, high & ~from.high};
}

inline TerminalEncoder::Columns TerminalEncoder::Columns::Without(const Columns& other) const {
  return {low & ~other.low, high & ~other.high};
}

inline void TerminalEncoder::Columns::Add(int column) {
  (column < 64 ? low : high) |= uint64_t{1} << (column & 63);
}

inline bool TerminalEncoder::Columns::Has(int column) const {
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
  const Columns ofFg = OfKey(qvl_terminal::KeyOf(t.penFg, t.penFg));
  const Columns ofBg = OfKey(qvl_terminal::KeyOf(t.penBg, t.penBg));
  const int inPenColors = qvl_terminal::KeyOf(t.penFg, t.penBg);
  const Columns exchangedHalves = OfKey(qvl_terminal::KeyOf(t.penBg, t.penFg, true));
  const Columns fitting = ofFg | ofBg | OfKey(inPenColors) | OfKey(inPenColors | qvl_terminal::kHalfBlockKey) | exchangedHalves;
  return {fitting, ofFg.Without(ofBg) | exchangedHalves};
}

// The terminal shows the last given cell in its same-looking form, so only the cells given
// otherwise are looked at, and a cell that looks the same as shown needs nothing sent. Every
// cell looked at is filed by key, waiting or not: the sweeps ask only about waiting ones.
inline TerminalEncoder::Columns TerminalEncoder::ReadRow(const Cell* given, const Cell* shown, Columns changed) {
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
inline TerminalEncoder::Columns TerminalEncoder::FileWholeRow() {
  uint64_t bit = 1;
  for (int x = 0; x < 64; ++x, bit <<= 1) mOfKeyLow[KeyAt(x)] |= bit;
  bit = 1;
  for (int x = 64; x < kScreenWidth; ++x, bit <<= 1) mOfKeyHigh[KeyAt(x)] |= bit;
  return Columns::All();
}

// Empties the columns of each key after a row. Of a whole row, only at the first cell of each
// run of one key (neighbours often share one): the runs start where a key differs from the
// one before (the sentinel before column 0 differs from every key).
inline void TerminalEncoder::ForgetKeys(const Columns& changed) {
  const Columns filed = mShownValid ? changed : ColumnsThatDiffer(&mKeys[1], &mKeys[0]);
  filed.ForEach([this](int x) { mOfKeyLow[KeyAt(x)] = mOfKeyHigh[KeyAt(x)] = 0; });
}

// The same-looking cells and keys of the groups of eight cells with a change, eight at a
// time (LooksOfEight), not looked up in a table of every cell, which would not stay in the
// first-level cache.
inline void TerminalEncoder::ReadLooks(const Cell* given, const Columns& changed) {
  for (uint32_t groups = changed.GroupsOfEight(); groups != 0; groups &= groups - 1) {
    const int first = std::countr_zero(groups) * qvl_terminal::kLanes;
    qvl_terminal::LooksOfEight(given + first, &mRowCells[first], &mKeys[1 + first]);
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
inline void TerminalEncoder::EncodeRow(Terminal& terminal, int y, Columns waiting) {
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

inline void TerminalEncoder::EncodeRows(Terminal& t, const Cell* cells) {
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
