#include "flash_report.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "basic_writers.h"
#include "quorvel4/font.h"

namespace {

// Whole seconds of show time, rounded down (a frame at -0.5 s belongs to second -1).
int32_t SecondOf(int32_t time) {
  return static_cast<int32_t>(time >= 0 ? time / 1000 : -((999 - int64_t{time}) / 1000));  // no overflow at the least
}

std::string Describe(const FlashCount& count) {
  return std::string(LightKindName(count.kind)) + ", " + FlashAreaName(count.area);
}

// "18, 73-84, 87-90": whole seconds in order, runs of them as ranges.
std::string SecondsText(const std::vector<int32_t>& seconds) {
  std::string text;
  for (size_t i = 0; i < seconds.size();) {
    size_t j = i;
    while (j + 1 < seconds.size() && seconds[j + 1] == seconds[j] + 1) ++j;
    char range[32];
    if (j > i)
      std::snprintf(range, sizeof range, "%s%d-%d", text.empty() ? "" : ", ", seconds[i], seconds[j]);
    else
      std::snprintf(range, sizeof range, "%s%d", text.empty() ? "" : ", ", seconds[i]);
    text += range;
    i = j + 1;
  }
  return text;
}

// The plot's geometry, in pixels.
constexpr int kPixelsPerSecond = 6;
constexpr int kPlotHeight = 144;
constexpr int kLeft = 40, kRight = 24, kTop = 60, kBottom = 32;
constexpr int kFlashesShown = 16;  // the bars' scale; taller ones are cut

struct Colour {
  uint8_t r, g, b;
};
constexpr Colour kBackground{0, 0, 0}, kAxis{0xAA, 0xAA, 0xAA}, kScene{0x33, 0x33, 0x55}, kBar{0x55, 0xFF, 0x55},
    kFailBar{0xFF, 0x55, 0x55}, kLimit{0xFF, 0xFF, 0x55}, kText{0xFF, 0xFF, 0xFF};
// The marks of each reading's failing seconds, in the order of FlashReading.
constexpr Colour kReadingMark[kFlashReadings] = {{0xFF, 0x55, 0x55}, {0xFF, 0x55, 0xFF}, {0xFF, 0xAA, 0x00}};
constexpr const char* kReadingLetter[kFlashReadings] = {"E", "C", "A"};
constexpr int kMarkRows = 20, kMarkHeight = 6, kMarkPitch = 12;

class Picture {
 public:
  Picture(int width, int height) : width_(width), height_(height), rgb_(static_cast<size_t>(width) * height * 3) {}
  void Set(int x, int y, Colour c) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    uint8_t* p = &rgb_[(static_cast<size_t>(y) * width_ + x) * 3];
    p[0] = c.r, p[1] = c.g, p[2] = c.b;
  }
  void Fill(int x0, int y0, int x1, int y1, Colour c) {
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) Set(x, y, c);
  }
  // Text in the show's own 8 x 12 font, its top-left corner at (x, y).
  void Text(int x, int y, const std::string& text, Colour c) {
    for (size_t i = 0; i < text.size(); ++i) {
      const uint8_t* glyph = Glyph(static_cast<unsigned char>(text[i]));
      for (int row = 0; row < kGlyphHeight; ++row)
        for (int column = 0; column < kGlyphWidth; ++column)
          if ((glyph[row] >> column) & 1) Set(x + static_cast<int>(i) * kGlyphWidth + column, y + row, c);
    }
  }
  std::vector<uint8_t> Take() { return std::move(rgb_); }

 private:
  int width_, height_;
  std::vector<uint8_t> rgb_;
};

}  // namespace

FlashReportWriter::FlashReportWriter(std::string plotPath, FILE* report, std::vector<int32_t> sceneStarts)
    : plotPath_(std::move(plotPath)), report_(report), sceneStarts_(std::move(sceneStarts)) {}

bool FlashReportWriter::Write(int32_t time, const Cell* cells) {
  watch_.Take(time, cells);
  const FlashVerdict& verdict = watch_.Latest();
  if (frames_++ == 0) firstTime_ = time;
  lastTime_ = time;
  SecondReadings& second = seconds_[SecondOf(time)];
  for (int r = 0; r < kFlashReadings; ++r) {
    const FlashCount& c = verdict.readings[r];
    if (c.IsWorseThan(second[r])) second[r] = c;
  }
  return true;
}

void FlashReportWriter::PrintReport() const {
  bool header = false;
  for (const auto& [second, readings] : seconds_)
    for (int r = 0; r < kFlashReadings; ++r) {
      const FlashCount& c = readings[r];
      if (!c.fails) continue;
      if (!header) std::fprintf(report_, "second  reading                  flashes  where\n");
      header = true;
      char name[40];
      std::snprintf(name, sizeof name, "%s%s", FlashReadingName(static_cast<FlashReading>(r)), c.sustained ? " (4 s)" : "");
      std::fprintf(report_, "%6d  %-23s  %7.1f  %s\n", second, name, c.Flashes(), Describe(c).c_str());
    }
  size_t failingAny = 0;
  for (const auto& [second, readings] : seconds_)
    if (std::any_of(readings.begin(), readings.end(), [](const FlashCount& c) { return c.fails; })) ++failingAny;
  for (int r = 0; r < kFlashReadings; ++r) {
    std::vector<int32_t> failing;
    int sustained = 0;
    FlashCount most;
    int32_t mostSecond = 0;
    for (const auto& [second, readings] : seconds_) {
      const FlashCount& c = readings[r];
      if (c.fails) failing.push_back(second), sustained += c.sustained ? 1 : 0;
      if (c.transitions > most.transitions) most = c, mostSecond = second;
    }
    std::fprintf(report_, "%s: ", FlashReadingName(static_cast<FlashReading>(r)));
    if (failing.empty()) {
      std::fprintf(report_, "no second fails");
    } else {
      std::fprintf(report_, "%zu of %zu seconds fail", failing.size(), seconds_.size());
      if (sustained > 0) std::fprintf(report_, " (%d by the sustained rule alone)", sustained);
      std::fprintf(report_, ": %s", SecondsText(failing).c_str());
    }
    if (most.transitions > 0)
      std::fprintf(report_, "; the most: %.1f flashes, in the second from %d s, %s", most.Flashes(), mostSecond,
                   Describe(most).c_str());
    std::fprintf(report_, "\n");
  }
  std::fprintf(report_, "%zu frames from %d to %d ms: ", frames_, firstTime_, lastTime_);
  if (failingAny == 0)
    std::fprintf(report_, "no second fails any reading\n");
  else
    std::fprintf(report_, "%zu of %zu seconds fail a reading\n", failingAny, seconds_.size());
}

