// The established reading of flashes (tests/flash_established_reader.h) on frames built here,
// at 60 frames a second, with answers worked out by hand from the palette's luminances:
// black 0, blue 0.029, red 0.085, dark grey 0.091, magenta 0.114, brown 0.150, light blue
// 0.156, green 0.288, light green 0.741, light cyan 0.807, yellow 0.934, white 1.
#include <gtest/gtest.h>

#include <bit>
#include <functional>
#include <memory>
#include <set>
#include <vector>

#include "flash_established_reader.h"

namespace {

using Frame = std::vector<Cell>;
using Reader = FlashEstablishedReader;
constexpr Reader::Kind kLum = Reader::kLuminance, kRed = Reader::kRed;

// Frame k of 60 a second shows the time nearest k / 60 s, as the capture tool times them.
int32_t FrameTime(int k) { return (k * 2000 + 60) / 120; }

// A cell showing one colour whatever its glyph.
Cell Solid(unsigned colour) { return MakeCell(' ', colour, colour); }

Frame Filled(unsigned colour) { return Frame(kScreenCells, Solid(colour)); }

// `base` with the cells of the rectangle x, y, w, h in `patch`.
Frame Patched(unsigned base, unsigned patch, int x, int y, int w, int h) {
  Frame f = Filled(base);
  for (int row = y; row < y + h; ++row)
    for (int column = x; column < x + w; ++column) f[row * kScreenWidth + column] = Solid(patch);
  return f;
}

// Whether frame k of a flicker with `perSecond` transitions a second shows its second state.
bool Flipped(int k, int perSecond) { return k * perSecond / 60 % 2 == 1; }

// Reads frames 0 to `last`.
Reader::Reading ReadFrames(int last, const std::function<Frame(int)>& frameAt) {
  auto reader = std::make_unique<Reader>();
  for (int k = 0; k <= last; ++k) reader->Take(FrameTime(k), frameAt(k).data());
  return reader->Read();
}

// A whole-screen flicker between two colours for `seconds`.
Reader::Reading Flicker(unsigned from, unsigned to, int perSecond, int seconds) {
  return ReadFrames(60 * seconds, [&](int k) { return Filled(Flipped(k, perSecond) ? to : from); });
}

// A flicker of white on black in one rectangle, eight transitions a second for two seconds.
Reader::Reading PatchFlicker(int x, int y, int w, int h) {
  return ReadFrames(120, [&](int k) { return Patched(kColourBlack, Flipped(k, 8) ? kColourWhite : kColourBlack, x, y, w, h); });
}

// Frames that step through `colours`, the screen taking colours[i] from frame `at[i]` on.
Reader::Reading Steps(const std::vector<unsigned>& colours, const std::vector<int>& at, int last) {
  return ReadFrames(last, [&](int k) {
    unsigned colour = colours[0];
    for (size_t i = 0; i < at.size(); ++i)
      if (k >= at[i]) colour = colours[i];
    return Filled(colour);
  });
}

std::vector<int32_t> Times(std::initializer_list<int> frames) {
  std::vector<int32_t> times;
  for (int k : frames) times.push_back(FrameTime(k));
  return times;
}

int Most(const Reader::Reading& r, Reader::Kind kind) {
  return std::max({r.most[kind][Reader::kScreen], r.most[kind][Reader::kQuarter], r.most[kind][Reader::kField]});
}

const std::set<int>& Failing(const Reader::Reading& r, Reader::Kind kind, Reader::Failure failure) {
  return r.secondsFailing[kind][failure];
}

}  // namespace

