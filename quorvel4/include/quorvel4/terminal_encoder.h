// Turns frames of Cells into the bytes a terminal needs to show them: code page 437 as
// UTF-8, console colours as ANSI colours, and only the cells that changed since the last
// frame, each in the form that costs the fewest bytes for the same picture.
//
// What a viewer sees is kept exact; the glyph sent may differ from the cell's where the two
// look the same: a cell of one colour (a blank, a full block, foreground equal to background)
// goes out as a space on that background or a full block in that foreground, whichever needs
// fewer colour changes; a half block (upper/lower, left/right) may go out as its mirror with
// the two colours exchanged.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "quorvel4/palette.h"
#include "quorvel4/types.h"

enum class ColorMode {
  kTrueColor,   // 24-bit colour: the exact VGA palette, immune to the terminal's theme
  kIndexed256,  // the xterm 256-colour cube and grey ramp
  kAnsi16,      // the 16 ANSI colours, bright backgrounds through SGR 100-107
  kPalette,     // the 16 ANSI colours after setting the terminal's palette to VGA (OSC 4)
};

// The colour mode for a terminal. `override` (the QVL_COLORS variable: "truecolor",
// "24bit", "256", "16" or "palette") wins when set; then COLORTERM "truecolor" or "24bit" chooses
// 24-bit, a TERM naming 256 colours chooses 256, anything else 16. Null means unset.
ColorMode ChooseColorMode(const char* override, const char* colorterm, const char* term);

// The ANSI colour number (0-7, plus 8 for bright) of a console colour number: the two
// orders differ in that console 1 is blue and ANSI 1 is red.
constexpr int AnsiColorOf(int console) {
  return ((console & 1) << 2) | (console & 2) | ((console & 4) >> 2) | (console & 8);
}

// The entry of the xterm 256-colour palette nearest a console colour, from 16 up: the
// first 16 entries are the ones a terminal theme repaints.
int Xterm256IndexOf(int console);

// The one cell of each set of cells that look the same on a terminal: a cell of one colour X
// is a space on X (in foreground X too), a lower half block is the upper one with its colours
// exchanged, a right half block the left one. Every other cell is itself.
Cell SameLookingCell(Cell cell);

// What sets one palette entry (ANSI numbering) to a colour; the terminal's 16 palette entries
// to the VGA colours (in ANSI order); and what puts the terminal's own palette back.
std::string SetPaletteEntryBytes(int ansi, const Rgb& colour);
std::string_view SetVgaPaletteBytes();
std::string_view ResetPaletteBytes();

class TerminalEncoder {
 public:
  // The most bytes one cell of a frame takes: a cursor move to its row and column, an SGR that
  // sets both colours in 24 bits, its glyph, and the cells before it sent again in place of a
  // move, which cost less than the move. The frame's buffer is this for every cell; in the
  // builds with debug checks every row is checked against it.
  static constexpr size_t kMaxBytesPerCell = 80;

  explicit TerminalEncoder(ColorMode mode);

  ColorMode Mode() const { return mMode; }

  // Puts the top-left cell of the picture at (column, row) of the terminal, 0-based.
  // The next frame is sent whole.
  void SetOrigin(int column, int row);

  // Forgets what the terminal shows, the pen and the cursor: the next frame is sent whole.
  // Call it whenever anything else has written to the terminal.
  void Invalidate();

  // The bytes that turn the last encoded frame into `cells` (80 x 50, row-major), after
  // `prefix`, all inside synchronized-output markers. Empty when nothing changed and
  // there is no prefix. The view lives until the next call.
  std::string_view EncodeFrame(const Cell* cells, std::string_view prefix = {});

  // For recordings of the frames that a terminal replays (a cast, a file for `cat`): what
  // comes before the first frame (no cursor over the picture, a clear screen), plain colours
  // again for what follows the frames, and the end of a replay: plain colours and the
  // cursor back, on the line below the picture.
  static std::string_view ReplayStart();
  static std::string_view PlainColors();
  std::string ReplayEnd() const;

  // The frame the terminal shows after the last EncodeFrame (zero before the first), each
  // cell as SameLookingCell gives it.
  const Cell* Shown() const { return mShown.data(); }

