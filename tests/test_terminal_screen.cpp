// The terminal screen that the Linux terminal and the Windows console's virtual-terminal route
// both draw through: the bytes on the way in and out, and when it lays the picture out again.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "status_text.h"
#include "terminal_screen.h"

namespace {

// A terminal of a given size that records what it is sent, in order, with the moments the
// leave bytes changed marked in between.
class RecordingLink : public TerminalLink {
 public:
  explicit RecordingLink(TerminalSize size) : size(size) {}
  void Write(std::string_view bytes) override { events.emplace_back(bytes); }
  TerminalSize Size() override { return size; }
  void LeaveBytesChanged(const std::string& leave) override { events.push_back("<leave>" + leave); }

  TerminalSize size;
  std::vector<std::string> events;
};

constexpr std::string_view kEnter = "\x1b[22;0t\x1b[?25l\x1b[?7l\x1b[0m";
constexpr std::string_view kRequestSize = "\x1b[8;50;80t";

std::string Leave(std::string_view below) {
  return "\x18\x1b[?2026l\x1b[0m\x1b[?7h" + std::string(below) + "\x1b[?25h\x1b[23;0t";
}

struct SizeCase {
  TerminalSize size;
  bool fits;
  std::string below;  // where the leave bytes put the cursor
};

void PrintTo(const SizeCase& c, std::ostream* os) { *os << c.size.columns << "x" << c.size.rows; }

class TerminalScreenBytes : public ::testing::TestWithParam<SizeCase> {};

// Whoever carries them, a terminal of this size gets exactly these bytes in and out: the
// back ends cannot drift apart, and the leave bytes cancel a sequence a signal cut short.
TEST_P(TerminalScreenBytes, EntryAndLeaveBytesForTheSize) {
  RecordingLink link(GetParam().size);
  TerminalScreen screen(link, ColorMode::kTrueColor);
  EXPECT_EQ(screen.LeaveBytes(), Leave("\r\n")) << "before the first layout";
  screen.Enter();
  ASSERT_GE(link.events.size(), 3u);
  EXPECT_EQ(link.events[0], std::string(kEnter) + (GetParam().fits ? "" : std::string(kRequestSize)));
  EXPECT_EQ(link.events[1], "<leave>" + Leave(GetParam().below)) << "announced before the layout is written";
  EXPECT_EQ(screen.LeaveBytes(), Leave(GetParam().below));
  EXPECT_EQ(screen.TooSmall(), !GetParam().fits);
  EXPECT_EQ(screen.ReenterBytes(), "\x1b[22;0t\x1b[?25l\x1b[?7l") << "the title pushed again, for the next pop";
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, TerminalScreenBytes,
    ::testing::Values(SizeCase{{80, 50}, true, "\x1b[50;1H\r\n"},  // the picture reaches the bottom
                      SizeCase{{100, 60}, true, "\x1b[56;1H"},     // centred, a line below it
                      SizeCase{{81, 51}, true, "\x1b[51;1H"},
                      SizeCase{{79, 50}, false, "\r\n"},           // too narrow
                      SizeCase{{120, 40}, false, "\r\n"}));        // too low

TEST(TerminalScreen, TooSmallShowsANoticeAndOnceLargeEnoughTheNewestFrame) {
  RecordingLink link({60, 20});
  TerminalScreen screen(link, ColorMode::kTrueColor);
  screen.Enter();
  EXPECT_NE(link.events.back().find("this one has 60 x 20"), std::string::npos);

  std::vector<Cell> frame(kScreenCells, 0);
  frame[0] = MakeCell('Q', kColourWhite, kColourBlack);
  link.events.clear();
  screen.Present(frame.data());
  EXPECT_TRUE(link.events.empty()) << "a picture sent to a terminal too small for it would be garbled";

  screen.RelayoutIfResized();
  EXPECT_TRUE(link.events.empty()) << "same size: nothing to lay out again";

  link.size = {80, 50};
  screen.RelayoutIfResized();
  ASSERT_EQ(link.events.size(), 2u);
  EXPECT_EQ(link.events[0], "<leave>" + Leave("\x1b[50;1H\r\n"));
  const size_t clear = link.events[1].find("\x1b[0m\x1b[2J");
  const size_t glyph = link.events[1].find('Q');
  ASSERT_NE(clear, std::string::npos);
  ASSERT_NE(glyph, std::string::npos) << "the frame presented while too small";
  EXPECT_LT(clear, glyph) << "a clear screen first";
  EXPECT_FALSE(screen.TooSmall());

  link.events.clear();
  link.size = {60, 20};
  screen.RelayoutIfResized();
  EXPECT_EQ(screen.LeaveBytes(), Leave("\r\n")) << "no picture to put the cursor under";
}

}  // namespace

