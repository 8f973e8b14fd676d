#include "demo/flash_rule.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <memory>

#include "quorvel4/font.h"
#include "quorvel4/palette.h"

namespace {

constexpr int kGlyphPixels = kGlyphWidth * kGlyphHeight;  // 96
constexpr int kQuartersAcross = kScreenWidth - kQuarterWidth + 1;
constexpr int kFieldsAcross = kScreenWidth - kFieldWidth + 1;

// The thresholds, in the units of one pixel's light.
constexpr int64_t kLuminanceStep = 100000;  // 0.1 of white
constexpr int64_t kDarkLimit = 800000;      // 0.8 of white
constexpr int64_t kRedStep = 20000;         // 20
constexpr int32_t kSecondMs = 1000;

// The sRGB curve: an 8-bit level as linear light, 0 to 1.
double LinearLevel(uint8_t level) {
  const double c = level / 255.0;
  return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

const std::vector<CellArea>& Areas() {
  static const std::vector<CellArea> areas = [] {
    std::vector<CellArea> list{{0, 0, kScreenWidth, kScreenHeight}};
    for (int y = 0; y + kQuarterHeight <= kScreenHeight; ++y)
      for (int x = 0; x < kQuartersAcross; ++x) list.push_back({x, y, kQuarterWidth, kQuarterHeight});
    for (int y = 0; y + kFieldHeight <= kScreenHeight; ++y)
      for (int x = 0; x < kFieldsAcross; ++x) list.push_back({x, y, kFieldWidth, kFieldHeight});
    return list;
  }();
  return areas;
}

int64_t PixelsOf(int area) {
  const CellArea& a = Areas()[area];
  return int64_t{a.width} * a.height * kGlyphPixels;
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

// For a glyph drawn where another was: how many pixels were lit in both, lit only before, lit
// only now. The rest were unlit in both.
struct GlyphOverlap {
  uint8_t both, before, now;
};
const std::vector<GlyphOverlap>& GlyphOverlaps() {
  static const std::vector<GlyphOverlap> table = [] {
    std::vector<GlyphOverlap> pairs(256 * 256);
    for (int a = 0; a < 256; ++a)
      for (int b = 0; b < 256; ++b) {
        int both = 0, before = 0, now = 0;
        for (int row = 0; row < kGlyphHeight; ++row) {
          const unsigned x = Glyph(static_cast<unsigned char>(a))[row], y = Glyph(static_cast<unsigned char>(b))[row];
          both += std::popcount(x & y), before += std::popcount(x & ~y & 0xFFu), now += std::popcount(~x & y & 0xFFu);
        }
        pairs[a << 8 | b] = {static_cast<uint8_t>(both), static_cast<uint8_t>(before), static_cast<uint8_t>(now)};
      }
    return pairs;
  }();
  return table;
}

using ColourValues = std::array<int64_t, 16>;
const std::array<ColourValues, kLightKinds>& PaletteLight() {
  static const std::array<ColourValues, kLightKinds> light = [] {
    std::array<ColourValues, kLightKinds> table{};
    for (unsigned colour = 0; colour < 16; ++colour) {
      table[0][colour] = ColourLuminance(colour);
      table[1][colour] = ColourRedValue(colour);
    }
    return table;
  }();
  return light;
}

// Pixels of a cell whose light of one kind differs from the cell drawn before it.
int ChangedPixels(const ColourValues& value, Cell before, Cell now) {
  const GlyphOverlap& o = GlyphOverlaps()[CellCharacter(before) << 8 | CellCharacter(now)];
  const int neither = kGlyphPixels - o.both - o.before - o.now;
  const int64_t fb = value[CellForeground(before)], bb = value[CellBackground(before)];
  const int64_t fn = value[CellForeground(now)], bn = value[CellBackground(now)];
  return (fb != fn ? o.both : 0) + (fb != bn ? o.before : 0) + (bb != fn ? o.now : 0) + (bb != bn ? neither : 0);
}

// Sums over rectangles of cells from a table of sums from the top-left corner.
template <typename T>
using SumTable = std::array<std::array<T, kScreenWidth + 1>, kScreenHeight + 1>;
template <typename T>
T RectangleSum(const SumTable<T>& sums, const CellArea& a) {
  return sums[a.y + a.height][a.x + a.width] - sums[a.y][a.x + a.width] - sums[a.y + a.height][a.x] + sums[a.y][a.x];
}
template <typename T>
void AddRow(SumTable<T>& sums, int y, const std::array<T, kScreenWidth>& row) {
  T along = 0;
  for (int x = 0; x < kScreenWidth; ++x) {
    along += row[x];
    sums[y + 1][x + 1] = sums[y][x + 1] + along;
  }
}

// A queue that keeps its storage: the counter pushes and pops on every frame.
template <typename T>
class Ring {
 public:
  bool empty() const { return head_ == tail_; }
  size_t size() const { return tail_ - head_; }
  const T& operator[](size_t i) const { return items_[(head_ + i) & (items_.size() - 1)]; }
  const T& front() const { return (*this)[0]; }
  const T& back() const { return (*this)[size() - 1]; }
  T& back() { return items_[(tail_ - 1) & (items_.size() - 1)]; }
  void push_back(const T& item) {
    if (size() == items_.size()) Grow();
    items_[tail_++ & (items_.size() - 1)] = item;
  }
  void pop_front() { ++head_; }
  void clear() { head_ = tail_ = 0; }

 private:
  void Grow() {
    std::vector<T> bigger(std::max<size_t>(8, items_.size() * 2));
    for (size_t i = 0; i < size(); ++i) bigger[i] = (*this)[i];
    tail_ = size(), head_ = 0;
    items_ = std::move(bigger);
  }
  std::vector<T> items_;
  size_t head_ = 0, tail_ = 0;
};

// Whether a time lies in the second (or the span) up to and including `now`.
bool Within(int64_t time, int64_t now, int64_t span) { return time > now - span; }

// An area and kind's thresholds, in its sums' units.
struct AreaRule {
  int64_t step, darkLimit;  // darkLimit INT64_MAX: none
  int32_t quarterPixels;     // the least changed pixels that make a frame's change count
};

// The established reading of one area and kind.
struct Established {
  struct Change {
    int32_t time;
    int64_t amount;
  };
  // Frames in a row with 4 to 6 transitions, by their numbers in the FrameLog.
  struct BandRun {
    int64_t first, last;
  };
  Ring<Change> run;  // the accumulation's changes of the last second, all of one sign
  int64_t accumulation = 0;  // their sum, as the frame before left it
  Ring<int32_t> transitions;  // of the last second
  Ring<BandRun> band;         // of the last 5 s
};

// The frames of the last 5 s, numbered in order, each with its weight for the sustained rule
// (the time since the frame before) and the weight of all frames before it: the weight of
// any run of frames is then one subtraction, and an area keeps only its runs.
struct FrameLog {
  struct Frame {
    int32_t time, weight;
    int64_t before;
  };
  Ring<Frame> frames;
  int64_t first = 0, next = 0;  // the numbers of frames[0] and of the frame to come
  int64_t total = 0;            // the weight of every frame so far

  const Frame& At(int64_t n) const { return frames[static_cast<size_t>(n - first)]; }
  // The first frame inside the 5 s up to `time`, or `next`.
  int64_t FirstWithin(int32_t time) const {
    int64_t n = first;
    while (n < next && !Within(At(n).time, time, kSustainedWindowMs)) ++n;
    return n;
  }
  void Add(int32_t time, int32_t weight) {
    frames.push_back({time, weight, total});
    total += weight;
    ++next;
    while (frames.size() > 1 && !Within(frames.front().time, time, kSustainedWindowMs)) frames.pop_front(), ++first;
  }
  // The weight of the band frames of `runs` from frame `from` on (earlier ones have left).
  int64_t Weight(const Ring<Established::BandRun>& runs, int64_t from) const {
    int64_t sum = 0;
    for (size_t i = 0; i < runs.size(); ++i) {
      const int64_t a = std::max(runs[i].first, from), b = runs[i].last;
      if (b >= a) sum += At(b).before + At(b).weight - At(a).before;
    }
    return sum;
  }
};

// What the next frame makes of an established accumulation.
struct EstablishedStep {
  int64_t accumulation;
  size_t expired;  // the run's changes that leave it
  bool transition;
};

EstablishedStep NextEstablished(const Established& s, const AreaRule& rule, int32_t time, int64_t change, int64_t before,
                                int64_t now) {
  EstablishedStep step{s.accumulation, 0, false};
  while (step.expired < s.run.size() && !Within(s.run[step.expired].time, time, kSecondMs))
    step.accumulation -= s.run[step.expired++].amount;
  if (change != 0) {
    const bool joins = step.accumulation == 0 || (step.accumulation > 0) == (change > 0);
    step.accumulation = joins ? step.accumulation + change : change;
  }
  const auto reached = [&](int64_t a) { return a >= rule.step || -a >= rule.step; };
  const int64_t last = s.accumulation;
  const bool alreadyThere = reached(last) && (last > 0) == (step.accumulation > 0);
  step.transition = change != 0 && reached(step.accumulation) && !alreadyThere && std::min(before, now) < rule.darkLimit;
  return step;
}

size_t CountWithin(const Ring<int32_t>& times, int32_t now) {
  size_t n = times.size();
  for (size_t i = 0; i < times.size() && !Within(times[i], now, kSecondMs); ++i) --n;
  return n;
}

bool InBand(size_t transitions) { return transitions >= kSustainedTransitions && transitions < kTooManyTransitions; }

// The most time that frames with 4 to 6 transitions could fill in 5 s, if no transition came
// after a new one at `time` that makes 4 or more in its second: every frame until the fourth
// latest transition leaves the second is one of them. The frame at `time`, of weight
// `weight`, is the log's next.
int64_t SustainedAhead(const Established& s, const FrameLog& log, int32_t time, int32_t weight) {
  const int32_t fourth = s.transitions[s.transitions.size() + 1 - kSustainedTransitions];  // the fourth latest
  const int64_t last = int64_t{fourth} + kSecondMs - 1;  // the last time it still counts
  // Filled time at a frame u: the band frames so far, this one among them, later than u - 5 s,
  // and u - time of the frames to come. Most often even all of today's band and every frame to
  // come are less than the limit.
  const int64_t from = log.FirstWithin(time);
  const int64_t now = log.Weight(s.band, from) + weight;
  if (now + (last - time) < kSustainedMs) return now + (last - time);
  // Otherwise exactly: the filled time grows with u except where a band frame leaves the
  // window, so its most is just before one leaves (at its time + 5 s - 1 ms), or at the last.
  // The band frames come in order of time, so those still inside at the last are the latest.
  const auto timeOf = [&](int64_t n) { return n == log.next ? time : log.At(n).time; };
  const auto weightOf = [&](int64_t n) { return n == log.next ? weight : log.At(n).weight; };
  int64_t left = now, most = 0, atLast = -1;  // `left`: the band weight from frame n on
  const auto visit = [&](int64_t n) {
    const int64_t u = int64_t{timeOf(n)} + kSustainedWindowMs - 1;
    if (u >= time && u < last) most = std::max(most, left + (u - time));
    if (atLast < 0 && Within(timeOf(n), last, kSustainedWindowMs)) atLast = left;
    left -= weightOf(n);
  };
  for (size_t i = 0; i < s.band.size(); ++i)
    for (int64_t n = std::max(s.band[i].first, from); n <= s.band[i].last; ++n) visit(n);
  visit(log.next);  // inside at the last, which is less than a second after it
  return std::max(most, atLast + (last - time));
}

// The peaks-and-valleys readings of one area and kind.
struct Peaks {
  explicit Peaks(const AreaRule& rule) : finder(rule.step, rule.darkLimit) {}
  // One transition, from the frame that completed it to the frame that reached its far extreme.
  struct Span {
    int32_t completed, extreme;
  };
  TransitionFinder finder;
  // The latest transition, and those whose span reaches into the last second: every
  // transition completed in the last second is among them.
  Ring<Span> spans;

  // The spans follow one another: each is completed no earlier than the one before reached its
  // extreme, so both their completions and their extremes rise along the queue, and the spans
  // that fall out of a second are always at its front.
  int AtCompletion(int32_t time, int64_t value) const {
    size_t out = 0;
    while (out < spans.size() && !Within(spans[out].completed, time, kSecondMs)) ++out;
    return static_cast<int>(spans.size() - out) + (finder.Completes(value) ? 1 : 0);
  }
  // Every transition whose span touches the second, however it is dated; the latest may still
  // reach further unless this frame completes the next one, so it is counted as touching.
  int AnyDating(int32_t time, int64_t value) const {
    const bool completes = finder.Completes(value);
    if (spans.empty()) return completes ? 1 : 0;
    size_t out = 0;
    while (out + 1 < spans.size() && !Within(spans[out].extreme, time, kSecondMs)) ++out;
    const int settled = static_cast<int>(spans.size() - 1 - out);
    return settled + (completes ? 1 : 0) + (!completes || Within(spans.back().extreme, time, kSecondMs) ? 1 : 0);
  }
  void Take(int32_t time, int64_t value) {
    const bool reaches = finder.Reaches(value);
    if (finder.Take(value)) {
      spans.push_back({time, time});
    } else if (reaches && !spans.empty()) {
      spans.back().extreme = time;
    }
    // Older transitions can no longer share a second with the frames to come.
    while (spans.size() > 1 && !Within(spans.front().extreme, time, kSecondMs)) spans.pop_front();
  }
};

void KeepWorse(FlashCount& worst, const FlashCount& c) {
  if (c.IsWorseThan(worst)) worst = c;
}

}  // namespace

struct FlashCounter::Tracks {
  std::vector<AreaRule> rules;  // kind * kFlashAreas + area
  std::vector<Established> established;
  std::vector<Peaks> peaks;
  std::array<std::vector<int64_t>, kLightKinds> lastSums;
  FrameLog log;
  bool started = false;
  int32_t lastTime = 0;

  Tracks() {
    for (int kind = 0; kind < kLightKinds; ++kind)
      for (int area = 0; area < kFlashAreas; ++area) {
        const int64_t pixels = PixelsOf(area);
        const bool luminance = kind == static_cast<int>(LightKind::kLuminance);
        rules.push_back({(luminance ? kLuminanceStep : kRedStep) * pixels, luminance ? kDarkLimit * pixels : INT64_MAX,
                         static_cast<int32_t>(pixels / 4)});
        peaks.emplace_back(rules.back());
      }
    established.resize(rules.size());
    // A first frame changes nothing, so what it is compared with does not matter.
    for (auto& sums : lastSums) sums.assign(kFlashAreas, 0);
    // The tables of the glyphs' pixels take milliseconds to make: before the show, not in its
    // first frame.
    GlyphOverlaps();
    GlyphCoverage();
    PaletteLight();
  }

  int64_t ChangeOf(int kind, int area, const FrameLight& light) const {
    if (!started || light.changed[kind][area] < rules[kind * kFlashAreas + area].quarterPixels) return 0;
    return light.sums[kind][area] - lastSums[kind][area];
  }
  // A frame's share of the sustained rule's 5 s: the time since the frame before. More than the
  // window is never needed, and would not fit.
  int32_t Weight(int32_t time) const {
    if (!started) return 0;
    return static_cast<int32_t>(std::clamp<int64_t>(int64_t{time} - lastTime, 0, kSustainedWindowMs));
  }
};

const char* FlashReadingName(FlashReading reading) {
  switch (reading) {
    case FlashReading::kEstablished:
      return "established";
    case FlashReading::kPeaksAtCompletion:
      return "peaks at completion";
    case FlashReading::kPeaksAnyDating:
      return "peaks any dating";
  }
  return "";
}

CellArea FlashArea(int area) { return Areas()[area]; }

std::string FlashAreaName(int area) {
  if (area == 0) return "whole screen";
  const CellArea a = FlashArea(area);
  return std::string(a.width == kQuarterWidth ? "quarter" : "field") + " at columns " + std::to_string(a.x) + "-" +
         std::to_string(a.x + a.width - 1) + ", rows " + std::to_string(a.y) + "-" + std::to_string(a.y + a.height - 1);
}

std::string FlashAreaShortName(int area) {
  if (area == 0) return "screen";
  const CellArea a = FlashArea(area);
  return std::string(a.width == kQuarterWidth ? "quarter " : "field ") + std::to_string(a.x) + "," + std::to_string(a.y);
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

FrameLight MeasureLight(const Cell* cells, const Cell* before) {
  const auto& coverage = GlyphCoverage();
  const auto& colours = PaletteLight();
  // Tables of sums from the top-left corner make every area's sum four look-ups.
  static thread_local std::array<SumTable<int64_t>, kLightKinds> light;
  static thread_local std::array<SumTable<int32_t>, kLightKinds> changed;
  for (int y = 0; y < kScreenHeight; ++y) {
    std::array<std::array<int64_t, kScreenWidth>, kLightKinds> rowLight;
    std::array<std::array<int32_t, kScreenWidth>, kLightKinds> rowChanged;
    for (int x = 0; x < kScreenWidth; ++x) {
      const Cell cell = cells[y * kScreenWidth + x];
      const int lit = coverage[CellCharacter(cell)], unlit = kGlyphPixels - lit;
      const bool same = before != nullptr && before[y * kScreenWidth + x] == cell;
      for (int kind = 0; kind < kLightKinds; ++kind) {
        rowLight[kind][x] = lit * colours[kind][CellForeground(cell)] + unlit * colours[kind][CellBackground(cell)];
        rowChanged[kind][x] = same ? 0 : before == nullptr ? kGlyphPixels : ChangedPixels(colours[kind], before[y * kScreenWidth + x], cell);
      }
    }
    for (int kind = 0; kind < kLightKinds; ++kind) {
      AddRow(light[kind], y, rowLight[kind]);
      AddRow(changed[kind], y, rowChanged[kind]);
    }
  }
  FrameLight result;
  for (int kind = 0; kind < kLightKinds; ++kind) {
    result.sums[kind].resize(kFlashAreas);
    result.changed[kind].resize(kFlashAreas);
    for (int area = 0; area < kFlashAreas; ++area) {
      result.sums[kind][area] = RectangleSum(light[kind], Areas()[area]);
      result.changed[kind][area] = RectangleSum(changed[kind], Areas()[area]);
    }
  }
  return result;
}

FrameLight SameLightAgain(const FrameLight& light) {
  FrameLight again;
  again.sums = light.sums;
  for (int kind = 0; kind < kLightKinds; ++kind) again.changed[kind].assign(kFlashAreas, 0);
  return again;
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

bool FlashVerdict::Fails() const {
  return std::any_of(readings.begin(), readings.end(), [](const FlashCount& c) { return c.fails; });
}

FlashCounter::FlashCounter() : tracks_(new Tracks) {}
FlashCounter::~FlashCounter() { delete tracks_; }

bool FlashCounter::WouldFail(int32_t time, const FrameLight& light) const {
  const Tracks& t = *tracks_;
  const int32_t weight = t.Weight(time);
  for (int kind = 0; kind < kLightKinds; ++kind)
    for (int area = 0; area < kFlashAreas; ++area) {
      const int track = kind * kFlashAreas + area;
      const int64_t value = light.sums[kind][area];
      if (t.peaks[track].AnyDating(time, value) >= kTooManyTransitions) return true;
      const Established& s = t.established[track];
      // Without a change there is no transition: the counts can only fall.
      const int64_t change = t.ChangeOf(kind, area, light);
      if (change == 0) continue;
      const EstablishedStep step = NextEstablished(s, t.rules[track], time, change, t.lastSums[kind][area], value);
      const size_t count = CountWithin(s.transitions, time) + (step.transition ? 1 : 0);
      if (count >= kTooManyTransitions) return true;
      if (step.transition && count >= kSustainedTransitions &&
          SustainedAhead(s, t.log, time, weight) >= kSustainedMs)
        return true;
    }
  return false;
}

FlashVerdict FlashCounter::Take(int32_t time, const FrameLight& light) {
  Tracks& t = *tracks_;
  FlashVerdict verdict;
  t.log.Add(time, t.Weight(time));
  const int64_t frame = t.log.next - 1, from = t.log.FirstWithin(time);
  for (int kind = 0; kind < kLightKinds; ++kind)
    for (int area = 0; area < kFlashAreas; ++area) {
      const int track = kind * kFlashAreas + area;
      const int64_t value = light.sums[kind][area];
      const LightKind k = static_cast<LightKind>(kind);
      Peaks& peaks = t.peaks[track];
      const int atCompletion = peaks.AtCompletion(time, value), anyDating = peaks.AnyDating(time, value);
      KeepWorse(verdict.readings[1], {atCompletion, area, k, atCompletion >= kTooManyTransitions, false});
      KeepWorse(verdict.readings[2], {anyDating, area, k, anyDating >= kTooManyTransitions, false});
      peaks.Take(time, value);

      Established& s = t.established[track];
      const int64_t change = t.ChangeOf(kind, area, light);
      if (change == 0 && s.run.empty() && s.transitions.empty() && s.band.empty()) continue;
      const EstablishedStep step = NextEstablished(s, t.rules[track], time, change, t.lastSums[kind][area], value);
      for (size_t i = 0; i < step.expired; ++i) s.run.pop_front();
      if (change != 0 && step.accumulation == change) s.run.clear();  // a new accumulation
      if (change != 0) s.run.push_back({time, change});
      s.accumulation = step.accumulation;
      if (step.transition) s.transitions.push_back(time);
      while (!s.transitions.empty() && !Within(s.transitions.front(), time, kSecondMs)) s.transitions.pop_front();
      while (!s.band.empty() && s.band.front().last < from) s.band.pop_front();
      const size_t count = s.transitions.size();
      if (InBand(count)) {
        if (!s.band.empty() && s.band.back().last == frame - 1)
          s.band.back().last = frame;
        else
          s.band.push_back({frame, frame});
      }
      const bool sustained = count >= kSustainedTransitions && !s.band.empty() && t.log.Weight(s.band, from) >= kSustainedMs;
      const bool tooMany = count >= kTooManyTransitions;
      KeepWorse(verdict.readings[0], {static_cast<int>(count), area, k, tooMany || sustained, sustained && !tooMany});
    }
  for (int kind = 0; kind < kLightKinds; ++kind) t.lastSums[kind] = light.sums[kind];
  t.started = true;
  t.lastTime = time;
  return verdict;
}
