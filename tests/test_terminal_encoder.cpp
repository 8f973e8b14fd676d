// The terminal encoder's bytes, read back through a real terminal emulator.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "quorvel4/cp437.h"
#include "quorvel4/palette.h"
#include "quorvel4/terminal_encoder.h"
#include "terminal_sequences.h"

#ifdef QVL_HAVE_VTERM
#include "vterm_screen.h"
#endif

// Names the colour mode in test listings.
void PrintTo(ColorMode mode, std::ostream* os) {
  *os << (mode == ColorMode::kTrueColor    ? "truecolor"
          : mode == ColorMode::kIndexed256 ? "256"
          : mode == ColorMode::kPalette    ? "palette"
                                           : "16");
}

namespace {

std::vector<Cell> FirstFrame() {
  std::vector<Cell> cells(kScreenCells);
  for (int i = 0; i < kScreenCells; ++i) cells[i] = static_cast<Cell>(((i * 7 + i / 256) & 0xFF) << 8 | (i & 0xFF));
  return cells;
}

// Changes scattered cells (single ones, short gaps, long runs, whole rows), some in the
// glyph only, some in one colour only: every way the encoder can reach a cell.
std::vector<Cell> SecondFrame(const std::vector<Cell>& first) {
  std::vector<Cell> cells = first;
  uint32_t state = 12345;
  for (int i = 0; i < kScreenCells; ++i) {
    state = state * 1103515245u + 12345u;
    const int roll = (state >> 16) % 10;
    const int row = i / kScreenWidth;
    if (row >= 20 && row < 23) cells[i] ^= 0x5A3C;  // whole rows
    else if (roll == 0) cells[i] = static_cast<Cell>(cells[i] + 1);           // glyph
    else if (roll == 1) cells[i] = static_cast<Cell>(cells[i] ^ 0x0300);      // foreground
    else if (roll == 2) cells[i] = static_cast<Cell>(cells[i] ^ 0x9000);      // background
  }
  return cells;
}

TEST(TerminalColorMode, ChosenFromTheEnvironment) {
  EXPECT_EQ(ChooseColorMode(nullptr, "truecolor", "xterm"), ColorMode::kTrueColor);
  EXPECT_EQ(ChooseColorMode(nullptr, "24bit", "xterm"), ColorMode::kTrueColor);
  EXPECT_EQ(ChooseColorMode(nullptr, nullptr, "xterm-256color"), ColorMode::kIndexed256);
  EXPECT_EQ(ChooseColorMode(nullptr, "yes", "tmux-256color"), ColorMode::kIndexed256);
  EXPECT_EQ(ChooseColorMode(nullptr, nullptr, "xterm"), ColorMode::kAnsi16);
  EXPECT_EQ(ChooseColorMode(nullptr, nullptr, nullptr), ColorMode::kAnsi16);
  EXPECT_EQ(ChooseColorMode("16", "truecolor", "xterm-256color"), ColorMode::kAnsi16);
  EXPECT_EQ(ChooseColorMode("256", "truecolor", "xterm"), ColorMode::kIndexed256);
  EXPECT_EQ(ChooseColorMode("truecolor", nullptr, "vt100"), ColorMode::kTrueColor);
  EXPECT_EQ(ChooseColorMode("bogus", nullptr, "xterm"), ColorMode::kAnsi16);
  EXPECT_EQ(ChooseColorMode("palette", "truecolor", "xterm"), ColorMode::kPalette);
}

TEST(Cp437Table, KnownGlyphsAndNoCodeSharesOne) {
  EXPECT_EQ(kCp437ToUnicode[0], U' ');
  EXPECT_EQ(kCp437ToUnicode[1], U'\u263A');
  EXPECT_EQ(kCp437ToUnicode[31], U'\u25BC');
  EXPECT_EQ(kCp437ToUnicode[0x41], U'A');
  EXPECT_EQ(kCp437ToUnicode[127], U'\u2302');
  EXPECT_EQ(kCp437ToUnicode[176], U'\u2591');
  EXPECT_EQ(kCp437ToUnicode[177], U'\u2592');
  EXPECT_EQ(kCp437ToUnicode[178], U'\u2593');
  EXPECT_EQ(kCp437ToUnicode[219], U'\u2588');
  EXPECT_EQ(kCp437ToUnicode[220], U'\u2584');
  EXPECT_EQ(kCp437ToUnicode[221], U'\u258C');
  EXPECT_EQ(kCp437ToUnicode[222], U'\u2590');
  EXPECT_EQ(kCp437ToUnicode[223], U'\u2580');
  EXPECT_EQ(kCp437ToUnicode[255], U'\u00A0');
  std::set<char32_t> seen;
  for (int code = 1; code < 256; ++code) {
    EXPECT_GE(kCp437ToUnicode[code], 0x20u) << code;  // never a control character
    EXPECT_TRUE(seen.insert(kCp437ToUnicode[code]).second) << "code " << code << " repeats a glyph";
  }
}

TEST(TerminalEncoder, UnchangedFrameSendsNothingAndInvalidateSendsAll) {
  TerminalEncoder encoder(ColorMode::kTrueColor);
  const std::vector<Cell> frame = FirstFrame();
  const size_t full = encoder.EncodeFrame(frame.data()).size();
  EXPECT_GT(full, 4000u * 3);
  EXPECT_TRUE(encoder.EncodeFrame(frame.data()).empty());
  const size_t changed = encoder.EncodeFrame(SecondFrame(frame).data()).size();
  EXPECT_LT(changed, full / 2);
  encoder.Invalidate();
  EXPECT_GT(encoder.EncodeFrame(frame.data()).size(), changed);
}

TEST(SameLookingCell, OneColourCellsAndMirroredHalvesMeetInOneForm) {
  const Cell blueSpace = MakeCell(0x20, 1u, 1u);
  for (const Cell cell : {MakeCell(0x20, 7u, 1u), MakeCell(0x00, 4u, 1u), MakeCell(0xFF, 2u, 1u), MakeCell(0xDB, 1u, 9u),
                          MakeCell('A', 1u, 1u), MakeCell(0xDF, 1u, 1u), MakeCell(0xB1, 1u, 1u)}) {
    EXPECT_EQ(SameLookingCell(cell), blueSpace) << std::hex << cell;
  }
  EXPECT_EQ(SameLookingCell(MakeCell(0xDC, 4u, 2u)), MakeCell(0xDF, 2u, 4u));  // lower = upper mirrored
  EXPECT_EQ(SameLookingCell(MakeCell(0xDE, 4u, 2u)), MakeCell(0xDD, 2u, 4u));  // right = left mirrored
  // Cells that only look alike in some fonts stay apart.
  for (const Cell cell : {MakeCell(0xDF, 4u, 2u), MakeCell(0xDD, 4u, 2u), MakeCell(0xB0, 4u, 2u), MakeCell(0xB2, 2u, 4u),
                          MakeCell('A', 4u, 2u), MakeCell(0xFE, 4u, 2u)}) {
    EXPECT_EQ(SameLookingCell(cell), cell) << std::hex << cell;
  }
}

// The encoder works out the same-looking forms of a row eight cells at a time (SameLookingCell
// one at a time): every possible cell, in frames sent whole and as changes, ends up shown in
// the form SameLookingCell gives, also when only one or two cells of a group of eight change.
TEST(TerminalEncoder, ShownIsTheSameLookingFormOfEveryCell) {
  TerminalEncoder encoder(ColorMode::kTrueColor);
  std::vector<Cell> cells(kScreenCells);
  const auto expectShown = [&](const char* how, int frame) {
    for (int i = 0; i < kScreenCells; ++i) {
      ASSERT_EQ(encoder.Shown()[i], SameLookingCell(cells[i])) << how << " frame " << frame << " cell " << std::hex << cells[i];
    }
  };
  for (int frame = 0; frame * kScreenCells < 65536; ++frame) {
    for (int i = 0; i < kScreenCells; ++i) cells[i] = static_cast<Cell>(frame * kScreenCells + i);
    encoder.EncodeFrame(cells.data());
    expectShown("changed", frame);
    encoder.Invalidate();
    encoder.EncodeFrame(cells.data());
    expectShown("whole", frame);
    // A lone change in every group of eight, then a pair.
    for (int i = 0; i < kScreenCells; i += 8) cells[i] = static_cast<Cell>(cells[i] ^ 0xDC00);
    encoder.EncodeFrame(cells.data());
    expectShown("one in eight", frame);
    for (int i = 3; i < kScreenCells; i += 8) cells[i] = cells[i + 1] = static_cast<Cell>(cells[i] ^ 0x3C00);
    encoder.EncodeFrame(cells.data());
    expectShown("two in eight", frame);
  }
}

int SgrCount(std::string_view bytes) {
  static const std::regex sgr("\x1b\\[[0-9;]*m");
  const std::string text(bytes);
  return static_cast<int>(std::distance(std::sregex_iterator(text.begin(), text.end(), sgr), std::sregex_iterator()));
}

// Red over green in every form a viewer cannot tell apart from its neighbours': each row is
// drawn without a colour change after the first, and a frame that only swaps forms sends nothing.
TEST(TerminalEncoder, CellsThatLookTheSameCostNoColourChange) {
  TerminalEncoder encoder(ColorMode::kTrueColor);
  std::vector<Cell> frame(kScreenCells), mirrored(kScreenCells);
  const Cell forms[] = {MakeCell(0xDF, 4u, 2u), MakeCell(0xDC, 2u, 4u), MakeCell(0x20, 7u, 2u), MakeCell(0xDB, 4u, 9u),
                        MakeCell('x', 2u, 2u),  MakeCell(0xDD, 4u, 4u)};
  for (int i = 0; i < kScreenCells; ++i) frame[i] = forms[(i * 7 + i / 3) % 6];
  const std::string_view bytes = encoder.EncodeFrame(frame.data());
  EXPECT_EQ(SgrCount(bytes), 1) << "one pen, red over green, draws every cell";
  // Exchanging forms of the same look is no change.
  for (int i = 0; i < kScreenCells; ++i) {
    if (CellCharacter(frame[i]) == 0xDF) mirrored[i] = MakeCell(0xDC, 2u, 4u);
    else if (CellCharacter(frame[i]) == 0xDC) mirrored[i] = MakeCell(0xDF, 4u, 2u);
    else mirrored[i] = frame[i];
  }
  EXPECT_TRUE(encoder.EncodeFrame(mirrored.data()).empty());
}

// Two pens alternating cell by cell along every row: each row is drawn in two sweeps, one per
// pen, rather than with a colour change before every cell.
TEST(TerminalEncoder, InterleavedPensAreDrawnOnePenAtATime) {
  TerminalEncoder encoder(ColorMode::kTrueColor);
  std::vector<Cell> frame(kScreenCells);
  for (int i = 0; i < kScreenCells; ++i) frame[i] = i % 2 ? MakeCell('a', 4u, 1u) : MakeCell('b', 2u, 14u);
  EXPECT_LE(SgrCount(encoder.EncodeFrame(frame.data())), 2 * kScreenHeight);
}

// Frames of a few colours in the glyphs that may stand in for one another, changing at random
// from frame to frame: the pen the encoder believes in must be the one the terminal holds
// after every space drawn without a foreground and every mirrored half block.
std::vector<Cell> InterchangeableFrame(uint32_t& state, const std::vector<Cell>& previous) {
  static constexpr uint8_t kCodes[] = {0x20, 0x00, 0xFF, 0xDB, 0xDC, 0xDD, 0xDE, 0xDF, 'A', 0xB1};
  static constexpr unsigned kColors[] = {0, 4, 7, 15};
  std::vector<Cell> cells = previous;
  for (Cell& cell : cells) {
    state = state * 1103515245u + 12345u;
    if ((state >> 16) % 3 == 0) continue;  // unchanged, for the rewrites across gaps
    const uint32_t r = state >> 8;
    cell = MakeCell(kCodes[r % 10], kColors[(r / 10) % 4], kColors[(r / 40) % 4]);
  }
  return cells;
}

// What a stream does, step by step: 'm' a colour change, 'M' a cursor move, 'g' glyphs (a run
// of them as one step), 'o' any other control sequence.
std::string StreamSteps(std::string_view bytes) {
  std::string steps;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] != '\x1b' || i + 1 == bytes.size() || bytes[i + 1] != '[') {
      if (steps.empty() || steps.back() != 'g') steps += 'g';
      continue;
    }
    for (i += 2; i < bytes.size() && (bytes[i] < 0x40 || bytes[i] > 0x7E);) ++i;  // to the final byte
    const char final = i < bytes.size() ? bytes[i] : '?';
    steps += final == 'm' ? 'm' : std::string_view("CDGH").find(final) != std::string_view::npos ? 'M' : 'o';
  }
  return steps;
}

