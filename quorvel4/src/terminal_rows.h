// The terminal encoder's work on the rows of a frame, shared by the portable build of it
// (terminal_encoder_generic.cpp) and the builds for particular processors
// (terminal_encoder_x86_64.cpp), which compile the same code with wider instructions.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

#include "quorvel4/assert.h"
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

// The bits of a word from bit i on, i from 0 to 64.
inline uint64_t BitsFrom(int i) { return i < 64 ? ~uint64_t{0} << i : 0; }

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

// The SGRs by the colour each sets, 16 for one that stays: a colour change is worked out
// with selections, not branches (which colours change follows the picture). The one that
// changes nothing is empty.
inline int TerminalEncoder::SgrIndex(bool fgChanges, bool bgChanges, int fg, int bg) {
  return (fgChanges ? fg : kSameColor) + (kSameColor + 1) * (bgChanges ? bg : kSameColor);
}

// The SGR that takes the pen to (fg, bg); -1 leaves that colour as it is. The colours after
// it first, then whether each differs: no branch on which colours change.
[[gnu::always_inline]] inline const TerminalEncoder::Sgr& TerminalEncoder::SgrFor(const Terminal& t, int fg, int bg) const {
  const int fgAfter = fg >= 0 ? fg : t.penFg;
  const int bgAfter = bg >= 0 ? bg : t.penBg;
  return mSgrs[SgrIndex(fgAfter != t.penFg, bgAfter != t.penBg, fgAfter, bgAfter)];
}

// The bytes of the SGR that takes the pen to (fg, bg).
[[gnu::always_inline]] inline int TerminalEncoder::PenCost(const Terminal& t, int fg, int bg) const {
  return SgrFor(t, fg, bg).length;
}

// The pen that draws the cell at x, which the pen does not fit, at the least cost; for a cell
// of one colour the one that also fits the next waiting cell of the row (the first of
// `later`, those after x), if any, when it can. Gives the form it draws the cell in (as in
// mGlyphs): the other where it is a space in the foreground or the mirror of a half block.
[[gnu::always_inline]] inline int TerminalEncoder::PenFor(const Terminal& t, int x, const Columns& later, int& fg,
                                                          int& bg) const {
  const Cell sameLooking = mRowCells[x];
  const uint8_t code = CellCharacter(sameLooking);
  const int a = static_cast<int>(CellForeground(sameLooking));
  const int b = static_cast<int>(CellBackground(sameLooking));
  if (code == qvl_terminal::kSpace) {
    const Cell* nextCell = later.Any() ? &mRowCells[later.First()] : nullptr;
    const bool asForeground = nextCell && !Fits(*nextCell, t.penFg, a) && Fits(*nextCell, a, t.penBg);
    fg = asForeground ? a : -1;
    bg = asForeground ? -1 : a;
    return asForeground ? 1 : 0;
  }
  const bool mirrored = (code == qvl_terminal::kUpperHalf || code == qvl_terminal::kLeftHalf) && PenCost(t, b, a) < PenCost(t, a, b);
  fg = mirrored ? b : a;
  bg = mirrored ? a : b;
  return mirrored ? 1 : 0;
}

// Whether the pen draws a cell it fits in the other form: a space in its foreground (a full
// block), a half block in its background (the mirror). Selections, as in Fits.
[[gnu::always_inline]] inline bool TerminalEncoder::InOtherForm(const Terminal& t, Cell sameLooking) {
  const uint8_t code = CellCharacter(sameLooking);
  const int fg = static_cast<int>(CellForeground(sameLooking));
  const bool space = code == qvl_terminal::kSpace;
  const bool half = (code == qvl_terminal::kUpperHalf) | (code == qvl_terminal::kLeftHalf);
  const int penColor = space ? t.penBg : t.penFg;
  return (space | half) & (penColor != fg);
}

