// A reading of the general-flash rule the way established flash analysers read it, written
// apart from the show's own counter (demo/flash_rule) so that each checks the other. It works
// in floating point from the pixels as the font draws them, for two kinds of light: relative
// luminance and saturated red. Its areas are the whole screen, every quarter of the screen and
// every 10-degree field (a third of the width by a third of the height) at every cell offset.
//
// In each area a frame's change is the step of its mean light, counted only when at least a
// quarter of its pixels changed. Changes of one sign gather into a run that lives for one
// second; a change of the other sign starts a new run. A transition is a frame where the run
// reaches the threshold. Seven transitions within one second fail (more than three flashes);
// so do four to six a second kept up for four of any five seconds.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <deque>
#include <set>
#include <vector>

#include "quorvel4/font.h"
#include "quorvel4/palette.h"
#include "quorvel4/types.h"

class FlashEstablishedReader {
 public:
  enum Kind { kLuminance, kRed, kKinds };
  enum Failure { kFlashFailure, kExtendedFailure, kFailures };
  enum Shape { kScreen, kQuarter, kField, kShapes };
  struct Area {
    Shape shape = kScreen;
    int x = 0, y = 0, w = 0, h = 0;
  };
  struct Reading {
    // Whole seconds (show time / 1000) holding a failing frame, by kind and failure.
    std::array<std::array<std::set<int>, kFailures>, kKinds> secondsFailing{};
    // The most transitions any area of each shape had within one second.
    std::array<std::array<int, kShapes>, kKinds> most{};
    // The first area, and its frame, to reach the most of all shapes.
    std::array<Area, kKinds> mostArea{};
    std::array<int32_t, kKinds> mostTime{};
    // The frame times of the whole screen's transitions.
    std::array<std::vector<int32_t>, kKinds> screenTransitions{};
  };

  static constexpr int kFieldWidth = 27;   // 80 / 3 cells, rounded
  static constexpr int kFieldHeight = 17;  // 50 / 3 cells, rounded

  FlashEstablishedReader() {
    AddAreas(kScreen, kScreenWidth, kScreenHeight);
    AddAreas(kQuarter, kScreenWidth / 2, kScreenHeight / 2);
    AddAreas(kField, kFieldWidth, kFieldHeight);
    tracks_.resize(areas_.size());
    for (int colour = 0; colour < 16; ++colour) {
      value_[kLuminance][colour] = Luminance(kVgaPalette[colour]);
      value_[kRed][colour] = RedValue(kVgaPalette[colour]);
    }
    for (int code = 0; code < 256; ++code) masks_[code] = GlyphMask(static_cast<unsigned char>(code));
  }

  // Frames come in order of show time.
  void Take(int32_t time, const Cell* cells) {
    const bool first = frames_++ == 0;
    const int32_t interval = first ? 0 : time - lastTime_;
    SumCells(cells, first);
    for (size_t i = 0; i < areas_.size(); ++i)
      for (int kind = 0; kind < kKinds; ++kind) TakeArea(i, static_cast<Kind>(kind), time, interval, first);
    lastTime_ = time;
    previous_.assign(cells, cells + kScreenCells);
  }

  const Reading& Read() const { return reading_; }
  int Frames() const { return frames_; }
  static const char* ShapeName(Shape shape) {
    static constexpr const char* kNames[kShapes] = {"screen", "quarter", "field"};
    return kNames[shape];
  }

 private:
  static constexpr int kCellPixels = kGlyphWidth * kGlyphHeight;
  static constexpr double kThreshold[kKinds] = {0.1, 20};
  static constexpr double kDarkLimit = 0.8;  // luminance: the darker frame must be below it
  static constexpr int kTooMany = 7;         // transitions within one second
  static constexpr int kBandLow = 4, kBandHigh = 6;
  static constexpr int32_t kBandNeeded = 4000, kBandSpan = 5000;

  // A cell's 96 pixels, lit or not: rows 0-7 in `top`, rows 8-11 in `bottom`, 8 bits a row.
  struct Mask {
    uint64_t top = 0, bottom = 0;
  };
  struct Change {
    int32_t time;
    double step;
  };
  struct Stay {
    int32_t time, interval;
  };
  // One area's reading of one kind through the frames.
  struct Track {
    std::deque<Change> run;           // the current run's changes of the last second (not the zeros)
    double accumulation = 0;          // at the latest frame
    double mean = 0;                  // at the latest frame
    std::deque<int32_t> transitions;  // of the last second
    std::deque<Stay> band;            // in-band frames of the last five seconds: time, interval
    int32_t bandTime = 0;
  };