const ColorMode kEveryMode[] = {ColorMode::kTrueColor, ColorMode::kIndexed256, ColorMode::kAnsi16, ColorMode::kPalette};

// A cursor move straight after another, or a colour change straight after another, is sent
// for nothing: the sweeps move the cursor and change the pen only for a cell they then draw,
// also when they pass a cell over where a stretch of changed cells starts. Frames of a few
// colours changing at random between unchanged cells, as changes and whole, in every mode.
TEST(TerminalEncoder, NoCursorMoveOrColourChangeIsSentForNothing) {
  for (const ColorMode mode : kEveryMode) {
    TerminalEncoder encoder(mode);
    uint32_t state = 11;
    std::vector<Cell> cells(kScreenCells, 0);
    for (int frame = 0; frame < 30; ++frame) {
      cells = InterchangeableFrame(state, cells);
      if (frame % 10 == 9) encoder.Invalidate();
      const std::string steps = StreamSteps(encoder.EncodeFrame(cells.data()));
      EXPECT_EQ(steps.find("MM"), std::string::npos) << "mode " << int(mode) << " frame " << frame;
      EXPECT_EQ(steps.find("mm"), std::string::npos) << "mode " << int(mode) << " frame " << frame;
    }
  }
}

// Every row one pen fits, in its own colours, as spaces in either colour and as half blocks
// either way round: in every mode a frame sent whole is one colour change and one cursor move
// a row (to its start), also across column 64, where the columns' second word starts.
TEST(TerminalEncoder, RowsOfOnePenInEveryFormNeedOneMoveEach) {
  const Cell forms[] = {MakeCell('x', 4u, 2u), MakeCell(0x20, 7u, 2u), MakeCell(0xDB, 4u, 9u), MakeCell(0xDF, 2u, 4u),
                        MakeCell(0xDC, 4u, 2u), MakeCell(0x00, 1u, 4u), MakeCell(0xB1, 4u, 2u)};
  std::vector<Cell> frame(kScreenCells);
  for (int i = 0; i < kScreenCells; ++i) frame[i] = forms[(i * 5 + i / 7) % 7];
  for (const ColorMode mode : kEveryMode) {
    TerminalEncoder encoder(mode);
    const std::string steps = StreamSteps(encoder.EncodeFrame(frame.data()));
    EXPECT_EQ(std::count(steps.begin(), steps.end(), 'm'), 1) << "mode " << int(mode);
    EXPECT_EQ(std::count(steps.begin(), steps.end(), 'M'), kScreenHeight) << "mode " << int(mode);
  }
}