 private:
  struct alignas(8) Glyph {  // eight bytes: one load
    char bytes[4];
    uint8_t length;
  };
  struct Sgr {
    char text[47];  // the longest: CSI, both colours in 24 bits, the final byte
    uint8_t length;
  };
  static constexpr int kUnknown = -2;
  // What the terminal is in besides the cells it shows, as far as known, and where its next
  // bytes go. A frame is encoded with a copy in a local variable: a byte written through a
  // char pointer may, for all the compiler knows, change any member, so state kept in members
  // would be read back from memory after every byte, while a local whose address never
  // escapes stays in registers. Every function that takes it is inlined, or works on a copy
  // of its own (EncodeRow), for that reason.
  struct Terminal {
    char* out = nullptr;
    int penFg = kUnknown;  // a colour, or kUnknown (as is every field below that can be)
    int penBg = kUnknown;
    int cursorX = kUnknown;  // picture coordinates, or kUnknown (see ColumnKnown)
    int cursorY = kUnknown;
    void Put(std::string_view bytes);
    void PutNumber(int value, int digits);
    void PutMove(int count, char final, int cost);
    bool AtCursor(int x, int y) const { return cursorY == y && cursorX == x; }
    // Auto-wrap is off: past the last column the cursor stays put or moves on into the
    // margin, depending on the terminal's width, so its column (kScreenWidth after a cell
    // there) is no longer known; its row is.
    bool ColumnKnown() const { return static_cast<unsigned>(cursorX) < kScreenWidth; }
  };

  // A set of columns of one row: the changed cells waiting to be drawn, those of one key, those
  // a pen fits. Finding the next one is a bit scan, so a sweep goes straight to the next cell
  // the pen fits instead of visiting every cell it passes over.
  struct Columns {
    uint64_t low = 0;   // columns 0-63
    uint64_t high = 0;  // columns 64 and up
    static_assert(kScreenWidth <= 128, "a row's columns fit two words");
    static Columns All();
    static Columns From(int column);  // that column and those after it
    bool Any() const { return (low | high) != 0; }
    int Count() const { return std::popcount(low) + std::popcount(high); }
    bool Has(int column) const;
    int First() const;  // the lowest column; only when Any()
    int Last() const;   // the highest column; only when Any()
    Columns After(int column) const;
    Columns Without(const Columns& other) const;
    Columns With(int column) const;
    uint32_t GroupsOfEight() const;
    // The columns from `first` whose bytes in `flags` (in memory order) are 0xFF, of eight
    // bytes that are 0 or 0xFF.
    void AddEight(int first, uint64_t flags);
    void Add(int column);
    Columns operator|(const Columns& other) const { return {low | other.low, high | other.high}; }
    Columns operator&(const Columns& other) const { return {low & other.low, high & other.high}; }
    // Calls visit(column) for every column, from the lowest.
    template <typename Visit>
    void ForEach(Visit visit) const;
  };
  // The columns where two rows of cells, or of keys, differ.
  static Columns ColumnsThatDiffer(const uint16_t* row, const uint16_t* otherRow);
  // The cells of the row that the pen fits, and those of them it draws in their other form.
  struct PenCells {
    Columns fitting;
    Columns otherForm;
  };
  PenCells CellsOfPen(const Terminal& t) const;
  PenCells CellsOfPartPen(int penFg, int penBg) const;

  // A sweep passes a cell over when a later one fits its pen and the two colour changes this
  // saves cost more than this (about two cursor moves).
  static constexpr int kPassOverCost = 10;
  // Whether every colour change costs more than kPassOverCost / 2 in this mode (24-bit, 256).
  bool mEveryChangePassesOver = false;
  // The row being drawn: its changed cells (as SameLookingCell gives them) and their keys (the
  // attribute, and whether a half block: see CellsOfPen) by column, and the columns of each
  // key filed (FileKeys; all empty between rows).
  std::array<Cell, kScreenWidth> mRowCells{};
  // Column x's key is mKeys[1 + x]; mKeys[0] is there for the comparison of every key with
  // the one before it (FileKeys).
  std::array<uint16_t, 1 + kScreenWidth> mKeys{};
  uint16_t KeyAt(int x) const { return mKeys[1 + x]; }
  // In two arrays of words, not one of Columns: a word's index scales in the address itself.
  std::array<uint64_t, 512> mOfKeyLow{};
  std::array<uint64_t, 512> mOfKeyHigh{};
  Columns OfKey(int key) const { return {mOfKeyLow[key], mOfKeyHigh[key]}; }
  Columns mFiledRuns;  // the first column of each run of one key filed (FileKeys); empty when none is