  void AddAreas(Shape shape, int w, int h) {
    for (int y = 0; y <= kScreenHeight - h; ++y)
      for (int x = 0; x <= kScreenWidth - w; ++x) areas_.push_back({shape, x, y, w, h});
  }

  static double Linear(uint8_t level) {
    const double c = level / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
  }
  static double Luminance(const Rgb& c) { return 0.2126 * Linear(c.r) + 0.7152 * Linear(c.g) + 0.0722 * Linear(c.b); }
  // Only a saturated red (red at least 80 % of the three levels) has a red value.
  static double RedValue(const Rgb& c) {
    if (c.r == 0 || 5 * c.r < 4 * (c.r + c.g + c.b)) return 0;  // in whole numbers: 80 % exactly
    return (c.r - c.g - c.b) / 255.0 * 320;
  }

  static Mask GlyphMask(unsigned char code) {
    Mask m;
    for (int row = 0; row < kGlyphHeight; ++row) {
      const uint64_t bits = Glyph(code)[row];
      if (row < 8)
        m.top |= bits << (8 * row);
      else
        m.bottom |= bits << (8 * (row - 8));
    }
    return m;
  }
  static int Lit(const Mask& m) { return std::popcount(m.top) + std::popcount(m.bottom); }
  static int Both(const Mask& a, const Mask& b) { return std::popcount(a.top & b.top) + std::popcount(a.bottom & b.bottom); }

  // How many of a cell's pixels take another value of `kind` from `before` to `now`: counted
  // by the four pairings of lit and unlit, each pairing showing one colour before and one now.
  int ChangedPixels(Kind kind, Cell before, Cell now) const {
    if (before == now) return 0;
    const Mask& a = masks_[CellCharacter(before)];
    const Mask& b = masks_[CellCharacter(now)];
    const int litBoth = Both(a, b);
    const int litBefore = Lit(a) - litBoth, litNow = Lit(b) - litBoth;
    const int litNeither = kCellPixels - litBoth - litBefore - litNow;
    const auto differs = [&](unsigned from, unsigned to) { return value_[kind][from] != value_[kind][to] ? 1 : 0; };
    const unsigned fa = CellForeground(before), ba = CellBackground(before);
    const unsigned fb = CellForeground(now), bb = CellBackground(now);
    return litBoth * differs(fa, fb) + litBefore * differs(fa, bb) + litNow * differs(ba, fb) +
           litNeither * differs(ba, bb);
  }

  // Summed-area tables of the pixels of each colour and of the changed pixels of each kind,
  // so that any area's counts come from four corners. The means come from the colour counts,
  // so that two frames with the same colours in an area have exactly the same mean.
  void SumCells(const Cell* cells, bool first) {
    for (int y = 0; y < kScreenHeight; ++y)
      for (int x = 0; x < kScreenWidth; ++x) {
        const Cell cell = cells[y * kScreenWidth + x];
        std::array<int32_t, 16> here{};
        const int lit = Lit(masks_[CellCharacter(cell)]);
        here[CellForeground(cell)] += lit;
        here[CellBackground(cell)] += kCellPixels - lit;
        for (int c = 0; c < 16; ++c)
          colours_[y + 1][x + 1][c] = colours_[y][x + 1][c] + colours_[y + 1][x][c] - colours_[y][x][c] + here[c];
        for (int kind = 0; kind < kKinds; ++kind) {
          const int changed = first ? 0 : ChangedPixels(static_cast<Kind>(kind), previous_[y * kScreenWidth + x], cell);
          changed_[kind][y + 1][x + 1] = changed_[kind][y][x + 1] + changed_[kind][y + 1][x] - changed_[kind][y][x] + changed;
        }
      }
  }

  template <typename Table>
  static auto Corners(const Table& t, const Area& a) {
    return t[a.y + a.h][a.x + a.w] - t[a.y][a.x + a.w] - t[a.y + a.h][a.x] + t[a.y][a.x];
  }

  double Mean(Kind kind, const Area& a) const {
    double sum = 0;
    for (int c = 0; c < 16; ++c) {
      const int32_t n = colours_[a.y + a.h][a.x + a.w][c] - colours_[a.y][a.x + a.w][c] - colours_[a.y + a.h][a.x][c] +
                        colours_[a.y][a.x][c];
      sum += n * value_[kind][c];
    }
    return sum / (a.w * a.h * kCellPixels);
  }