// Two pens alternating along every row after a few spaces, in a frame sent whole, so that the
// pen is not known at first and then only in one colour: in every mode, once both colours are
// known, each row is drawn in two sweeps, one per pen.
TEST(TerminalEncoder, InterleavedPensAfterSpacesAreDrawnOnePenAtATimeInEveryMode) {
  std::vector<Cell> frame(kScreenCells);
  for (int i = 0; i < kScreenCells; ++i) {
    const int x = i % kScreenWidth;
    frame[i] = x < 5 ? MakeCell(0x20, 0u, 3u) : x % 2 ? MakeCell('a', 4u, 1u) : MakeCell('b', 2u, 14u);
  }
  for (const ColorMode mode : kEveryMode) {
    TerminalEncoder encoder(mode);
    EXPECT_LE(SgrCount(encoder.EncodeFrame(frame.data())), 3 * kScreenHeight) << "mode " << int(mode);
  }
}

// The costliest cells there are, each in the pen it does not fit: far from the terminal's
// corner (a cursor move of five digits a number), in the two colours whose components all take
// three digits (the longest SGR), with a glyph of three bytes. A lone one on a row of its own
// and a whole frame of them stay within the bytes the frame's buffer allows a cell; in the
// builds with debug checks every row is checked against it on the way as well.
TEST(TerminalEncoder, TheCostliestCellsStayWithinTheBytesACellMayTake) {
  const Cell white = MakeCell(0xCE, 15, 7), grey = MakeCell(0xCE, 7, 15);
  const size_t markers = seq::kSyncBegin.size() + seq::kSyncEnd.size();
  for (const ColorMode mode : kEveryMode) {
    TerminalEncoder encoder(mode);
    encoder.SetOrigin(65000, 65000);
    std::vector<Cell> frame(kScreenCells, white);
    encoder.EncodeFrame(frame.data());
    frame[kScreenWidth - 1] = grey;  // the top row's last cell; the cursor is on the bottom row
    EXPECT_LE(encoder.EncodeFrame(frame.data()).size() - markers, TerminalEncoder::kMaxBytesPerCell) << static_cast<int>(mode);

    for (int i = 0; i < kScreenCells; ++i) frame[i] = (i + i / kScreenWidth) % 2 ? white : grey;
    encoder.Invalidate();
    EXPECT_LE(encoder.EncodeFrame(frame.data()).size() - markers, TerminalEncoder::kMaxBytesPerCell * kScreenCells)
        << static_cast<int>(mode);
  }
}