// Black and white over the whole screen: six transitions a second are allowed, eight fail.
// At 3 Hz each transition comes 1000 ms after the one six before it, so a window that took in
// both ends of a second would count seven.
TEST(FlashEstablishedReader, SixTransitionsASecondPassAndEightFail) {
  const Reader::Reading six = Flicker(kColourBlack, kColourWhite, 6, 3);
  EXPECT_EQ(six.screenTransitions[kLum].size(), 18u);
  EXPECT_EQ(six.screenTransitions[kLum][0], 167);
  EXPECT_EQ(six.most[kLum][Reader::kScreen], 6);
  EXPECT_EQ(six.mostArea[kLum].shape, Reader::kScreen);
  EXPECT_TRUE(Failing(six, kLum, Reader::kFlashFailure).empty());
  EXPECT_TRUE(Failing(six, kLum, Reader::kExtendedFailure).empty());
  EXPECT_EQ(Most(six, kRed), 0);

  // The seventh transition comes at 883 ms; from then on there are seven or eight in every second.
  const Reader::Reading eight = Flicker(kColourBlack, kColourWhite, 8, 6);
  EXPECT_EQ(eight.most[kLum][Reader::kScreen], 8);
  EXPECT_EQ(Failing(eight, kLum, Reader::kFlashFailure), (std::set<int>{0, 1, 2, 3, 4, 5, 6}));
  // Seven and more is above the band: it never adds to the band time.
  EXPECT_TRUE(Failing(eight, kLum, Reader::kExtendedFailure).empty());
}

// Five transitions a second (2.5 flashes) pass the one-second rule but not when kept up for
// four of five seconds. From the fourth transition (frame 48, 800 ms) each frame is in band,
// so the band time at frame k is t(k) - t(47) = t(k) - 783: 4000 ms at frame 287, 4783 ms.
TEST(FlashEstablishedReader, FourToSixASecondKeptUpFails) {
  // Flickering to frame 299 (the last transition at 4800 ms), then still: four transitions a
  // second are left until 5200 ms, so seconds 4 and 5 fail and 6 no longer does.
  const Reader::Reading kept = ReadFrames(420, [](int k) { return Filled(Flipped(std::min(k, 299), 5) ? kColourWhite : kColourBlack); });
  EXPECT_EQ(kept.most[kLum][Reader::kScreen], 5);
  EXPECT_TRUE(Failing(kept, kLum, Reader::kFlashFailure).empty());
  EXPECT_EQ(Failing(kept, kLum, Reader::kExtendedFailure), (std::set<int>{4, 5}));

  // Three seconds of it: in band from 800 to 3383 ms, 2600 ms in all.
  const Reader::Reading shorter = ReadFrames(360, [](int k) { return Filled(Flipped(std::min(k, 180), 5) ? kColourWhite : kColourBlack); });
  EXPECT_EQ(shorter.most[kLum][Reader::kScreen], 5);
  EXPECT_TRUE(Failing(shorter, kLum, Reader::kExtendedFailure).empty());

  // Three seconds, two still, three more: 5200 ms in band, but never 4000 of any five seconds.
  const Reader::Reading twice = ReadFrames(480, [](int k) {
    return Filled(Flipped(k <= 180 || k >= 300 ? k : 180, 5) ? kColourWhite : kColourBlack);
  });
  EXPECT_EQ(twice.screenTransitions[kLum].size(), 30u);
  EXPECT_TRUE(Failing(twice, kLum, Reader::kExtendedFailure).empty());
}

// A change counts only when a quarter of the area's pixels changed. A field is 27 x 17 = 459
// cells (a quarter is 114.75), a quarter of the screen 1000 (250), the screen 4000 (1000).
TEST(FlashEstablishedReader, AnAreaSeesAChangeOfAQuarterOfItsPixels) {
  // 100 cells: under a quarter of every area, though a field's mean moves by 0.22.
  const Reader::Reading small = PatchFlicker(30, 20, 10, 10);
  EXPECT_EQ(Most(small, kLum), 0);
  EXPECT_TRUE(Failing(small, kLum, Reader::kFlashFailure).empty());

  // 144 cells: a quarter of the fields around them, not of any quarter of the screen.
  const Reader::Reading fieldSized = PatchFlicker(30, 20, 12, 12);
  EXPECT_EQ(fieldSized.most[kLum][Reader::kField], 8);
  EXPECT_EQ(fieldSized.most[kLum][Reader::kQuarter], 0);
  EXPECT_EQ(fieldSized.most[kLum][Reader::kScreen], 0);
  EXPECT_FALSE(Failing(fieldSized, kLum, Reader::kFlashFailure).empty());

  // A whole field: 46 % of the quarters around it, 11 % of the screen.
  const Reader::Reading field = PatchFlicker(10, 10, Reader::kFieldWidth, Reader::kFieldHeight);
  EXPECT_EQ(field.most[kLum][Reader::kField], 8);
  EXPECT_EQ(field.most[kLum][Reader::kQuarter], 8);
  EXPECT_EQ(field.most[kLum][Reader::kScreen], 0);
}