  static bool Fits(Cell sameLooking, int penFg, int penBg);
  static int SgrIndex(bool fgChanges, bool bgChanges, int fg, int bg);
  const Sgr& SgrFor(const Terminal& t, int fg, int bg) const;
  int PenCost(const Terminal& t, int fg, int bg) const;
  int PenFor(const Terminal& t, int x, const Columns& later, int& fg, int& bg) const;
  static bool InOtherForm(const Terminal& t, Cell sameLooking);
  static uint8_t CodeUnderPen(const Terminal& t, Cell sameLooking);
  void PutGlyph(Terminal& t, uint8_t code) const;
  void MoveTo(Terminal& t, int x, int y) const;
  void MoveInRow(Terminal& t, int x, const Cell* shown) const;
  bool CheaperToRewrite(const Terminal& t, const Cell* shown, int x, int moveCost) const;
  void SetPen(Terminal& t, int fg, int bg) const;
  void SetPen(Terminal& t, int fg, int bg, const Sgr& sgr) const;
  void ReadLooks(const Cell* given, const Columns& changed);
  Columns ReadRow(const Cell* given, const Cell* shown, const Columns& changed);
  void FileKeys(const Columns& cells);
  void FileRuns(std::array<uint64_t, 512>& ofKey, uint64_t starts, uint64_t cells, int first);
  void ForgetKeys();
  static bool PenKnown(const Terminal& t) { return t.penFg >= 0 && t.penBg >= 0; }
  void DrawRun(Terminal& t, uint64_t bits, uint64_t otherForm, int first, Cell* shown) const;
  void DrawCell(Terminal& t, int x, int form, Cell* shown) const;
  void DrawGlyph(Terminal& t, int x, int form, Cell* shown) const;
  PenCells SwitchPen(Terminal& t, int x, const Columns& waiting, const Cell* shown) const;
  // A sweep cell by cell (Sweeps): the waiting cells it started with, the first of them, and
  // those it passed over so far.
  struct Sweep {
    Columns waiting;
    int first;
    Columns passedOver;
  };
  bool Sweeps(Terminal& t, Columns& waiting, int& x, Cell* shown);
  bool SweepWord(Terminal& t, Sweep& sweep, uint64_t bits, int first, Cell* shown);
  int DrawOwnForm(Terminal& t, int x, int end, Cell* shown) const;
  static constexpr int kPassedOver = -1;  // from NewPen
  static constexpr int kHandedOver = -2;
  int NewPen(Terminal& t, Sweep& sweep, int x, const Columns& later, Cell* shown);
  bool PassesOver(const Terminal& t, int penCost, const Columns& later, const Columns& waiting);
  void SweepsPassingOver(Terminal& t, Columns waiting, int x, Cell* shown);
  void EncodeRow(Terminal& t, int y, Columns waiting);
  void EncodeRows(Terminal& t, const Cell* cells);
  void EncodeRowsWide(Terminal& t, const Cell* cells);  // x86-64 only
  void EncodeRowsForThisProcessor(Terminal& t, const Cell* cells);

  ColorMode mMode;
  std::array<std::array<Glyph, 2>, 256> mGlyphs{};  // by code: its own, and its other form
  // Every colour change, by the colours it sets (SgrIndex), and the empty one.
  static constexpr int kSameColor = 16;
  std::array<Sgr, (kSameColor + 1) * (kSameColor + 1)> mSgrs{};
  std::vector<Cell> mShown = std::vector<Cell>(kScreenCells, 0);
  std::vector<Cell> mLastCells = std::vector<Cell>(kScreenCells, 0);  // as given, for whole rows unchanged
  std::vector<char> mBuffer;
  int mOriginX = 0;
  int mOriginY = 0;
  std::array<int, kScreenWidth> mColumnMoveCosts{};  // of a move to each column: see SetOrigin
  bool mShownValid = false;
  Terminal mTerminal;  // between frames; during one, a local copy
};