#ifdef QVL_HAVE_VTERM

// Rows whose changes lie on both sides of column 64, or only past it, with two pens
// alternating: the sweeps find the next cell of their pen across the whole row, and the
// terminal shows every cell as meant, in every mode.
TEST(TerminalEncoderLooks, SweepsReachTheRightEndOfTheRow) {
  for (const ColorMode mode :
       {ColorMode::kTrueColor, ColorMode::kIndexed256, ColorMode::kAnsi16, ColorMode::kPalette}) {
    TerminalEncoder encoder(mode);
    VtScreen vt(kScreenWidth, kScreenHeight);
    std::vector<Cell> cells(kScreenCells, MakeCell(0x20, 0u, 0u));
    vt.Feed(encoder.EncodeFrame(cells.data()));
    for (const int from : {50, 63, 64, 65, 79}) {
      for (int y = 0; y < kScreenHeight; ++y) {
        for (int x = from; x < kScreenWidth; ++x) {
          const bool odd = (x + y + from) % 2 != 0;
          cells[y * kScreenWidth + x] = odd ? MakeCell('a', 4u, 1u) : MakeCell(0xB1, 14u, 2u);
        }
      }
      const std::string_view bytes = encoder.EncodeFrame(cells.data());
      if (mode == ColorMode::kTrueColor) {
        EXPECT_LE(SgrCount(bytes), 2 * kScreenHeight) << "from column " << from;
      }
      vt.Feed(bytes);
      const std::string wrong = FirstWrongCell(vt, cells, mode);
      ASSERT_TRUE(wrong.empty()) << "mode " << int(mode) << " from column " << from << " " << wrong;
    }
  }
}

