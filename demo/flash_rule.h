// How much a sequence of frames flashes, by the general-flash and red-flash rules that
// broadcasters and the web use: a flash is a pair of opposing changes of light, and more than
// three flashes in any one second is too many.
//
// The light of a frame is measured per area: the whole screen and 25 overlapping windows of a
// quarter of the screen (40 x 25 cells, placed every 10 columns and every 6 or 7 rows). An
// area's light is the mean over its cells, and a cell's light is the mean over its 8 x 12
// pixels as the font draws them: a shade glyph's lit pixels in the foreground colour, the others
// in the background colour. So a cell of 25 % shade, white on black, gives a quarter of white's
// luminance, as the eye sees it from a little way off.
//
// Two kinds of light are followed in every area:
// - luminance: the relative luminance of the sRGB colours (0 black, 1 white). A transition is
//   a change of at least 0.1 between a peak and a valley whose darker side is below 0.8;
// - red: for a saturated red colour (red at least 80 % of red + green + blue) the value
//   (R - G - B) x 320, for any other colour 0. A transition is a change of more than 20.
// Every quantity is a whole number (luminance in millionths, red in thousandths, summed over
// pixels), so every platform counts exactly the same transitions.
//
// A transition is counted at the frame that completes it: the first frame whose light is a
// whole step away from the last peak (or valley) in the opposite direction. Seven transitions
// inside one second are more than three flashes.
//
// Another reader may date the same transition later, at the frame where the light reaches its
// far extreme (the first frame at the peak of a rise, at the valley of a fall), or anywhere in
// between. The counter also answers for every such dating at once: a transition then belongs
// to any second that overlaps its span, from the frame that completed it to the frame that
// reached its extreme.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <string>

#include "quorvel4/types.h"

enum class LightKind { kLuminance, kRed };
inline constexpr int kLightKinds = 2;

// The measured areas: 0 is the whole screen, 1 to 25 the quarter-screen windows.
inline constexpr int kFlashAreas = 26;

struct CellArea {
  int x, y, width, height;  // in cells
};
CellArea FlashArea(int area);
// "whole screen" or "columns 10-49, rows 6-30".
std::string FlashAreaName(int area);
const char* LightKindName(LightKind kind);

// One frame's light, summed per area and kind in whole units.
struct FrameLight {
  std::array<std::array<int64_t, kFlashAreas>, kLightKinds> sums{};
};
FrameLight MeasureLight(const Cell* cells);

// The luminance of a console colour in millionths, and its red value in thousandths.
int64_t ColourLuminance(unsigned colour);
int64_t ColourRedValue(unsigned colour);

// Follows one area's light of one kind through the frames and finds its transitions.
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
  int64_t extreme_ = 0;       // the peak after a rise, the valley after a fall
  int64_t low_ = 0, high_ = 0;  // the range seen before the first transition
};

// The most transitions inside one second, and where.
struct FlashCount {
  int transitions = 0;
  int area = 0;
  LightKind kind = LightKind::kLuminance;
  double Flashes() const { return transitions / 2.0; }
};

// More than three flashes: a fourth opposing pair begun.
inline constexpr int kTooManyTransitions = 7;

// Every area and kind through the frames, with the times of their recent transitions.
class FlashCounter {
 public:
  FlashCounter();
  // Takes the frame shown at `time` (ms); returns the largest number of transitions any area
  // and kind now has in the second up to and including `time`.
  FlashCount Take(int32_t time, const FrameLight& light);
  // The same count as Take would return, without taking the frame.
  FlashCount WouldCount(int32_t time, const FrameLight& light) const;
  // The most transitions that the second up to and including `time` could hold if the frame
  // were taken, however each transition is dated between the frame that completed it and the
  // frame of its far extreme. The latest transition of an area may still reach further, so it
  // is always counted.
  FlashCount WouldCountAnyDating(int32_t time, const FrameLight& light) const;

 private:
  // One transition, from the frame that completed it to the frame that reached its far extreme.
  struct Span {
    int32_t completed, extreme;
  };
  struct Track {
    TransitionFinder finder;
    // The latest transition, and those whose span reaches into the last second: every
    // transition completed in the last second is among them.
    std::deque<Span> spans;
  };
  Track& TrackOf(int kind, int area) { return tracks_[kind * kFlashAreas + area]; }
  const Track& TrackOf(int kind, int area) const { return tracks_[kind * kFlashAreas + area]; }
  std::deque<Track> tracks_;
};
