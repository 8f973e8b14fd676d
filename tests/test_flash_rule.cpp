#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <functional>
#include <vector>

#include "demo/flash_guard.h"
#include "demo/flash_rule.h"
#include "flash_dating_reader.h"
#include "quorvel4/font.h"

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

// The light of a frame after another (nullptr: a first frame).
FrameLight Light(const Frame& frame, const Frame* before = nullptr) {
  return MeasureLight(frame.data(), before ? before->data() : nullptr);
}

// Runs `seconds` of `frameAt(time)` at 60 frames a second through the analyser: per reading,
// the worst frame (a failing one first, then the most transitions in one second).
std::array<FlashCount, kFlashReadings> Analyse(double seconds, const std::function<Frame(int32_t)>& frameAt) {
  FlashCounter counter;
  std::array<FlashCount, kFlashReadings> worst{};
  Frame before;
  for (int k = 0; FrameTime(k) <= seconds * 1000; ++k) {
    const int32_t t = FrameTime(k);
    const Frame frame = frameAt(t);
    const FlashVerdict verdict = counter.Take(t, Light(frame, k ? &before : nullptr));
    for (int r = 0; r < kFlashReadings; ++r) {
      const FlashCount& c = verdict.readings[r];
      if (c.IsWorseThan(worst[r])) worst[r] = c;
    }
    before = frame;
  }
  return worst;
}

const FlashCount& Established(const std::array<FlashCount, kFlashReadings>& r) { return r[0]; }
const FlashCount& Peaks(const std::array<FlashCount, kFlashReadings>& r) { return r[1]; }

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

TEST(FlashRule, CellLightAndItsChangeCountTheGlyphsPixels) {
  // A full block in white and a blank on a white background are the same light; a light
  // shade lies in between, by the share of its lit pixels.
  const Frame block = Screen(kColourWhite), blank(kScreenCells, MakeCell(' ', kColourBlack, kColourWhite));
  const Frame light(kScreenCells, MakeCell(0xB0, kColourWhite, kColourBlack));
  const Frame medium(kScreenCells, MakeCell(0xB1, kColourWhite, kColourBlack));
  const int lum = static_cast<int>(LightKind::kLuminance), red = static_cast<int>(LightKind::kRed);
  EXPECT_EQ(Light(block).sums[lum], Light(blank).sums[lum]);
  const FrameLight shade = Light(light);
  EXPECT_GT(shade.sums[lum][0], Light(block).sums[lum][0] / 8);
  EXPECT_LT(shade.sums[lum][0], Light(block).sums[lum][0] / 2);
  // A quarter holds a quarter of an even screen's light; every pixel of a first frame is new.
  EXPECT_EQ(Light(block).sums[lum][1] * 4, Light(block).sums[lum][0]);
  EXPECT_EQ(Light(block).changed[lum][0], kScreenCells * 96);
  // A glyph and its inverse in swapped colours draw the same pixels: nothing changed.
  EXPECT_EQ(Light(blank, &block).changed[lum][0], 0);
  // From a light to a medium shade, the pixels whose lit bit differs changed.
  int differ = 0;
  for (int row = 0; row < 12; ++row) differ += std::popcount(static_cast<unsigned>(Glyph(0xB0)[row] ^ Glyph(0xB1)[row]));
  EXPECT_EQ(Light(medium, &light).changed[lum][0], differ * kScreenCells);
  // Red changes only where a pixel turns red or stops being red.
  EXPECT_EQ(Light(Screen(kColourWhite, kColourRed, 10, 10), &block).changed[red][0], 100 * 96);
  EXPECT_EQ(Light(Screen(kColourBlack), &block).changed[red][0], 0);
}

