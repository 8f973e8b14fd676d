// The terminal screen that the Linux terminal and the Windows console's virtual-terminal route
// both draw through: the bytes on the way in and out, and when it lays the picture out again.
#include <gtest/gtest.h>

#include <string>
#include <vector>

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
  EXPECT_EQ(screen.ReenterBytes(), "\x1b[?25l\x1b[?7l");
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
