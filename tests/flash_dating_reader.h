// A second reading of how much a sequence of frames flashes, written apart from the show's own
// counter (demo/flash_rule) so that each checks the other. It works from the pixels as the
// font draws them, in floating point, and dates every transition twice: at the frame that
// completes it (a whole step of 0.1 away from the last extreme, the darker side below 0.8)
// and at the frame where it reaches its far extreme. Its areas are the whole screen and
// quarter-screen windows, either 25 of them (every 10 columns and every 6 or 7 rows) or every
// position a window can take (and then also every position of a 10-degree field).
// It slides a one-second window in quarter seconds and, finer, ends one at every transition.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <set>
#include <vector>

#include "quorvel4/font.h"
#include "quorvel4/palette.h"
#include "quorvel4/types.h"

class FlashDatingReader {
 public:
  enum Dating { kAtCompletion, kAtExtreme, kDatings };
  struct Reading {
    std::array<int, kDatings> windowsOver{};            // quarter-second slides with 7 or more
    std::array<std::set<int>, kDatings> secondsOver{};  // whole seconds where such a window begins
    std::array<int, kDatings> most{};                   // transitions, any window of a second
  };

  explicit FlashDatingReader(bool everyPosition = false) {
    areas_.push_back({0, 0, kScreenWidth, kScreenHeight});
    const int w = kScreenWidth / 2, h = kScreenHeight / 2;
    for (int y = 0; y <= kScreenHeight - h; ++y)
      for (int x = 0; x <= kScreenWidth - w; ++x)
        if (everyPosition || (x % 10 == 0 && (y == 0 || y == 6 || y == 13 || y == 19 || y == 25)))
          areas_.push_back({x, y, w, h});
    // Every position also takes in the 10-degree fields: a third of the width by a third of
    // the height (27 x 17 cells, rounded), at every cell offset.
    if (everyPosition)
      for (int y = 0; y <= kScreenHeight - kFieldHeight; ++y)
        for (int x = 0; x <= kScreenWidth - kFieldWidth; ++x) areas_.push_back({x, y, kFieldWidth, kFieldHeight});
    followers_.resize(areas_.size());
    std::array<double, 16> colourLight{};
    for (int colour = 0; colour < 16; ++colour) colourLight[colour] = PixelLight(colour);
    for (int code = 0; code < 256; ++code)
      for (int attribute = 0; attribute < 256; ++attribute) {
        double sum = 0;
        for (int row = 0; row < kGlyphHeight; ++row)
          for (int column = 0; column < kGlyphWidth; ++column) {
            const bool lit = (Glyph(static_cast<unsigned char>(code))[row] >> column) & 1;
            sum += colourLight[lit ? attribute & 15 : attribute >> 4];
          }
        cellLight_[code | attribute << 8] = sum;
      }
  }

  static constexpr int kFieldWidth = 27, kFieldHeight = 17;

  void Take(int32_t time, const Cell* cells) {
    if (frames_++ == 0) first_ = time;
    last_ = time;
    for (int y = 0; y < kScreenHeight; ++y)
      for (int x = 0; x < kScreenWidth; ++x)
        sums_[y + 1][x + 1] = sums_[y][x + 1] + sums_[y + 1][x] - sums_[y][x] + cellLight_[cells[y * kScreenWidth + x] & 0xFFFF];
    for (size_t i = 0; i < areas_.size(); ++i) {
      const Area& a = areas_[i];
      const double sum = sums_[a.y + a.h][a.x + a.w] - sums_[a.y][a.x + a.w] - sums_[a.y + a.h][a.x] + sums_[a.y][a.x];
      Follow(followers_[i], sum / (a.w * a.h * kGlyphWidth * kGlyphHeight), time);
    }
  }