// The last offsets are areas too. In the bottom right corner 11 x 11 cells are a quarter of
// the field at 53, 33 only (the one at 52, 32 holds 100 of them); 16 x 16 cells are a quarter
// of the screen's quarter at 40, 25 only (the one at 40, 24 holds 240).
TEST(FlashEstablishedReader, TheAreasReachTheScreensEdges) {
  const Reader::Reading fieldCorner = PatchFlicker(69, 39, 11, 11);
  EXPECT_EQ(fieldCorner.most[kLum][Reader::kField], 8);
  EXPECT_EQ(fieldCorner.most[kLum][Reader::kQuarter], 0);
  const Reader::Area f = fieldCorner.mostArea[kLum];
  EXPECT_EQ(f.shape, Reader::kField);
  EXPECT_EQ(std::vector<int>({f.x, f.y, f.w, f.h}), std::vector<int>({53, 33, 27, 17}));

  const Reader::Reading quarterCorner = PatchFlicker(64, 34, 16, 16);
  EXPECT_EQ(quarterCorner.most[kLum][Reader::kQuarter], 8);
  const Reader::Area q = quarterCorner.mostArea[kLum];
  EXPECT_EQ(q.shape, Reader::kQuarter);
  EXPECT_EQ(std::vector<int>({q.x, q.y, q.w, q.h}), std::vector<int>({40, 25, 40, 25}));
}

// The pixels are the glyph's: a character lighting under a quarter of its cell changes under a
// quarter of the screen's pixels, however much it moves the mean; one lighting more does.
TEST(FlashEstablishedReader, ThePixelsAreTheGlyphs) {
  int sparse = -1, dense = -1;
  for (int code = 0; code < 256; ++code) {
    int lit = 0;
    for (int row = 0; row < kGlyphHeight; ++row) lit += std::popcount(Glyph(static_cast<unsigned char>(code))[row]);
    if (lit >= 10 && lit <= 23 && sparse < 0) sparse = code;  // a mean step of 0.10 to 0.24
    if (lit >= 30 && lit <= 60 && dense < 0) dense = code;
  }
  ASSERT_GE(sparse, 0);
  ASSERT_GE(dense, 0);
  const auto glyphFlicker = [](int code) {
    return ReadFrames(120, [code](int k) {
      return Frame(kScreenCells, MakeCell(static_cast<uint8_t>(code), Flipped(k, 8) ? kColourWhite : kColourBlack, kColourBlack));
    });
  };
  EXPECT_EQ(Most(glyphFlicker(sparse), kLum), 0) << "code " << sparse;
  EXPECT_EQ(glyphFlicker(dense).most[kLum][Reader::kScreen], 8) << "code " << dense;
}

// Changes of one sign add up for a second: black, blue, red, magenta (+0.029, +0.056, +0.029)
// reach 0.1 at the third step within a second, not when the steps are 667 ms apart.
TEST(FlashEstablishedReader, SmallStepsAddUpWithinASecond) {
  const std::vector<unsigned> colours = {kColourBlack, kColourBlue, kColourRed, kColourMagenta};
  EXPECT_EQ(Steps(colours, {0, 10, 20, 30}, 60).screenTransitions[kLum], Times({30}));
  EXPECT_TRUE(Steps(colours, {0, 40, 80, 120}, 180).screenTransitions[kLum].empty());
}