TEST(FlashRule, AreasAreTheScreenAndEveryQuarterAndFieldAtEveryCell) {
  EXPECT_EQ(kFlashAreas, 1 + 41 * 26 + 54 * 34);
  EXPECT_EQ(FlashAreaName(0), "whole screen");
  EXPECT_EQ(FlashAreaName(1), "quarter at columns 0-39, rows 0-24");
  EXPECT_EQ(FlashAreaName(2), "quarter at columns 1-40, rows 0-24");
  EXPECT_EQ(FlashAreaName(kQuarterAreas), "quarter at columns 40-79, rows 25-49");
  EXPECT_EQ(FlashAreaName(kQuarterAreas + 1), "field at columns 0-26, rows 0-16");
  EXPECT_EQ(FlashAreaName(kFlashAreas - 1), "field at columns 53-79, rows 33-49");
  EXPECT_EQ(FlashAreaShortName(kFlashAreas - 1), "field 53,33");
  for (int area = 1; area < kFlashAreas; ++area) {
    const CellArea a = FlashArea(area);
    EXPECT_TRUE(a.width * a.height * 4 == kScreenCells || (a.width == 27 && a.height == 17)) << area;
    EXPECT_LE(a.x + a.width, kScreenWidth);
    EXPECT_LE(a.y + a.height, kScreenHeight);
  }
}

TEST(FlashRule, FullScreenFlickerFailsAboveThreeFlashesAndWhenSustained) {
  const auto twoHertz = Flicker(2, Screen(kColourWhite), Screen(kColourBlack));
  const auto slow = Analyse(3, twoHertz);
  for (const FlashCount& c : slow) {
    EXPECT_EQ(c.transitions, 4);  // two flashes a second pass, for three seconds
    EXPECT_FALSE(c.fails);
    EXPECT_EQ(c.area, 0);
  }
  // The same for six seconds: 4 transitions a second over 4 of 5 seconds fail the established
  // reading, by the sustained rule alone.
  const auto sustained = Analyse(6, twoHertz);
  EXPECT_TRUE(Established(sustained).fails);
  EXPECT_TRUE(Established(sustained).sustained);
  EXPECT_FALSE(Peaks(sustained).fails);
  const auto fast = Analyse(3, Flicker(5, Screen(kColourWhite), Screen(kColourBlack)));
  for (const FlashCount& c : fast) {
    EXPECT_EQ(c.transitions, 10);  // five flashes a second fail
    EXPECT_TRUE(c.fails);
    EXPECT_FALSE(c.sustained);
    EXPECT_EQ(c.kind, LightKind::kLuminance);
  }
}

TEST(FlashRule, AFlickerCountsInTheAreasItFillsEnoughOf) {
  // 20 x 12 cells: more than half of a field, 24 % of a quarter, 6 % of the screen.
  const auto patch = Analyse(2, Flicker(10, Screen(kColourBlack, kColourWhite, 20, 12), Screen(kColourBlack)));
  EXPECT_EQ(Established(patch).transitions, 20);
  EXPECT_EQ(FlashArea(Established(patch).area).width, kFieldWidth);
  EXPECT_EQ(FlashArea(Established(patch).area).x, 0);
  // 8 x 6 cells change 10 % of a field's pixels: too few for the established reading, though
  // they move the field's mean by 0.1, which the peaks see.
  const auto small = Analyse(2, Flicker(10, Screen(kColourBlack, kColourWhite, 8, 6), Screen(kColourBlack)));
  EXPECT_EQ(Established(small).transitions, 0);
  EXPECT_TRUE(Peaks(small).fails);
  // 5 x 5 cells move no area's mean by 0.1.
  for (const FlashCount& c : Analyse(2, Flicker(10, Screen(kColourBlack, kColourWhite, 5, 5), Screen(kColourBlack))))
    EXPECT_EQ(c.transitions, 0);
}

TEST(FlashRule, ASmallReversalSplitsARiseOnlyForTheEstablishedReading) {
  // Black, green (0.29), light red (0.28), light grey (0.40): the dip ends the first
  // accumulation, and the next rise is a step of its own; between peaks it is one rise.
  const Frame steps[] = {Screen(kColourBlack), Screen(kColourGreen), Screen(kColourLightRed), Screen(kColourLightGrey)};
  const auto rise = [&](int32_t t) { return steps[std::min(3, t / 200)]; };
  const auto read = Analyse(1, rise);
  EXPECT_EQ(Established(read).transitions, 2);
  EXPECT_EQ(Peaks(read).transitions, 1);
}

