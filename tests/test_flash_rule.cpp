#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "demo/flash_guard.h"
#include "demo/flash_rule.h"
#include "flash_dating_reader.h"

namespace {

using Frame = std::vector<Cell>;

// A screen of full blocks in one colour, with an optional rectangle of cells in another.
Frame Screen(unsigned colour, unsigned patchColour = 0, int patchWidth = 0, int patchHeight = 0) {
  Frame cells(kScreenCells, MakeCell(0xDB, colour, 0));
  for (int y = 0; y < patchHeight; ++y)
    for (int x = 0; x < patchWidth; ++x) cells[y * kScreenWidth + x] = MakeCell(0xDB, patchColour, 0);
  return cells;
}

// Frame k of 60 a second shows the time nearest k / 60 s, as the capture tool times them.
int32_t FrameTime(int k) { return (k * 2000 + 60) / 120; }

// Runs `frames` seconds of `frameAt(time)` at 60 frames a second through the analyser; the
// most transitions in any one second, and where.
FlashCount Analyse(double seconds, const std::function<Frame(int32_t)>& frameAt) {
  FlashCounter counter;
  FlashCount worst;
  for (int k = 0; FrameTime(k) <= seconds * 1000; ++k) {
    const int32_t t = FrameTime(k);
    const FlashCount count = counter.Take(t, MeasureLight(frameAt(t).data()));
    if (count.transitions > worst.transitions) worst = count;
  }
  return worst;
}

// A square wave between two frames, `hertz` cycles a second.
std::function<Frame(int32_t)> Flicker(double hertz, Frame on, Frame off) {
  return [=](int32_t t) { return static_cast<int64_t>(t * hertz * 2 / 1000) % 2 == 0 ? off : on; };
}

}  // namespace

TEST(FlashRule, PaletteLightFollowsTheSrgbCurve) {
  EXPECT_EQ(ColourLuminance(kColourBlack), 0);
  EXPECT_EQ(ColourLuminance(kColourWhite), 1000000);
  EXPECT_EQ(ColourLuminance(kColourDarkGrey), 90842);    // 0x55 on every channel
  EXPECT_EQ(ColourLuminance(kColourLightGrey), 401978);  // 0xAA
  EXPECT_EQ(ColourLuminance(kColourYellow), 934359);
  // Only the plain red is a saturated red (light red is 60 % red, brown 67 %).
  for (unsigned colour = 0; colour < 16; ++colour)
    EXPECT_EQ(ColourRedValue(colour) != 0, colour == kColourRed) << colour;
  EXPECT_EQ(ColourRedValue(kColourRed), 213333);  // (2/3) x 320
}

TEST(FlashRule, CellLightCountsTheGlyphsPixels) {
  // A full block in white and a blank on a white background are the same light; a light
  // shade lies in between, by the share of its lit pixels.
  const FrameLight block = MeasureLight(Screen(kColourWhite).data());
  const FrameLight blank = MeasureLight(Frame(kScreenCells, MakeCell(' ', kColourBlack, kColourWhite)).data());
  const FrameLight shade = MeasureLight(Frame(kScreenCells, MakeCell(0xB0, kColourWhite, kColourBlack)).data());
  const int kind = static_cast<int>(LightKind::kLuminance);
  EXPECT_EQ(block.sums[kind], blank.sums[kind]);
  EXPECT_GT(shade.sums[kind][0], block.sums[kind][0] / 8);
  EXPECT_LT(shade.sums[kind][0], block.sums[kind][0] / 2);
  // A window is a quarter of the screen, so it holds a quarter of an even screen's light.
  EXPECT_EQ(block.sums[kind][7] * 4, block.sums[kind][0]);
}

TEST(FlashRule, AreasAreTheScreenAndOverlappingQuarters) {
  EXPECT_EQ(FlashAreaName(0), "whole screen");
  EXPECT_EQ(FlashAreaName(1), "columns 0-39, rows 0-24");
  EXPECT_EQ(FlashAreaName(kFlashAreas - 1), "columns 40-79, rows 25-49");
  for (int area = 1; area < kFlashAreas; ++area) {
    const CellArea a = FlashArea(area);
    EXPECT_EQ(a.width * a.height * 4, kScreenCells);
    EXPECT_LE(a.x + a.width, kScreenWidth);
    EXPECT_LE(a.y + a.height, kScreenHeight);
  }
}

TEST(FlashRule, FullScreenFlickerAtTwoAndFiveHertz) {
  const FlashCount slow = Analyse(3, Flicker(2, Screen(kColourWhite), Screen(kColourBlack)));
  EXPECT_EQ(slow.transitions, 4);  // two flashes a second pass
  EXPECT_EQ(slow.area, 0);
  const FlashCount fast = Analyse(3, Flicker(5, Screen(kColourWhite), Screen(kColourBlack)));
  EXPECT_EQ(fast.transitions, 10);  // five flashes a second fail
  EXPECT_GE(fast.transitions, kTooManyTransitions);
  EXPECT_EQ(fast.kind, LightKind::kLuminance);
}