  Reading Read() const {
    Reading reading;
    const int64_t firstWindow = static_cast<int64_t>(std::floor(first_ / 250.0)) * 250;
    for (int dating = 0; dating < kDatings; ++dating) {
      std::vector<int> windows(static_cast<size_t>((int64_t{last_} - firstWindow) / 250 + 1), 0);
      for (const Follower& f : followers_) {
        std::vector<int64_t> dates;
        for (const Span& s : f.transitions) dates.push_back(dating == kAtCompletion ? s.completed : s.extreme);
        std::sort(dates.begin(), dates.end());
        // Windows [a, a + 1 s) with a on the quarter seconds.
        for (size_t w = 0; w < windows.size(); ++w) {
          const int64_t a = firstWindow + 250 * static_cast<int64_t>(w);
          const auto n = std::lower_bound(dates.begin(), dates.end(), a + 1000) - std::lower_bound(dates.begin(), dates.end(), a);
          windows[w] = std::max(windows[w], static_cast<int>(n));
        }
        // Windows (t - 1 s, t] that end at each transition: the most any second can hold.
        for (size_t i = 0; i < dates.size(); ++i) {
          const auto n = dates.begin() + static_cast<long>(i) + 1 - std::upper_bound(dates.begin(), dates.end(), dates[i] - 1000);
          reading.most[dating] = std::max(reading.most[dating], static_cast<int>(n));
        }
      }
      for (size_t w = 0; w < windows.size(); ++w)
        if (windows[w] >= 7) {
          ++reading.windowsOver[dating];
          reading.secondsOver[dating].insert(static_cast<int>((firstWindow + 250 * static_cast<int64_t>(w)) / 1000));
        }
    }
    return reading;
  }

  int Frames() const { return frames_; }

 private:
  struct Area {
    int x, y, w, h;
  };
  struct Span {
    int32_t completed, extreme;
  };
  // One area's light through the frames.
  struct Follower {
    bool started = false;
    int direction = 0;       // of the latest transition: +1 a rise, -1 a fall, 0 none yet
    double low = 0, high = 0;  // before the first transition
    double extreme = 0;      // the peak or valley the latest transition has reached
    std::vector<Span> transitions;
  };

  // The relative luminance of a console colour, 0 to 1.
  static double PixelLight(int colour) {
    const auto linear = [](uint8_t level) {
      const double c = level / 255.0;
      return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    const Rgb& c = kVgaPalette[colour];
    return 0.2126 * linear(c.r) + 0.7152 * linear(c.g) + 0.0722 * linear(c.b);
  }

  static void Follow(Follower& f, double light, int32_t time) {
    // A hair below the step and above the dark limit, so that rounding never hides a transition.
    constexpr double kStep = 0.1 - 1e-9, kDark = 0.8 + 1e-9;
    const auto rise = [&](double from) { return light - from >= kStep && from < kDark; };
    const auto fall = [&](double from) { return from - light >= kStep && light < kDark; };
    if (!f.started) {
      f.started = true;
      f.low = f.high = light;
      return;
    }
    int turn = 0;
    if (f.direction == 0)
      turn = rise(f.low) ? 1 : fall(f.high) ? -1 : 0;
    else
      turn = f.direction > 0 ? (fall(f.extreme) ? -1 : 0) : (rise(f.extreme) ? 1 : 0);
    if (turn != 0) {
      f.direction = turn;
      f.extreme = light;
      f.transitions.push_back({time, time});
    } else if (f.direction == 0) {
      f.low = std::min(f.low, light);
      f.high = std::max(f.high, light);
    } else if (f.direction > 0 ? light > f.extreme : light < f.extreme) {
      f.extreme = light;
      f.transitions.back().extreme = time;
    }
  }

  std::vector<Area> areas_;
  std::vector<Follower> followers_;
  std::vector<double> cellLight_ = std::vector<double>(65536);
  std::array<std::array<double, kScreenWidth + 1>, kScreenHeight + 1> sums_{};
  int frames_ = 0;
  int32_t first_ = 0, last_ = 0;
};