TEST(FlashRule, FadesAndBrightFlickerAreNotFlashes) {
  // Black to white and back through the grey levels over four seconds: one rise, one fall.
  const Frame levels[] = {Screen(kColourBlack), Screen(kColourDarkGrey), Screen(kColourLightGrey), Screen(kColourWhite)};
  const auto fade = [&](int32_t t) { return levels[t < 2000 ? t * 4 / 2000 : std::max(0, 3 - (t - 2000) * 4 / 2000)]; };
  for (const FlashCount& c : Analyse(4, fade)) EXPECT_LE(c.transitions, 1);
  // Light cyan (0.81) and white: the darker side is not below 0.8, so no flash at any rate.
  for (const FlashCount& c : Analyse(2, Flicker(10, Screen(kColourWhite), Screen(kColourLightCyan))))
    EXPECT_EQ(c.transitions, 0);
  // Light green (0.74) and white differ as much, but the darker side is below 0.8.
  for (const FlashCount& c : Analyse(2, Flicker(10, Screen(kColourWhite), Screen(kColourLightGreen)))) EXPECT_TRUE(c.fails);
}

TEST(FlashRule, RedFlickerCountsWhereLuminanceDoesNot) {
  // Red (0.085) and dark grey (0.091) are nearly the same luminance, but red is saturated.
  for (const FlashCount& c : Analyse(2, Flicker(5, Screen(kColourRed), Screen(kColourDarkGrey)))) {
    EXPECT_EQ(c.transitions, 10);
    EXPECT_EQ(c.kind, LightKind::kRed);
  }
}

namespace {

// The frames of `frameAt` at 60 a second through a guard, read by the analyser: the most
// transitions any reading found in one second, whether any frame failed, and the frames shown.
struct Guarded {
  int most = 0, presented = 0, held = 0;
  bool failed = false;
};
Guarded Guard(double seconds, const std::function<Frame(int32_t)>& frameAt) {
  FlashGuard guard;
  FlashCounter analyser;
  Guarded result;
  Frame before;
  for (int k = 0; FrameTime(k) <= seconds * 1000; ++k) {
    const int32_t t = FrameTime(k);
    const Frame drawn = frameAt(t);
    Frame shown = drawn;
    // A frame is shown as drawn or not at all: held, the screen keeps what it showed.
    if (!guard.Filter(t, shown.data())) {
      EXPECT_EQ(shown, drawn);
      ++result.presented;
    } else {
      EXPECT_EQ(shown, before);
    }
    const FlashVerdict verdict = analyser.Take(t, Light(shown, k ? &before : nullptr));
    result.failed = result.failed || verdict.Fails();
    for (const FlashCount& c : verdict.readings) result.most = std::max(result.most, c.transitions);
    before = shown;
  }
  result.held = guard.HeldFrames();
  return result;
}

}  // namespace

TEST(FlashGuard, KeepsEveryAreaWithinTheRuleWithTheShowsOwnFrames) {
  // 15 Hz, white against black with a red quarter: three flashes a second still get through.
  const Guarded fast = Guard(3, Flicker(15, Screen(kColourWhite), Screen(kColourBlack, kColourRed, 40, 25)));
  EXPECT_FALSE(fast.failed);
  EXPECT_EQ(fast.most, kTooManyTransitions - 1);
  EXPECT_GT(fast.presented, 0);
  EXPECT_EQ(fast.held + fast.presented, 181);
  // Two flashes a second pass for a while, then the sustained rule slows them; a longer strobe
  // in a field alone is held as well.
  const Guarded sustained = Guard(12, Flicker(2, Screen(kColourWhite), Screen(kColourBlack)));
  EXPECT_FALSE(sustained.failed);
  EXPECT_GT(sustained.held, 0);
  const Guarded field = Guard(8, Flicker(12, Screen(kColourBlack, kColourWhite, 27, 17), Screen(kColourBlack)));
  EXPECT_FALSE(field.failed);
  EXPECT_GT(field.held, 0);
  // Within the rule the guard holds nothing.
  EXPECT_EQ(Guard(3, Flicker(2, Screen(kColourWhite), Screen(kColourBlack))).held, 0);
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