TEST(TerminalEncoderLooks, RandomFramesOfInterchangeableCellsInEveryMode) {
  for (const ColorMode mode :
       {ColorMode::kTrueColor, ColorMode::kIndexed256, ColorMode::kAnsi16, ColorMode::kPalette}) {
    TerminalEncoder encoder(mode);
    VtScreen vt(kScreenWidth, kScreenHeight);
    uint32_t state = 7;
    std::vector<Cell> cells(kScreenCells, 0);
    for (int frame = 0; frame < 40; ++frame) {
      cells = InterchangeableFrame(state, cells);
      vt.Feed(encoder.EncodeFrame(cells.data()));
      const std::string wrong = FirstWrongCell(vt, cells, mode);
      ASSERT_TRUE(wrong.empty()) << "mode " << int(mode) << " frame " << frame << " " << wrong;
    }
  }
}

// The frames of a `capture --format cells` file, one after another into `cells`.
class ShowCells {
 public:
  explicit ShowCells(const char* path) {
    std::ifstream file(path, std::ios::binary);
    bytes_.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }
  bool Valid() const { return !bytes_.empty() && bytes_.size() % (2 * kScreenCells) == 0; }
  size_t Frames() const { return bytes_.size() / (2 * kScreenCells); }
  void Frame(size_t k, std::vector<Cell>& cells) const {
    cells.resize(kScreenCells);
    for (int i = 0; i < kScreenCells; ++i) {
      const size_t at = (k * kScreenCells + i) * 2;
      cells[i] = Cell(uint8_t(bytes_[at]) | uint8_t(bytes_[at + 1]) << 8);
    }
  }