// The glyph that draws a cell the pen fits.
[[gnu::always_inline]] inline uint8_t TerminalEncoder::CodeUnderPen(const Terminal& t, Cell sameLooking) {
  const uint8_t code = CellCharacter(sameLooking);
  const bool space = code == qvl_terminal::kSpace;
  const auto otherForm = static_cast<uint8_t>(space ? qvl_terminal::kFullBlock : code ^ qvl_terminal::kMirrorBits);
  return InOtherForm(t, sameLooking) ? otherForm : code;
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
  if (!t.ColumnKnown() || x < t.cursorX) {
    const int back = t.cursorX - x;
    const int backCost = qvl_terminal::MoveCost(back);
    if (t.ColumnKnown() && backCost < absoluteCost) {
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
  SetPen(t, fg, bg, SgrFor(t, fg, bg));
}

// SetPen with its SGR (SgrFor) worked out already.
[[gnu::always_inline]] inline void TerminalEncoder::SetPen(Terminal& t, int fg, int bg, const Sgr& sgr) const {
  std::memcpy(t.out, sgr.text, sizeof sgr.text);
  t.out += sgr.length;
  t.penFg = fg >= 0 ? fg : t.penFg;
  t.penBg = bg >= 0 ? bg : t.penBg;
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

inline TerminalEncoder::Columns TerminalEncoder::Columns::Without(const Columns& other) const {
  return {low & ~other.low, high & ~other.high};
}

inline void TerminalEncoder::Columns::Add(int column) {
  (column < 64 ? low : high) |= uint64_t{1} << (column & 63);
}

inline bool TerminalEncoder::Columns::Has(int column) const {
  return ((column < 64 ? low : high) >> (column & 63) & 1) != 0;
}

inline TerminalEncoder::Columns TerminalEncoder::Columns::With(int column) const {
  Columns with = *this;
  with.Add(column);
  return with;
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
// otherwise are looked at, and a cell that looks the same as shown needs nothing sent. Where
// the terminal's picture is not known, every cell waits.
inline TerminalEncoder::Columns TerminalEncoder::ReadRow(const Cell* given, const Cell* shown, const Columns& changed) {
  ReadLooks(given, changed);
  if (!mShownValid) return Columns::All();
  Columns waiting;
  changed.ForEach([&](int x) {
    if (mRowCells[x] != shown[x]) waiting.Add(x);
  });
  return waiting;
}

// Files the cells by key (OfKey), when the sweeps first ask about keys: the rows of a frame
// in 16 colours often need no question. The few changed cells of a row are filed one by one;
// the cells of a whole row a run of neighbours of one key at a time, one OR of all its
// columns, where a cell at a time would wait on the OR of the cell before.
inline void TerminalEncoder::FileKeys(const Columns& cells) {
  if (mShownValid) {
    cells.ForEach([this](int x) { (x < 64 ? mOfKeyLow[KeyAt(x)] : mOfKeyHigh[KeyAt(x)]) |= uint64_t{1} << (x & 63); });
    mFiledRuns = cells;
    return;
  }
  const Columns differ = ColumnsThatDiffer(&mKeys[1], &mKeys[0]);
  // A run starts at a cell whose key differs from the one before or whose cell before is not
  // filed; in each word on its own.
  mFiledRuns = {cells.low & (differ.low | ~(cells.low << 1)), cells.high & (differ.high | ~(cells.high << 1))};
  FileRuns(mOfKeyLow, mFiledRuns.low, cells.low, 0);
  FileRuns(mOfKeyHigh, mFiledRuns.high, cells.high, 64);
}

// The runs of one word of Columns: `starts` and `cells` hold columns from `first` on.
inline void TerminalEncoder::FileRuns(std::array<uint64_t, 512>& ofKey, uint64_t starts, uint64_t cells, int first) {
  while (starts != 0) {
    const uint64_t start = starts & (0 - starts);
    starts &= starts - 1;
    const uint64_t next = starts & (0 - starts);  // none after the last run: it reaches the end
    ofKey[KeyAt(first + std::countr_zero(start))] |= ((next - 1) ^ (start - 1)) & cells;
  }
}

// Empties the columns of each key filed, at the start of each of its runs.
inline void TerminalEncoder::ForgetKeys() {
  mFiledRuns.ForEach([this](int x) { mOfKeyLow[KeyAt(x)] = mOfKeyHigh[KeyAt(x)] = 0; });
  mFiledRuns = {};
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

// The cells of a run from one word of Columns: `bits` and `otherForm` hold columns from
// `first` on. The cursor is on their row already (EncodeRow). A loop, not ForEach: a lambda
// this large is not inlined, and `t` must stay in registers.
[[gnu::always_inline]] inline void TerminalEncoder::DrawRun(Terminal& t, uint64_t bits, uint64_t otherForm,
                                                            int first, Cell* shown) const {
  for (; bits != 0; bits &= bits - 1) {
    const auto i = static_cast<unsigned>(std::countr_zero(bits));
    const int x = first + static_cast<int>(i);
    if (t.cursorX != x) MoveInRow(t, x, shown);
    DrawCell(t, x, static_cast<int>(otherForm >> i & 1), shown);
  }
}

// The glyph is the cell's own, or its other form (a full block for a space, the mirror for a
// half block) where the pen's colours are the other way round (PenCells).
[[gnu::always_inline]] inline void TerminalEncoder::DrawCell(Terminal& t, int x, int form, Cell* shown) const {
  DrawGlyph(t, x, form, shown);
  t.cursorX = x + 1;  // past the last column, not known (ColumnKnown)
}

// DrawCell but for the cursor's column, for the callers that keep it themselves.
[[gnu::always_inline]] inline void TerminalEncoder::DrawGlyph(Terminal& t, int x, int form, Cell* shown) const {
  const Cell cell = mRowCells[x];
  const Glyph& glyph = mGlyphs[CellCharacter(cell)][form];
  std::memcpy(t.out, &glyph, sizeof glyph);  // whole, as in PutGlyph
  t.out += glyph.length;
  shown[x] = cell;
}

// Each sweep starts at the first waiting cell and goes right. A cell the pen does not fit is
// passed over, for a later sweep, when this sweep has drawn already and a later waiting cell
// fits the pen (and, where a colour change may be cheap, when changing costs enough).
inline void TerminalEncoder::EncodeRow(Terminal& terminal, int y, Columns waiting) {
  Terminal t = terminal;  // in registers: see Terminal
  const char* rowStart = t.out;
  const int cells = waiting.Count();
  Cell* shown = &mShown[y * kScreenWidth];
  int x = waiting.First();
  // Every sweep moves within the row; the first goes to the row first.
  if (!t.AtCursor(x, y)) MoveTo(t, x, y);
  if ((mEveryChangePassesOver && PenKnown(t)) || !Sweeps(t, waiting, x, shown)) SweepsPassingOver(t, waiting, x, shown);
  // The frame's buffer is only as large as this bound makes it: a row past it would write
  // beyond the buffer before the frame's end could tell.
  QVL_DEBUG_CHECK("terminal_rows.h", static_cast<size_t>(t.out - rowStart) <= kMaxBytesPerCell * static_cast<size_t>(cells));
  ForgetKeys();
  terminal = t;
}

// Sweeps cell by cell, where a colour change may cost little (16 colours, the palette), and
// where it never does until both colours of the pen are known (after Invalidate): then false,
// with the waiting cells and the first of them left for SweepsPassingOver. Every waiting cell
// of a sweep is drawn or passed over, so the cells passed over are the next sweep's.
[[gnu::always_inline]] inline bool TerminalEncoder::Sweeps(Terminal& t, Columns& waiting, int& x, Cell* shown) {
  bool done = true;
  while (waiting.Any()) {
    Sweep sweep{waiting, waiting.First(), {}};
    if (!SweepWord(t, sweep, waiting.low, 0, shown) || !SweepWord(t, sweep, waiting.high, 64, shown)) {
      waiting = sweep.waiting;
      x = sweep.first;
      done = false;
      break;
    }
    waiting = sweep.passedOver;
  }
  return done;
}

// The cells of one word of a sweep, `bits` from column `first` on, a stretch of neighbouring
// columns at a time: once on a stretch, the cursor moves on by itself with each cell drawn.
// Of the cells the pen fits, DrawOwnForm draws most; a cell it does not fit goes to NewPen,
// and one passed over ends the stretch. False when NewPen hands the row over to
// SweepsPassingOver.
[[gnu::always_inline]] inline bool TerminalEncoder::SweepWord(Terminal& t, Sweep& sweep, uint64_t bits, int first,
                                                              Cell* shown) {
  while (bits != 0) {
    const int start = std::countr_zero(bits);
    const int end = first + start + std::countr_one(bits >> start);
    int x = first + start;
    while (x < end) {
      const Cell cell = mRowCells[x];
      int form;
      if (Fits(cell, t.penFg, t.penBg)) {
        form = InOtherForm(t, cell) ? 1 : 0;
        if (t.cursorX != x) MoveInRow(t, x, shown);
      } else {
        // The waiting cells after x: the rest of this word's, and those of the word after.
        const uint64_t later = bits & qvl_terminal::BitsFrom(x + 1 - first);
        form = NewPen(t, sweep, x, first == 0 ? Columns{later, sweep.waiting.high} : Columns{0, later}, shown);
        if (form == kHandedOver) return false;
        if (form == kPassedOver) break;
      }
      DrawGlyph(t, x, form, shown);
      x = DrawOwnForm(t, x + 1, end, shown);
      t.cursorX = x;
    }
    bits &= qvl_terminal::BitsFrom(x + 1 - first);  // x: past the stretch, or the cell passed over
  }
  return true;
}

// Draws the cells from x, where the cursor is, before `end` while they are in the pen's own
// colours or spaces in its background, as most cells a pen draws are; gives the column after
// the last drawn. A loop of its own, which the compiler gives the registers, with no column
// kept (the cursor moves on by itself) and two comparisons a cell, of its key.
[[gnu::always_inline]] inline int TerminalEncoder::DrawOwnForm(Terminal& t, int x, int end, Cell* shown) const {
  // A colour not known makes these negative, no key.
  const int inPenColors = qvl_terminal::KeyOf(t.penFg, t.penBg);
  const int backgroundSpace = qvl_terminal::KeyOf(t.penBg, t.penBg);
  for (; x < end; ++x) {
    const int key = KeyAt(x);
    if (((key & 0xFF) != inPenColors) & (key != backgroundSpace)) break;
    DrawGlyph(t, x, 0, shown);
  }
  return x;
}

// For the cell at x, which the pen does not fit, with the waiting cells `later` after it:
// passes it over (kPassedOver), or changes the pen for it and gives its form (as in mGlyphs).
// Where every colour change passes cells over, once the pen is known, leaves the row to
// SweepsPassingOver instead (kHandedOver), with the waiting cells from x on in `sweep` (none
// passed over: in these modes none ever is before).
[[gnu::always_inline]] inline int TerminalEncoder::NewPen(Terminal& t, Sweep& sweep, int x, const Columns& later,
                                                          Cell* shown) {
  int fg = -1, bg = -1;
  const int form = PenFor(t, x, later, fg, bg);
  const Sgr& sgr = SgrFor(t, fg, bg);
  // The first cell of a sweep is drawn: nothing is drawn yet that passing it over would help.
  if (x != sweep.first && PassesOver(t, sgr.length, later, sweep.waiting)) {
    sweep.passedOver.Add(x);
    return kPassedOver;
  }
  if (t.cursorX != x) MoveInRow(t, x, shown);
  SetPen(t, fg, bg, sgr);
  if (mEveryChangePassesOver && PenKnown(t)) {
    sweep.waiting = later.With(x);
    sweep.first = x;
    return kHandedOver;
  }
  return form;
}

// Whether the cell waiting before `later` (the waiting cells after it in a sweep of
// `waiting`), which the pen does not fit, is passed over rather than given a pen at the cost
// of `penCost` bytes: only a change that costs enough is worth the question whether a later
// cell fits the pen (asked only with both colours known).
[[gnu::always_inline]] inline bool TerminalEncoder::PassesOver(const Terminal& t, int penCost, const Columns& later,
                                                               const Columns& waiting) {
  if (mEveryChangePassesOver || 2 * penCost <= kPassOverCost || !PenKnown(t)) return false;
  if (!mFiledRuns.Any()) FileKeys(waiting);
  return (CellsOfPen(t).fitting & later).Any();
}

// Sweeps where every colour change passes cells over (24-bit, 256 colours) and both colours
// of the pen are known (as they stay), from x, a waiting cell: a pen draws every waiting cell
// it fits from x on, with the cells between passed over, so the first waiting cell after those
// is one it does not fit, and the pen changes there. Sweeps less the questions whose answers
// are known.
[[gnu::always_inline]] inline void TerminalEncoder::SweepsPassingOver(Terminal& t, Columns waiting, int x,
                                                                      Cell* shown) {
  FileKeys(waiting);
  PenCells pen = CellsOfPen(t);
  for (;;) {
    if (!pen.fitting.Has(x)) pen = SwitchPen(t, x, waiting, shown);
    const Columns run = pen.fitting & waiting & Columns::From(x);
    DrawRun(t, run.low, pen.otherForm.low, 0, shown);
    DrawRun(t, run.high, pen.otherForm.high, 64, shown);
    const Columns later = waiting.After(run.Last());
    waiting = waiting.Without(run);
    if (!waiting.Any()) return;
    x = later.Any() ? later.First() : waiting.First();  // a new sweep at the first
  }
}

// Takes the pen to the one PenFor chooses for x: the cursor there first, then the colours.
[[gnu::always_inline]] inline TerminalEncoder::PenCells TerminalEncoder::SwitchPen(Terminal& t, int x, const Columns& waiting,
                                                                                  const Cell* shown) const {
  int fg = -1, bg = -1;
  PenFor(t, x, waiting.After(x), fg, bg);
  if (t.cursorX != x) MoveInRow(t, x, shown);
  SetPen(t, fg, bg);
  return CellsOfPen(t);
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
  }
}
