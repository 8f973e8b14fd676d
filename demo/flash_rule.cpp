#include "demo/flash_rule.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>

#include "quorvel4/font.h"
#include "quorvel4/palette.h"

namespace {

constexpr int kGlyphPixels = kGlyphWidth * kGlyphHeight;  // 96
constexpr int kWindowWidth = kScreenWidth / 2;            // a quarter of the screen
constexpr int kWindowHeight = kScreenHeight / 2;
constexpr int kWindowsAcross = 5;

// The thresholds, in the units of one pixel's light.
constexpr int64_t kLuminanceStep = 100000;  // 0.1 of white
constexpr int64_t kDarkLimit = 800000;      // 0.8 of white
constexpr int64_t kRedStep = 20000;         // 20, and a transition must exceed it

// The sRGB curve: an 8-bit level as linear light, 0 to 1.
double LinearLevel(uint8_t level) {
  const double c = level / 255.0;
  return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

// Lit pixels of every glyph of the font.
const std::array<int, 256>& GlyphCoverage() {
  static const std::array<int, 256> coverage = [] {
    std::array<int, 256> counts{};
    for (int code = 0; code < 256; ++code)
      for (int row = 0; row < kGlyphHeight; ++row) counts[code] += std::popcount(Glyph(static_cast<unsigned char>(code))[row]);
    return counts;
  }();
  return coverage;
}

struct ColourLight {
  std::array<int64_t, 16> luminance, red;
};

const ColourLight& PaletteLight() {
  static const ColourLight light = [] {
    ColourLight table{};
    for (unsigned colour = 0; colour < 16; ++colour) {
      table.luminance[colour] = ColourLuminance(colour);
      table.red[colour] = ColourRedValue(colour);
    }
    return table;
  }();
  return light;
}

// Sums over the rectangle of cells [x0, x1) x [y0, y1) from a table of sums from the origin.
using SumTable = std::array<std::array<int64_t, kScreenWidth + 1>, kScreenHeight + 1>;
int64_t RectangleSum(const SumTable& sums, const CellArea& a) {
  return sums[a.y + a.height][a.x + a.width] - sums[a.y][a.x + a.width] - sums[a.y + a.height][a.x] + sums[a.y][a.x];
}

int64_t PixelsOf(int area) {
  const CellArea a = FlashArea(area);
  return int64_t{a.width} * a.height * kGlyphPixels;
}

}  // namespace

CellArea FlashArea(int area) {
  if (area == 0) return {0, 0, kScreenWidth, kScreenHeight};
  const int column = (area - 1) % kWindowsAcross, row = (area - 1) / kWindowsAcross;
  const int spanX = kScreenWidth - kWindowWidth, spanY = kScreenHeight - kWindowHeight;
  return {spanX * column / (kWindowsAcross - 1), (spanY * row + 2) / (kWindowsAcross - 1), kWindowWidth, kWindowHeight};
}

std::string FlashAreaName(int area) {
  if (area == 0) return "whole screen";
  const CellArea a = FlashArea(area);
  return "columns " + std::to_string(a.x) + "-" + std::to_string(a.x + a.width - 1) + ", rows " + std::to_string(a.y) +
         "-" + std::to_string(a.y + a.height - 1);
}

const char* LightKindName(LightKind kind) { return kind == LightKind::kRed ? "red" : "luminance"; }

int64_t ColourLuminance(unsigned colour) {
  const Rgb& c = kVgaPalette[colour & 15];
  const double y = 0.2126 * LinearLevel(c.r) + 0.7152 * LinearLevel(c.g) + 0.0722 * LinearLevel(c.b);
  // Rounded to millionths: a last-bit difference of pow between C libraries cannot move it.
  return std::llround(y * 1e6);
}

int64_t ColourRedValue(unsigned colour) {
  const Rgb& c = kVgaPalette[colour & 15];
  const int r = c.r, g = c.g, b = c.b;
  const bool saturatedRed = r > 0 && 5 * r >= 4 * (r + g + b);
  if (!saturatedRed) return 0;
  return (int64_t{r - g - b} * 320000 + 127) / 255;
}

FrameLight MeasureLight(const Cell* cells) {
  const auto& coverage = GlyphCoverage();
  const ColourLight& colours = PaletteLight();
  // Tables of sums from the top-left corner make every area's sum four look-ups.
  static SumTable luminance, red;
  for (int y = 0; y < kScreenHeight; ++y) {
    int64_t rowLuminance = 0, rowRed = 0;
    for (int x = 0; x < kScreenWidth; ++x) {
      const Cell cell = cells[y * kScreenWidth + x];
      const int lit = coverage[CellCharacter(cell)], unlit = kGlyphPixels - lit;
      const unsigned fg = CellForeground(cell), bg = CellBackground(cell);
      rowLuminance += lit * colours.luminance[fg] + unlit * colours.luminance[bg];
      rowRed += lit * colours.red[fg] + unlit * colours.red[bg];
      luminance[y + 1][x + 1] = luminance[y][x + 1] + rowLuminance;
      red[y + 1][x + 1] = red[y][x + 1] + rowRed;
    }
  }
  FrameLight light;
  for (int area = 0; area < kFlashAreas; ++area) {
    light.sums[static_cast<int>(LightKind::kLuminance)][area] = RectangleSum(luminance, FlashArea(area));
    light.sums[static_cast<int>(LightKind::kRed)][area] = RectangleSum(red, FlashArea(area));
  }
  return light;
}

int TransitionFinder::Direction(int64_t value) const {
  if (!started_) return 0;
  switch (trend_) {
    case Trend::kUp:
      return extreme_ - value >= step_ && value < darkLimit_ ? -1 : 0;
    case Trend::kDown:
      return value - extreme_ >= step_ && extreme_ < darkLimit_ ? 1 : 0;
    case Trend::kNone:
      break;
  }
  if (value - low_ >= step_ && low_ < darkLimit_) return 1;
  if (high_ - value >= step_ && value < darkLimit_) return -1;
  return 0;
}

bool TransitionFinder::Completes(int64_t value) const { return Direction(value) != 0; }

bool TransitionFinder::Reaches(int64_t value) const {
  if (Completes(value)) return true;
  switch (trend_) {
    case Trend::kUp:
      return value > extreme_;
    case Trend::kDown:
      return value < extreme_;
    case Trend::kNone:
      break;
  }
  return false;
}

bool TransitionFinder::Take(int64_t value) {
  const int direction = Direction(value);
  if (!started_) {
    started_ = true;
    extreme_ = low_ = high_ = value;
  } else if (direction != 0) {
    trend_ = direction > 0 ? Trend::kUp : Trend::kDown;
    extreme_ = value;
  } else if (trend_ == Trend::kUp) {
    extreme_ = std::max(extreme_, value);
  } else if (trend_ == Trend::kDown) {
    extreme_ = std::min(extreme_, value);
  } else {
    low_ = std::min(low_, value);
    high_ = std::max(high_, value);
  }
  return direction != 0;
}

FlashCounter::FlashCounter() {
  for (int kind = 0; kind < kLightKinds; ++kind)
    for (int area = 0; area < kFlashAreas; ++area) {
      const int64_t pixels = PixelsOf(area);
      if (static_cast<LightKind>(kind) == LightKind::kLuminance)
        tracks_.push_back({TransitionFinder(kLuminanceStep * pixels, kDarkLimit * pixels), {}});
      else
        tracks_.push_back({TransitionFinder(kRedStep * pixels + 1, INT64_MAX), {}});
    }
}

FlashCount FlashCounter::WouldCount(int32_t time, const FrameLight& light) const {
  FlashCount worst;
  for (int kind = 0; kind < kLightKinds; ++kind)
    for (int area = 0; area < kFlashAreas; ++area) {
      const Track& track = TrackOf(kind, area);
      const auto inSecond = [time](const Span& s) {
        return s.completed <= time && int64_t{s.completed} > int64_t{time} - 1000;
      };
      const int count = static_cast<int>(std::count_if(track.spans.begin(), track.spans.end(), inSecond)) +
                        (track.finder.Completes(light.sums[kind][area]) ? 1 : 0);
      if (count > worst.transitions) worst = {count, area, static_cast<LightKind>(kind)};
    }
  return worst;
}

FlashCount FlashCounter::WouldCountAnyDating(int32_t time, const FrameLight& light) const {
  FlashCount worst;
  const int64_t secondBegins = int64_t{time} - 1000;  // the second is later than this
  for (int kind = 0; kind < kLightKinds; ++kind)
    for (int area = 0; area < kFlashAreas; ++area) {
      const Track& track = TrackOf(kind, area);
      const bool completes = track.finder.Completes(light.sums[kind][area]);
      int count = completes ? 1 : 0;
      if (!track.spans.empty()) {
        // Every transition before the latest has its span settled. The latest may still reach
        // further unless this frame completes the next one.
        const auto settled = [secondBegins](const Span& s) { return s.extreme > secondBegins; };
        count += static_cast<int>(std::count_if(track.spans.begin(), track.spans.end() - 1, settled));
        count += !completes || settled(track.spans.back()) ? 1 : 0;
      }
      if (count > worst.transitions) worst = {count, area, static_cast<LightKind>(kind)};
    }
  return worst;
}

FlashCount FlashCounter::Take(int32_t time, const FrameLight& light) {
  const FlashCount count = WouldCount(time, light);
  for (int kind = 0; kind < kLightKinds; ++kind)
    for (int area = 0; area < kFlashAreas; ++area) {
      Track& track = TrackOf(kind, area);
      const int64_t value = light.sums[kind][area];
      const bool reaches = track.finder.Reaches(value);
      if (track.finder.Take(value)) {
        track.spans.push_back({time, time});
      } else if (reaches && !track.spans.empty()) {
        track.spans.back().extreme = time;
      }
      // Older transitions can no longer share a second with the frames to come.
      while (track.spans.size() > 1 && int64_t{track.spans.front().extreme} <= int64_t{time} - 1000)
        track.spans.pop_front();
    }
  return count;
}