 private:
  std::string bytes_;
};

// The whole show, frame by frame, in both modes the live show uses, when QVL_SHOW_CELLS names
// a `capture --format cells` file of it (scripts/terminal-stream-exactness.sh makes one): too
// long for every test run.
TEST(TerminalEncoderLooks, WholeShowWhenGiven) {
  const char* path = std::getenv("QVL_SHOW_CELLS");
  if (!path) GTEST_SKIP() << "QVL_SHOW_CELLS is not set";
  const ShowCells show(path);
  ASSERT_TRUE(show.Valid()) << path;
  for (const ColorMode mode : {ColorMode::kTrueColor, ColorMode::kPalette}) {
    TerminalEncoder encoder(mode);
    VtScreen vt(kScreenWidth, kScreenHeight);
    std::vector<Cell> cells;
    for (size_t k = 0; k < show.Frames(); ++k) {
      show.Frame(k, cells);
      vt.Feed(encoder.EncodeFrame(cells.data()));
      const std::string wrong = FirstWrongCell(vt, cells, mode);
      ASSERT_TRUE(wrong.empty()) << "mode " << int(mode) << " frame " << k << " " << wrong;
    }
    std::printf("%zu frames look as meant in mode %d\n", show.Frames(), int(mode));
  }
}

// The text of one output event of a cast line (`[time, "o", "text"]`), its JSON escapes undone.
std::string CastEventText(const std::string& line) {
  static const std::string kOutput = ", \"o\", \"";
  const size_t open = line.find(kOutput);
  std::string text;
  if (open == std::string::npos) return text;
  for (size_t i = open + kOutput.size(); i < line.size() && line[i] != '"'; ++i) {
    if (line[i] != '\\') {
      text += line[i];
      continue;
    }
    const char c = line[++i];
    if (c == 'u') {  // the cast escapes only control characters this way
      text += static_cast<char>(std::stoi(line.substr(i + 1, 4), nullptr, 16));
      i += 4;
    } else {
      text += c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c == 'b' ? '\b' : c == 'f' ? '\f' : c;
    }
  }
  return text;
}

// A cast of the whole show (QVL_SHOW_CAST) played through the emulator beside the cells file
// of the same frames (QVL_SHOW_CAST_CELLS): after the event of each frame that changed the
// picture, the screen looks as that frame means; a frame that changed nothing has no event.
TEST(TerminalEncoderLooks, WholeShowCastWhenGiven) {
  const char* castPath = std::getenv("QVL_SHOW_CAST");
  const char* cellsPath = std::getenv("QVL_SHOW_CAST_CELLS");
  if (!castPath || !cellsPath) GTEST_SKIP() << "QVL_SHOW_CAST and QVL_SHOW_CAST_CELLS are not set";
  const ShowCells show(cellsPath);
  ASSERT_TRUE(show.Valid()) << cellsPath;
  std::ifstream cast(castPath);
  std::string line;
  ASSERT_TRUE(std::getline(cast, line)) << castPath;
  // The palette mode's cast carries the VGA colours as its theme.
  const ColorMode mode = line.find("\"theme\"") != std::string::npos ? ColorMode::kPalette : ColorMode::kTrueColor;
  VtScreen vt(kScreenWidth, kScreenHeight);
  std::vector<Cell> cells, previous(kScreenCells);
  size_t events = 0;
  for (size_t k = 0; k < show.Frames(); ++k) {
    show.Frame(k, cells);
    bool changed = k == 0;
    for (int i = 0; i < kScreenCells && !changed; ++i) changed = SameLookingCell(cells[i]) != SameLookingCell(previous[i]);
    previous = cells;
    if (!changed) continue;
    ASSERT_TRUE(std::getline(cast, line)) << "no event for frame " << k;
    vt.Feed(CastEventText(line));
    ++events;
    const std::string wrong = FirstWrongCell(vt, cells, mode);
    ASSERT_TRUE(wrong.empty()) << "frame " << k << " " << wrong;
  }
  ASSERT_TRUE(std::getline(cast, line)) << "no closing event";
  vt.Feed(CastEventText(line));
  EXPECT_TRUE(FirstWrongCell(vt, cells, mode).empty()) << "the closing event changed the picture";
  EXPECT_FALSE(std::getline(cast, line)) << "events beyond the frames";
  std::printf("%zu frames, %zu events of the cast look as meant in mode %d\n", show.Frames(), events, int(mode));
}

