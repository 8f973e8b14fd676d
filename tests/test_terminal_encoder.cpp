// The terminal encoder's bytes, read back through a real terminal emulator.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "quorvel4/cp437.h"
#include "quorvel4/palette.h"
#include "quorvel4/terminal_encoder.h"

#ifdef QVL_HAVE_VTERM
#include "vterm_screen.h"
#endif

// Names the colour mode in test listings.
void PrintTo(ColorMode mode, std::ostream* os) {
  *os << (mode == ColorMode::kTrueColor ? "truecolor" : mode == ColorMode::kIndexed256 ? "256" : "16");
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

#ifdef QVL_HAVE_VTERM

class TerminalEncoderThroughEmulator : public ::testing::TestWithParam<ColorMode> {};

TEST_P(TerminalEncoderThroughEmulator, FullFrameThenChangedFrame) {
  TerminalEncoder encoder(GetParam());
  VtScreen vt(kScreenWidth, kScreenHeight);
  const std::vector<Cell> first = FirstFrame();
  vt.Feed(encoder.EncodeFrame(first.data()));
  ExpectScreenShows(vt, first, GetParam());

  const std::vector<Cell> second = SecondFrame(first);
  vt.Feed(encoder.EncodeFrame(second.data()));
  ExpectScreenShows(vt, second, GetParam());

  // Back to the first frame: the reverse changes, now from a known pen and cursor.
  vt.Feed(encoder.EncodeFrame(first.data()));
  ExpectScreenShows(vt, first, GetParam());
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

INSTANTIATE_TEST_SUITE_P(AllColorModes, TerminalEncoderThroughEmulator,
                         ::testing::Values(ColorMode::kTrueColor, ColorMode::kIndexed256, ColorMode::kAnsi16),
                         [](const auto& info) {
                           switch (info.param) {
                             case ColorMode::kTrueColor: return std::string("TrueColor");
                             case ColorMode::kIndexed256: return std::string("Indexed256");
                             default: return std::string("Ansi16");
                           }
                         });

#endif  // QVL_HAVE_VTERM

}  // namespace