TEST(FlashRule, OnlyAFlickerLargeEnoughForAnAreaCounts) {
  // 8 x 6 cells are 5 % of a window: white on and off moves its light by only 0.05.
  EXPECT_EQ(Analyse(2, Flicker(10, Screen(kColourBlack, kColourWhite, 8, 6), Screen(kColourBlack))).transitions, 0);
  // 20 x 12 cells are 24 % of the top-left window but 6 % of the screen: a window fails.
  const FlashCount patch = Analyse(2, Flicker(10, Screen(kColourBlack, kColourWhite, 20, 12), Screen(kColourBlack)));
  EXPECT_EQ(patch.transitions, 20);
  EXPECT_NE(patch.area, 0);
  EXPECT_EQ(FlashArea(patch.area).x, 0);
}

TEST(FlashRule, FadesAndBrightFlickerAreNotFlashes) {
  // Black to white and back through the grey levels over four seconds: one rise, one fall.
  const Frame levels[] = {Screen(kColourBlack), Screen(kColourDarkGrey), Screen(kColourLightGrey), Screen(kColourWhite)};
  const auto fade = [&](int32_t t) { return levels[t < 2000 ? t * 4 / 2000 : std::max(0, 3 - (t - 2000) * 4 / 2000)]; };
  EXPECT_LE(Analyse(4, fade).transitions, 1);
  // Light cyan (0.81) and white: the darker side is not below 0.8, so no flash at any rate.
  EXPECT_EQ(Analyse(2, Flicker(10, Screen(kColourWhite), Screen(kColourLightCyan))).transitions, 0);
  // Light green (0.74) and white differ as much, but the darker side is below 0.8.
  EXPECT_GE(Analyse(2, Flicker(10, Screen(kColourWhite), Screen(kColourLightGreen))).transitions, kTooManyTransitions);
}

TEST(FlashRule, RedFlickerCountsWhereLuminanceDoesNot) {
  // Red (0.085) and dark grey (0.091) are nearly the same luminance, but red is saturated.
  const FlashCount red = Analyse(2, Flicker(5, Screen(kColourRed), Screen(kColourDarkGrey)));
  EXPECT_EQ(red.transitions, 10);
  EXPECT_EQ(red.kind, LightKind::kRed);
}

TEST(FlashGuard, KeepsEveryAreaAtThreeFlashesOrFewerWithTheShowsOwnFrames) {
  const auto frameAt = Flicker(15, Screen(kColourWhite), Screen(kColourBlack, kColourRed, 40, 25));
  FlashGuard guard;
  FlashCounter analyser;
  int worst = 0, presented = 0;
  for (int k = 0; FrameTime(k) <= 5000; ++k) {
    const int32_t t = FrameTime(k);
    const Frame drawn = frameAt(t);
    Frame shown = drawn;
    const bool held = guard.Filter(t, shown.data());
    // A frame is shown as drawn or not at all: held, the screen keeps what it showed.
    if (!held) {
      EXPECT_EQ(shown, drawn);
      ++presented;
    }
    worst = std::max(worst, analyser.Take(t, MeasureLight(shown.data())).transitions);
  }
  EXPECT_LT(worst, kTooManyTransitions);
  EXPECT_EQ(worst, kTooManyTransitions - 1);  // three flashes a second still get through
  EXPECT_GT(presented, 0);
  EXPECT_EQ(guard.HeldFrames() + presented, 301);

  // Within the limit the guard holds nothing.
  FlashGuard calm;
  const auto slow = Flicker(2, Screen(kColourWhite), Screen(kColourBlack));
  for (int k = 0; FrameTime(k) <= 3000; ++k) {
    Frame frame = slow(FrameTime(k));
    EXPECT_FALSE(calm.Filter(FrameTime(k), frame.data()));
  }
}

namespace {

// The guard's frames of `frameAt` at 60 frames a second, read by the second reader.
FlashDatingReader::Reading ReadGuarded(double seconds, const std::function<Frame(int32_t)>& frameAt, int* held) {
  FlashGuard guard;
  FlashDatingReader reader;
  for (int k = 0; FrameTime(k) <= seconds * 1000; ++k) {
    Frame frame = frameAt(FrameTime(k));
    guard.Filter(FrameTime(k), frame.data());
    reader.Take(FrameTime(k), frame.data());
  }
  *held = guard.HeldFrames();
  return reader.Read();
}

}  // namespace

// A rise that passes the step early and reaches its peak half a second later, then a fast
// flicker: one reader dates the rise where it passes the step, another where it peaks, and
// neither may find a fourth flash in any second.
TEST(FlashGuard, HoldsWhereverAReaderDatesATransition) {
  const Frame black = Screen(kColourBlack), grey = Screen(kColourLightGrey), white = Screen(kColourWhite);
  const auto frameAt = [&](int32_t t) {
    if (t < 200) return black;
    if (t < 700) return grey;  // the rise passes the step at 0.2 s
    if (t < 1200) return white;  // and peaks at 0.7 s
    return (t - 1200) / 50 % 2 == 0 ? black : white;  // ten flashes a second
  };
  int held = 0;
  const FlashDatingReader::Reading reading = ReadGuarded(4, frameAt, &held);
  for (int dating = 0; dating < FlashDatingReader::kDatings; ++dating) {
    EXPECT_LT(reading.most[dating], kTooManyTransitions) << "dating " << dating;
    EXPECT_EQ(reading.windowsOver[dating], 0) << "dating " << dating;
  }
  // Three flashes a second still get through, and the flicker is not simply frozen.
  EXPECT_EQ(reading.most[FlashDatingReader::kAtCompletion], kTooManyTransitions - 1);
  EXPECT_GT(held, 0);
  EXPECT_LT(held, 150);
}
