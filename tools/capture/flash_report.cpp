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

bool TooMany(const FlashCount& count) { return count.transitions >= kTooManyTransitions; }

std::string Describe(const FlashCount& count) {
  return std::string(LightKindName(count.kind)) + ", " + FlashAreaName(count.area);
}

// The plot's geometry, in pixels.
constexpr int kPixelsPerSecond = 6;
constexpr int kPlotHeight = 144;
constexpr int kLeft = 40, kRight = 24, kTop = 20, kBottom = 18;
constexpr int kFlashesShown = 16;  // the bars' scale; taller ones are cut

struct Colour {
  uint8_t r, g, b;
};
constexpr Colour kBackground{0, 0, 0}, kAxis{0xAA, 0xAA, 0xAA}, kScene{0x33, 0x33, 0x55}, kBar{0x55, 0xFF, 0x55},
    kFailBar{0xFF, 0x55, 0x55}, kLimit{0xFF, 0xFF, 0x55}, kText{0xFF, 0xFF, 0xFF};

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
  const FlashCount count = counter_.Take(time, MeasureLight(cells));
  if (frames_++ == 0) firstTime_ = time;
  lastTime_ = time;
  FlashCount& second = seconds_[SecondOf(time)];
  if (count.transitions > second.transitions) second = count;
  return true;
}

void FlashReportWriter::PrintReport() const {
  int failing = 0;
  FlashCount worst;
  int32_t worstSecond = 0;
  for (const auto& [second, count] : seconds_) {
    if (count.transitions > worst.transitions) worst = count, worstSecond = second;
    if (!TooMany(count)) continue;
    if (failing++ == 0) std::fprintf(report_, "second  flashes  where\n");
    std::fprintf(report_, "%6d  %7.1f  %s\n", second, count.Flashes(), Describe(count).c_str());
  }
  std::fprintf(report_, "%zu frames from %d to %d ms: ", frames_, firstTime_, lastTime_);
  if (failing == 0)
    std::fprintf(report_, "no second has more than three flashes");
  else
    std::fprintf(report_, "%d of %zu seconds have more than three flashes", failing, seconds_.size());
  if (worst.transitions > 0)
    std::fprintf(report_, " (the most: %.1f, in the second from %d s, %s)", worst.Flashes(), worstSecond,
                 Describe(worst).c_str());
  std::fprintf(report_, "\n");
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

std::vector<uint8_t> DrawFlashPlot(const std::map<int32_t, FlashCount>& seconds, const std::vector<int32_t>& bounds,
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
  for (const auto& [second, count] : seconds) {
    const int x = kLeft + (second - first) * kPixelsPerSecond;
    const double shown = std::min(count.Flashes(), double{kFlashesShown});
    picture.Fill(x, yOf(shown), x + kPixelsPerSecond - 1, baseline, TooMany(count) ? kFailBar : kBar);
  }
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
  picture.Text(kLeft, 4, "flashes per second (the most of any area); limit 3; scene bounds in blue", kText);
  return picture.Take();
}