  // A value within this of a limit reads as on it, so that rounding neither makes nor hides
  // a transition that exact arithmetic would not.
  static double Slack(Kind kind) { return kThreshold[kind] * 1e-9; }

  // Adds a frame's change to the run and returns the accumulation: the run's changes of the
  // last second. A change against the run's sign starts a new run.
  static double Accumulate(Track& t, double change, int32_t time, double slack) {
    while (!t.run.empty() && t.run.front().time <= time - 1000) t.run.pop_front();
    const double current = Sum(t.run);
    if (std::fabs(change) > slack) {
      if (std::fabs(current) > slack && (change > 0) != (current > 0)) t.run.clear();
      t.run.push_back({time, change});
    }
    return Sum(t.run);
  }
  static double Sum(const std::deque<Change>& changes) {
    double sum = 0;
    for (const Change& c : changes) sum += c.step;
    return sum;
  }

  // A transition: the accumulation reaches the threshold now and did not, on this side, at the
  // frame before; for luminance, the darker of the two frames is below the dark limit.
  static bool IsTransition(Kind kind, double before, double now, double darker) {
    const double reach = kThreshold[kind] - Slack(kind);
    if (std::fabs(now) < reach) return false;
    if (std::fabs(before) >= reach && (before > 0) == (now > 0)) return false;
    return kind != kLuminance || darker < kDarkLimit - Slack(kind);
  }

  // The band time: how long, of the last five seconds, the area spent at four to six.
  static int32_t BandTime(Track& t, int count, int32_t time, int32_t interval) {
    if (count >= kBandLow && count <= kBandHigh) {
      t.band.push_back({time, interval});
      t.bandTime += interval;
    }
    while (!t.band.empty() && t.band.front().time <= time - kBandSpan) {
      t.bandTime -= t.band.front().interval;
      t.band.pop_front();
    }
    return t.bandTime;
  }

  void TakeArea(size_t index, Kind kind, int32_t time, int32_t interval, bool first) {
    const Area& area = areas_[index];
    Track& t = tracks_[index][kind];
    const double mean = Mean(kind, area);
    const int32_t pixels = area.w * area.h * kCellPixels;
    const bool enough = !first && 4 * Corners(changed_[kind], area) >= pixels;
    const double change = enough ? mean - t.mean : 0;
    const double before = t.accumulation;
    t.accumulation = Accumulate(t, change, time, Slack(kind));
    if (!first && IsTransition(kind, before, t.accumulation, std::min(mean, t.mean))) {
      t.transitions.push_back(time);
      if (area.shape == kScreen) reading_.screenTransitions[kind].push_back(time);
    }
    t.mean = mean;
    while (!t.transitions.empty() && t.transitions.front() <= time - 1000) t.transitions.pop_front();
    const int count = static_cast<int>(t.transitions.size());
    const int32_t band = BandTime(t, count, time, interval);
    Note(kind, area, time, count, band);
  }

  void Note(Kind kind, const Area& area, int32_t time, int count, int32_t band) {
    const int second = static_cast<int>(std::floor(time / 1000.0));
    if (count >= kTooMany) reading_.secondsFailing[kind][kFlashFailure].insert(second);
    if (count >= kBandLow && band >= kBandNeeded) reading_.secondsFailing[kind][kExtendedFailure].insert(second);
    int& most = reading_.most[kind][area.shape];
    most = std::max(most, count);
    if (count > bestSoFar_[kind]) {
      bestSoFar_[kind] = count;
      reading_.mostArea[kind] = area;
      reading_.mostTime[kind] = time;
    }
  }

  std::vector<Area> areas_;
  std::vector<std::array<Track, kKinds>> tracks_;
  std::array<std::array<double, 16>, kKinds> value_{};
  std::array<Mask, 256> masks_{};
  std::array<std::array<std::array<int32_t, 16>, kScreenWidth + 1>, kScreenHeight + 1> colours_{};
  std::array<std::array<std::array<int32_t, kScreenWidth + 1>, kScreenHeight + 1>, kKinds> changed_{};
  std::vector<Cell> previous_;
  std::array<int, kKinds> bestSoFar_{};
  Reading reading_;
  int frames_ = 0;
  int32_t lastTime_ = 0;
};