class TerminalEncoderThroughEmulator : public ::testing::TestWithParam<ColorMode> {};

// The first frame whole, the second as changes, then back to the first: the reverse changes,
// now from a known pen and cursor. The picture at (originX, originY) of the terminal.
void ExpectFullFrameThenChangedFrames(TerminalEncoder& encoder, VtScreen& vt, int originX = 0, int originY = 0) {
  const std::vector<Cell> first = FirstFrame();
  const std::vector<Cell> second = SecondFrame(first);
  for (const std::vector<Cell>* frame : {&first, &second, &first}) {
    vt.Feed(encoder.EncodeFrame(frame->data()));
    ExpectScreenShows(vt, *frame, encoder.Mode(), originX, originY);
  }
}

TEST_P(TerminalEncoderThroughEmulator, FullFrameThenChangedFrame) {
  TerminalEncoder encoder(GetParam());
  VtScreen vt(kScreenWidth, kScreenHeight);
  ExpectFullFrameThenChangedFrames(encoder, vt);
}

TEST_P(TerminalEncoderThroughEmulator, CentredInALargerTerminalAndRedrawnAfterAClear) {
  TerminalEncoder encoder(GetParam());
  VtScreen vt(101, 57);
  encoder.SetOrigin(10, 3);
  const std::vector<Cell> first = FirstFrame();
  vt.Feed(encoder.EncodeFrame(first.data()));
  const std::vector<Cell> second = SecondFrame(first);
  vt.Feed(encoder.EncodeFrame(second.data()));
  ExpectScreenShows(vt, second, GetParam(), 10, 3);
  for (int y = 0; y < 57; ++y) {
    for (int x = 0; x < 101; ++x) {
      if (x >= 10 && x < 90 && y >= 3 && y < 53) continue;
      ASSERT_EQ(vt.At(x, y).chars[0], 0u) << "outside the picture at " << x << "," << y;
    }
  }

  // Something else wiped the screen: after Invalidate the whole frame comes back.
  vt.Feed("\x1b[0m\x1b[2J");
  encoder.Invalidate();
  vt.Feed(encoder.EncodeFrame(second.data()));
  ExpectScreenShows(vt, second, GetParam(), 10, 3);
}

// Far enough from the corner that rows and columns take three digits in cursor moves, which
// are sent otherwise than the one or two of most.
TEST_P(TerminalEncoderThroughEmulator, FarFromTheCornerWhereMovesTakeThreeDigits) {
  TerminalEncoder encoder(GetParam());
  VtScreen vt(230, 160);
  encoder.SetOrigin(140, 105);
  ExpectFullFrameThenChangedFrames(encoder, vt, 140, 105);
}

INSTANTIATE_TEST_SUITE_P(AllColorModes, TerminalEncoderThroughEmulator,
                         ::testing::Values(ColorMode::kTrueColor, ColorMode::kIndexed256, ColorMode::kAnsi16,
                                           ColorMode::kPalette),
                         [](const auto& info) {
                           switch (info.param) {
                             case ColorMode::kTrueColor: return std::string("TrueColor");
                             case ColorMode::kIndexed256: return std::string("Indexed256");
                             case ColorMode::kPalette: return std::string("Palette");
                             default: return std::string("Ansi16");
                           }
                         });

#endif  // QVL_HAVE_VTERM

}  // namespace
