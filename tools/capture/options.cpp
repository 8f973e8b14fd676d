#include "options.h"

#include "demo/number_text.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <optional>

namespace {

constexpr size_t kMaxFrames = 1000000;

constexpr const char* kUsage =
    "usage: capture --seed N [--data DIR] --times TIMES --format FORMAT --out PATH [--fps F] [--scale S]\n"
    "  FORMAT  cells | png | ansi | mp4 | gif | cast\n"
    "  TIMES   T0:T1:STEP, T,T,... or T0:T1 (the frame nearest every 1/F s from T0 up to T1);\n"
    "          mp4 and gif take T0:T1 only, cast needs increasing times\n"
    "  --fps   frames a second for T0:T1 (mp4 60, gif 25 and dividing 100, cast 30, others 60)\n"
    "  --scale whole-number enlargement for mp4 (default 2) and gif (default 1), 1 to 8\n"
    "  --data  the folder of the pictures and the music; without it data/ in the working\n"
    "          directory, else beside the program, else the installed one (QVL_DATA_DIR overrides)\n"
    "  --help     show this help\n"
    "  --version  show the version and the back ends built in\n";

[[noreturn]] void UsageError(const std::string& problem) {
  std::fprintf(stderr, "capture: %s\n%s", problem.c_str(), kUsage);
  std::exit(2);
}

int32_t ParseTime(const std::string& text) {
  const auto value = ParseMilliseconds(text);
  if (!value) UsageError("not a time in milliseconds: \"" + text + "\"");
  return *value;
}

int ParseSmallNumber(const std::string& name, const std::string& text, int lowest, int highest) {
  const auto value = ParseWholeNumber(text);
  if (!value || *value < lowest || *value > highest)
    UsageError(name + " needs a whole number from " + std::to_string(lowest) + " to " + std::to_string(highest));
  return static_cast<int>(*value);
}

bool IsVideo(Format format) { return format == Format::kMp4 || format == Format::kGif; }

std::vector<int32_t> StepTimes(int64_t first, int64_t last, int64_t step) {
  if (step <= 0) UsageError("the step of --times must be positive");
  if (last < first) UsageError("--times T0:T1:STEP needs T0 <= T1");
  if ((last - first) / step + 1 > static_cast<int64_t>(kMaxFrames)) UsageError("--times asks for too many frames");
  std::vector<int32_t> times;
  for (int64_t t = first; t <= last; t += step) times.push_back(static_cast<int32_t>(t));
  return times;
}

// Frame k of a range at `fps` frames a second shows the show time nearest k / fps seconds
// after `first`; halves round up.
int64_t FrameTime(int32_t first, int64_t frame, int fps) {
  return first + (frame * 2000 + fps) / (2 * static_cast<int64_t>(fps));
}

std::vector<int32_t> RateTimes(int32_t first, int32_t last, int fps) {
  if (last < first) UsageError("--times T0:T1 needs T0 <= T1");
  if ((static_cast<int64_t>(last) - first) * fps / 1000 + 1 > static_cast<int64_t>(kMaxFrames))
    UsageError("--times asks for too many frames");
  std::vector<int32_t> times;
  for (int64_t k = 0, t; (t = FrameTime(first, k, fps)) <= last; ++k) times.push_back(static_cast<int32_t>(t));
  return times;
}

std::vector<int32_t> ParseTimes(const std::string& text, const Options& options) {
  const std::vector<std::string> range = SplitText(text, ':');
  const bool rangeOnly = IsVideo(options.format);
  if (range.size() == 2) return RateTimes(ParseTime(range[0]), ParseTime(range[1]), options.fps);
  if (rangeOnly)
    UsageError("--format " + options.formatName + " takes --times T0:T1 (the frame rate --fps sets the step)");
  if (range.size() == 3) return StepTimes(ParseTime(range[0]), ParseTime(range[1]), ParseTime(range[2]));
  if (range.size() != 1) UsageError("--times is T0:T1:STEP, T0:T1 or a comma-separated list");
  std::vector<int32_t> times;
  for (const std::string& part : SplitText(text, ',')) times.push_back(ParseTime(part));
  if (times.size() > kMaxFrames) UsageError("--times asks for too many frames");
  return times;
}

std::optional<Format> FormatNamed(const std::string& name) {
  if (name == "cells") return Format::kCells;
  if (name == "png") return Format::kPng;
  if (name == "ansi") return Format::kAnsi;
  if (name == "mp4") return Format::kMp4;
  if (name == "gif") return Format::kGif;
  if (name == "cast") return Format::kCast;
  return std::nullopt;
}

int DefaultFps(Format format) {
  switch (format) {
    case Format::kGif: return 25;
    case Format::kCast: return 30;
    default: return 60;
  }
}

// Checks what depends on the format once every option is known.
void CheckFormatRules(Options& options, bool haveScale) {
  if (options.format == Format::kGif && (100 % options.fps != 0 || options.fps > 50))
    UsageError("--format gif needs an --fps that divides 100 (1, 2, 4, 5, 10, 20, 25 or 50): its frame delays are "
               "whole hundredths of a second");
  if (haveScale && !IsVideo(options.format)) UsageError("--scale applies to mp4 and gif only");
  if (!haveScale) options.scale = options.format == Format::kMp4 ? 2 : 1;
  if (options.format == Format::kMp4 && !options.times.empty() && options.times.front() < 0)
    UsageError("--format mp4 needs T0 >= 0: the music starts at 0");
  if (options.format == Format::kCast)
    for (size_t i = 1; i < options.times.size(); ++i)
      if (options.times[i] <= options.times[i - 1]) UsageError("--format cast needs increasing --times");
}

}  // namespace

Options ParseOptions(int argc, char** argv, const std::string& defaultDataDir) {
  Options options;
  options.dataDir = defaultDataDir;
  bool haveSeed = false, haveScale = false;
  std::string timesText;
  bool haveTimes = false;
  for (int i = 1; i < argc; ++i) {
    const std::string name = argv[i];
    if (name == "--help" || name == "-h") {
      std::fputs(kUsage, stdout);
      std::exit(0);
    }
    if (i + 1 >= argc) UsageError("missing value after " + name);
    const std::string value = argv[++i];
    if (name == "--seed") {
      const auto seed = ParseWholeNumber(value);
      if (!seed || *seed < 0 || *seed > UINT32_MAX) UsageError("--seed needs a number from 0 to 4294967295");
      options.seed = static_cast<uint32_t>(*seed);
      haveSeed = true;
    } else if (name == "--data") {
      options.dataDir = value;
    } else if (name == "--times") {
      timesText = value;
      haveTimes = true;
    } else if (name == "--format") {
      const auto format = FormatNamed(value);
      if (!format) UsageError("unknown format \"" + value + "\"");
      options.format = *format;
      options.formatName = value;
    } else if (name == "--out") {
      options.out = value;
    } else if (name == "--fps") {
      options.fps = ParseSmallNumber("--fps", value, 1, 1000);
    } else if (name == "--scale") {
      options.scale = ParseSmallNumber("--scale", value, 1, 8);
      haveScale = true;
    } else {
      UsageError("unknown option " + name);
    }
  }
  if (!haveSeed) UsageError("--seed is required");
  if (!haveTimes) UsageError("--times is required");
  if (options.formatName.empty()) UsageError("--format is required");
  if (options.out.empty()) UsageError("--out is required");
  if (options.fps == 0) options.fps = DefaultFps(options.format);
  options.times = ParseTimes(timesText, options);
  CheckFormatRules(options, haveScale);
  return options;
}