namespace {

constexpr std::string_view kSyncBegin = "\x1b[?2026h";

std::vector<Cell> FrameWith(char glyph) {
  std::vector<Cell> frame(kScreenCells, MakeCell(' ', kColourWhite, kColourBlue));
  for (int i = 0; i < kScreenCells; i += 7) frame[i] = MakeCell(static_cast<uint8_t>(glyph), kColourYellow, kColourRed);
  return frame;
}

// The status line on the row below goes out in the frame's own write, before the cells, with
// the cursor and pen saved and restored around it: the picture's bytes are exactly those of a
// screen without it, for the frame it comes with and every frame after.
TEST(TerminalScreenStatusLine, OnTheRowBelowInTheFramesWriteLeavingThePicturesBytesAsTheyAre) {
  RecordingLink plainLink({100, 60}), statusLink({100, 60});
  TerminalScreen plain(plainLink, ColorMode::kTrueColor), withStatus(statusLink, ColorMode::kTrueColor);
  plain.Enter();
  withStatus.Enter();
  withStatus.SetTitle("show");
  statusLink.events.clear();
  withStatus.SetStatusLine("t 0:01.5\x1b[31m scene 2");
  ASSERT_EQ(statusLink.events.size(), 1u) << "nothing is written before the frame but the new leave bytes";
  EXPECT_EQ(statusLink.events[0], "<leave>" + Leave("\x1b[57;1H")) << "the cursor goes below the status line";
  EXPECT_TRUE(withStatus.StatusLineWaiting());

  const std::string statusRow = "\x1b" "7\x1b[56;11H\x1b[0m\x1b[80Xt 0:01.5[31m scene 2\x1b" "8";
  for (const char glyph : {'A', 'B', 'B'}) {
    SCOPED_TRACE(glyph);
    plainLink.events.clear();
    statusLink.events.clear();
    const std::vector<Cell> frame = FrameWith(glyph);
    plain.Present(frame.data());
    withStatus.Present(frame.data());
    const std::string picture = plainLink.events.empty() ? "" : plainLink.events[0];
    ASSERT_EQ(statusLink.events.size(), glyph == 'A' ? 1u : plainLink.events.size());
    if (glyph == 'A') {
      EXPECT_EQ(statusLink.events[0], std::string(kSyncBegin) + statusRow + picture.substr(kSyncBegin.size()));
    } else if (!picture.empty()) {
      EXPECT_EQ(statusLink.events[0], picture) << "an unchanged status line is not sent again";
    }
  }
  statusLink.events.clear();
  withStatus.SetStatusLine("t 0:01.5\x07\x1b[31m scene 2\x1b");  // the same, once the controls are left out
  EXPECT_FALSE(withStatus.StatusLineWaiting());
  EXPECT_TRUE(statusLink.events.empty());

  withStatus.SetStatusLine("");
  EXPECT_EQ(statusLink.events.back(), "<leave>" + Leave("\x1b[56;1H")) << "no line: the cursor right below the picture";
  withStatus.SendStatusLine();
  EXPECT_EQ(statusLink.events.back(), "\x1b" "7\x1b[56;11H\x1b[0m\x1b[80X\x1b" "8") << "the row cleared";
}

// Without a row below the picture (or too small for it), the title carries the line; it
// moves to its row, and the title back to the program's, once the terminal grows a row.
TEST(TerminalScreenStatusLine, InTheTitleWithoutARowBelowUntilTheTerminalGrowsOne) {
  RecordingLink link({80, 50});
  TerminalScreen screen(link, ColorMode::kTrueColor);
  screen.Enter();
  screen.SetTitle("show\x07");
  EXPECT_EQ(link.events.back(), "\x1b]2;show\x07");
  screen.SetStatusLine("scene 3");
  EXPECT_EQ(link.events.back(), "\x1b]2;scene 3 - show\x07");
  EXPECT_FALSE(screen.StatusLineWaiting());
  const size_t written = link.events.size();
  screen.SetStatusLine("scene 3");
  EXPECT_EQ(link.events.size(), written) << "the same title written again";

  link.events.clear();
  link.size = {80, 51};
  screen.RelayoutIfResized();
  ASSERT_GE(link.events.size(), 3u);
  EXPECT_EQ(link.events[0], "\x1b]2;show\x07") << "the title as the program set it";
  EXPECT_EQ(link.events[1], "<leave>" + Leave("\x1b[51;1H\r\n")) << "below the line at the bottom: one line scrolls";
  EXPECT_NE(link.events[2].find("\x1b[2J\x1b" "7\x1b[51;1H\x1b[0m\x1b[80Xscene 3\x1b" "8"), std::string::npos)
      << "the line drawn in the layout's write, after the clear";

  link.size = {60, 20};
  screen.RelayoutIfResized();
  EXPECT_EQ(link.events[3], "\x1b]2;scene 3 - show\x07") << "too small: back into the title";
  screen.SetStatusLine("");
  EXPECT_EQ(link.events.back(), "\x1b]2;show\x07");
}

TEST(StatusText, LeavesOutControlsAndMalformedBytesAndCutsAtTheColumns) {
  EXPECT_EQ(StatusText("a\x1b[31mb\tc\x7f\x9b\xc2\x9b\xc3(d\xe2\x82", 80), "a[31mbc(d");
  EXPECT_EQ(StatusText("t \xc3\xa9 \xe2\x99\xaa", 80), "t \xc3\xa9 \xe2\x99\xaa");
  EXPECT_EQ(StatusText(std::string(100, 'x'), 80), std::string(80, 'x'));
  // Wide characters take two columns: the fifth of these would need columns 9 and 10 of 9.
  EXPECT_EQ(StatusText("\xe6\x97\xa5\xe6\x97\xa5\xe6\x97\xa5\xe6\x97\xa5\xe6\x97\xa5", 9),
            "\xe6\x97\xa5\xe6\x97\xa5\xe6\x97\xa5\xe6\x97\xa5");
}

}  // namespace