bool FlashReportWriter::Finish() {
  PrintReport();
  errno = 0;
  if (std::fflush(report_) != 0 || std::ferror(report_)) {
    error = std::string("cannot write the report: ") + (errno ? std::strerror(errno) : "write failed");
    return false;
  }
  if (plotPath_.empty() || seconds_.empty()) return true;
  const int64_t span = int64_t{seconds_.rbegin()->first} - seconds_.begin()->first + 1;
  if (span > kMostPlottedSeconds) {
    error = "cannot draw the plot " + plotPath_ + ": the frames span " + std::to_string(span) +
            " seconds, and a plot holds at most " + std::to_string(kMostPlottedSeconds);
    return false;
  }
  const std::vector<int32_t>& bounds = sceneStarts_;
  int width = 0, height = 0;
  const std::vector<uint8_t> rgb = DrawFlashPlot(seconds_, bounds, &width, &height);
  std::vector<uint8_t> file;
  return WritePngFile(plotPath_, width, height, rgb, &file, &error);
}

std::vector<uint8_t> DrawFlashPlot(const std::map<int32_t, FlashReportWriter::SecondReadings>& seconds, const std::vector<int32_t>& bounds,
                                   int* width, int* height) {
  const int32_t first = seconds.begin()->first, last = seconds.rbegin()->first;
  const int span = last - first + 1;
  *width = kLeft + span * kPixelsPerSecond + kRight;
  *height = kTop + kPlotHeight + kBottom;
  Picture picture(*width, *height);
  picture.Fill(0, 0, *width, *height, kBackground);
  const int baseline = kTop + kPlotHeight;
  const auto xOfMs = [&](int64_t ms) { return kLeft + static_cast<int>((ms - int64_t{first} * 1000) * kPixelsPerSecond / 1000); };
  const auto yOf = [&](double flashes) { return baseline - static_cast<int>(std::lround(flashes * kPlotHeight / kFlashesShown)); };

  for (int32_t bound : bounds)
    if (bound >= int64_t{first} * 1000 && bound < (int64_t{last} + 1) * 1000)
      picture.Fill(xOfMs(bound), kTop, xOfMs(bound) + 1, baseline, kScene);
  for (const auto& [second, readings] : seconds) {
    const int x = kLeft + (second - first) * kPixelsPerSecond;
    double flashes = 0;
    bool fails = false;
    for (int r = 0; r < kFlashReadings; ++r) {
      flashes = std::max(flashes, readings[r].Flashes());
      fails = fails || readings[r].fails;
      const int y = kMarkRows + r * kMarkPitch;
      if (readings[r].fails) picture.Fill(x, y, x + kPixelsPerSecond - 1, y + kMarkHeight, kReadingMark[r]);
    }
    const double shown = std::min(flashes, double{kFlashesShown});
    picture.Fill(x, yOf(shown), x + kPixelsPerSecond - 1, baseline, fails ? kFailBar : kBar);
  }
  for (int r = 0; r < kFlashReadings; ++r)
    picture.Text(kLeft - 12, kMarkRows + r * kMarkPitch - 3, kReadingLetter[r], kReadingMark[r]);
  for (int x = kLeft; x < *width - kRight; x += 4) picture.Fill(x, yOf(3), x + 2, yOf(3) + 1, kLimit);
  picture.Fill(kLeft - 1, kTop, kLeft, baseline + 1, kAxis);
  picture.Fill(kLeft - 1, baseline, *width - kRight, baseline + 1, kAxis);

  for (int flashes : {0, 3, kFlashesShown}) picture.Text(kLeft - 28, yOf(flashes) - 6, std::to_string(flashes), kText);
  for (int32_t s = first; s <= last + 1; ++s)
    if (s % 10 == 0) {
      picture.Fill(kLeft + (s - first) * kPixelsPerSecond, baseline, kLeft + (s - first) * kPixelsPerSecond + 1, baseline + 4,
                   kAxis);
      const std::string label = std::to_string(s) + (s == first || s % 60 == 0 ? " s" : "");
      picture.Text(kLeft + (s - first) * kPixelsPerSecond - 4, baseline + 5, label, kText);
    }
  picture.Text(kLeft, 4, "flashes per second (the most of any area and reading); limit 3; scene bounds in blue", kText);
  picture.Text(kLeft, baseline + 18, "failing seconds: E established, C peaks at completion, A peaks any dating", kText);
  return picture.Take();
}
