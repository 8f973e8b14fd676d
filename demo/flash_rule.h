// How much a sequence of frames flashes, by the general-flash and red-flash rules that
// broadcasters, games and the web use: a flash is a pair of opposing changes of light, and more
// than three flashes in any one second over a large enough area is too many.
//
// Areas. The light of a frame is measured per area: the whole screen; every quarter of the
// screen (40 x 25 cells) at every cell offset; and every 10-degree field, a third of the width
// by a third of the height (27 x 17 cells), at every cell offset: what a viewer close to the
// screen takes in at once. An area's light is the mean over its pixels as the font draws them
// (8 x 12 a cell: a glyph's lit pixels in the foreground colour, the others in the background).
//
// Light. Two kinds are followed in every area:
// - luminance: the relative luminance of the sRGB colours (0 black, 1 white); the step of a
//   transition is 0.1, and its darker side must be below 0.8;
// - red: for a saturated red colour (red at least 80 % of red + green + blue) the value
//   (R - G - B) x 320, for any other colour 0; the step is 20.
// Every quantity is a whole number (luminance in millionths, red in thousandths, summed over
// pixels), so every platform counts exactly the same transitions.
//
// Readings. The same frames are read three ways, and a frame fails when any reading fails:
// - established: the way established analysers read frames one by one. A frame's change is
//   the difference of the area's mean from the frame before, counted only where at least 25 %
//   of the area's pixels changed (otherwise 0). Changes accumulate while their direction holds
//   (a change of 0 keeps it), over at most the last second; a reversal starts a new
//   accumulation. A transition is a frame at which the accumulation reaches the step, having
//   been below it (or of the other direction) at the frame before, with the darker of the two
//   frames' means below 0.8. More than 6 transitions in one second fail; and so do 4 to 6 a
//   second sustained: a frame with 4 or more fails when frames with 4 to 6 have filled 4 of the
//   last 5 seconds ("extended").
// - peaks, at completion: a transition is a whole step between a peak and a valley of the
//   area's mean (the darker below 0.8), counted at the frame that completes it; 7 in one second
//   fail.
// - peaks, any dating: the same transitions, which another reader may date anywhere from the
//   frame that completes one to the frame where it reaches its far extreme; a second fails when
//   some such dating puts 7 in it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "quorvel4/types.h"

enum class LightKind { kLuminance, kRed };
inline constexpr int kLightKinds = 2;

enum class FlashReading { kEstablished, kPeaksAtCompletion, kPeaksAnyDating };
inline constexpr int kFlashReadings = 3;
const char* FlashReadingName(FlashReading reading);

struct CellArea {
  int x, y, width, height;  // in cells
};
// The measured areas: 0 is the whole screen, then the quarters, then the fields, each row by
// row from the top-left corner.
inline constexpr int kQuarterWidth = kScreenWidth / 2, kQuarterHeight = kScreenHeight / 2;
inline constexpr int kFieldWidth = (kScreenWidth + 1) / 3, kFieldHeight = (kScreenHeight + 1) / 3;  // 27 x 17
inline constexpr int kQuarterAreas = (kScreenWidth - kQuarterWidth + 1) * (kScreenHeight - kQuarterHeight + 1);
inline constexpr int kFieldAreas = (kScreenWidth - kFieldWidth + 1) * (kScreenHeight - kFieldHeight + 1);
inline constexpr int kFlashAreas = 1 + kQuarterAreas + kFieldAreas;
CellArea FlashArea(int area);
// "whole screen", "quarter at columns 10-49, rows 6-30", "field at columns 0-26, rows 0-16".
std::string FlashAreaName(int area);
// The same, short for a status line: "screen", "quarter 10,6", "field 0,0".
std::string FlashAreaShortName(int area);
const char* LightKindName(LightKind kind);

// The luminance of a console colour in millionths, and its red value in thousandths.
int64_t ColourLuminance(unsigned colour);
int64_t ColourRedValue(unsigned colour);

// One frame's light per kind and area, summed over pixels in whole units, and how many of each
// area's pixels differ in that light from the frame before (all of them for a first frame).
struct FrameLight {
  std::array<std::vector<int64_t>, kLightKinds> sums;
  std::array<std::vector<int32_t>, kLightKinds> changed;
};
// The light of `cells`, and its change from `before` (nullptr: a first frame).
FrameLight MeasureLight(const Cell* cells, const Cell* before);
// The light of a frame shown again: the same sums, nothing changed.
FrameLight SameLightAgain(const FrameLight& light);

// Follows one area's light of one kind through the frames and finds its transitions between
// peaks and valleys.
class TransitionFinder {
 public:
  // `step`: the least change that is a transition; `darkLimit`: the darker side of a
  // transition must lie below it.
  TransitionFinder(int64_t step, int64_t darkLimit) : step_(step), darkLimit_(darkLimit) {}
  // Whether the light `value` would complete a transition.
  bool Completes(int64_t value) const;
  // Whether the light `value` would reach a new far extreme of the latest transition: beyond
  // its peak after a rise, below its valley after a fall. A frame that completes a transition
  // is its first extreme; a frame that only equals the extreme does not move it.
  bool Reaches(int64_t value) const;
  // Takes the next frame's light; true when it completed a transition.
  bool Take(int64_t value);

 private:
  enum class Trend { kNone, kUp, kDown };
  int Direction(int64_t value) const;  // +1 a rise, -1 a fall, 0 none
  int64_t step_, darkLimit_;
  bool started_ = false;
  Trend trend_ = Trend::kNone;
  int64_t extreme_ = 0;         // the peak after a rise, the valley after a fall
  int64_t low_ = 0, high_ = 0;  // the range seen before the first transition
};

// More than three flashes: a fourth opposing pair begun.
inline constexpr int kTooManyTransitions = 7;
// Sustained flashing: frames with 4 to 6 transitions in their second, over 4 of 5 seconds.
inline constexpr int kSustainedTransitions = 4;
inline constexpr int32_t kSustainedMs = 4000, kSustainedWindowMs = 5000;

// One reading of one frame: the area and kind with the most transitions in the second up to
// the frame, and whether the reading fails there.
struct FlashCount {
  int transitions = 0;
  int area = 0;
  LightKind kind = LightKind::kLuminance;
  bool fails = false;
  bool sustained = false;  // it fails by the sustained rule (established reading only)
  double Flashes() const { return transitions / 2.0; }
  // A worse count: one that fails, then one with more transitions.
  bool IsWorseThan(const FlashCount& other) const {
    return fails != other.fails ? fails : transitions > other.transitions;
  }
};

struct FlashVerdict {
  std::array<FlashCount, kFlashReadings> readings;
  bool Fails() const;
};

// Every area, kind and reading through the frames: feed it the light of each frame shown, in
// order of time (ms).
class FlashCounter {
 public:
  FlashCounter();
  ~FlashCounter();
  FlashCounter(const FlashCounter&) = delete;
  FlashCounter& operator=(const FlashCounter&) = delete;

  // Takes the frame shown at `time`; what each reading finds in the second up to it.
  FlashVerdict Take(int32_t time, const FrameLight& light);
  // Whether showing a frame of this light at `time` would make any reading fail there, or
  // make the established reading's sustained rule fail later without another transition.
  bool WouldFail(int32_t time, const FrameLight& light) const;

 private:
  struct Tracks;
  Tracks* tracks_;
};