// A step back starts a new run: black, brown, magenta, green (+0.150, -0.036, +0.173) is one
// rise read as two transitions, where black, brown, light blue, green (+0.150, +0.006, +0.131)
// is one.
TEST(FlashEstablishedReader, AStepBackSplitsARise) {
  EXPECT_EQ(Steps({kColourBlack, kColourBrown, kColourMagenta, kColourGreen}, {0, 10, 20, 30}, 60).screenTransitions[kLum],
            Times({10, 30}));
  EXPECT_EQ(Steps({kColourBlack, kColourBrown, kColourLightBlue, kColourGreen}, {0, 10, 20, 30}, 60).screenTransitions[kLum],
            Times({10}));
}

// Black, brown, green (+0.150, +0.137): within a second the second step only carries the run
// further; once the first has dropped out of the run, the second reaches the threshold anew.
TEST(FlashEstablishedReader, ARunForgetsChangesOlderThanASecond) {
  const std::vector<unsigned> colours = {kColourBlack, kColourBrown, kColourGreen};
  EXPECT_EQ(Steps(colours, {0, 10, 40}, 100).screenTransitions[kLum], Times({10}));
  EXPECT_EQ(Steps(colours, {0, 10, 80}, 140).screenTransitions[kLum], Times({10, 80}));
}

// Luminance transitions need the darker frame below 0.8, whichever of the two it is.
TEST(FlashEstablishedReader, BrightFlickerDoesNotCount) {
  EXPECT_EQ(Most(Flicker(kColourLightCyan, kColourWhite, 8, 2), kLum), 0);
  EXPECT_EQ(Most(Flicker(kColourYellow, kColourWhite, 8, 2), kLum), 0);
  // Light green is darker: the rises count as well as the falls.
  const Reader::Reading green = Flicker(kColourLightGreen, kColourWhite, 8, 2);
  EXPECT_EQ(green.most[kLum][Reader::kScreen], 8);
  EXPECT_FALSE(Failing(green, kLum, Reader::kFlashFailure).empty());
}

// Red against dark grey hardly moves the luminance but is a red flash; light red and
// magenta are not saturated red (60 % and 50 % of their levels red).
TEST(FlashEstablishedReader, SaturatedRedFlashesOnItsOwn) {
  const Reader::Reading red = Flicker(kColourDarkGrey, kColourRed, 8, 2);
  EXPECT_EQ(Most(red, kLum), 0);
  EXPECT_EQ(red.most[kRed][Reader::kScreen], 8);
  EXPECT_FALSE(Failing(red, kRed, Reader::kFlashFailure).empty());
  EXPECT_TRUE(Failing(red, kLum, Reader::kFlashFailure).empty());

  const Reader::Reading lightRed = Flicker(kColourBlack, kColourLightRed, 8, 2);
  EXPECT_EQ(Most(lightRed, kRed), 0);
  EXPECT_EQ(lightRed.most[kLum][Reader::kScreen], 8);
  EXPECT_EQ(Most(Flicker(kColourBlack, kColourMagenta, 8, 2), kRed), 0);
}

// Red's threshold is 20 (red's value is 213.3): rows of red cells that move, 15 rows, then 18
// others, then 21 (each time over half the pixels change), step by 12.8 twice, reaching 25.6
// only at the second step.
TEST(FlashEstablishedReader, RedStepsUnderTwentyAddUp) {
  const auto rows = [](int from, int to) {
    Frame f = Filled(kColourBlack);
    for (int i = from * kScreenWidth; i < (to + 1) * kScreenWidth; ++i) f[i] = Solid(kColourRed);
    return f;
  };
  const Reader::Reading r = ReadFrames(60, [&](int k) { return k < 10 ? rows(0, 14) : k < 20 ? rows(15, 32) : rows(0, 20); });
  EXPECT_EQ(r.screenTransitions[kRed], Times({20}));
}
