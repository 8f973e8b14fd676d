#include "options.h"

#include "demo/number_text.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <optional>

namespace {

constexpr int kMaxScale = 8;

// The usage text, its list of formats made from their table.
std::string Usage() {
  std::string text =
      "usage: capture --seed N [--data DIR] --times TIMES --format FORMAT --out PATH [--fps F] [--scale S]\n"
      "               [--reduce-flashes]\n";
  const char* lead = "  FORMAT  ";
  for (const ExportFormat& format : ExportFormats()) {
    std::string facts = std::to_string(format.defaultFps) + " fps";
    if (format.rangeOnly) facts = "T0:T1 only, " + facts;
    if (format.defaultScale > 0) facts += ", scale " + std::to_string(format.defaultScale);
    char line[200];
    std::snprintf(line, sizeof line, "%s%-7s %s (%s)\n", lead, format.name, format.about, facts.c_str());
    text += line;
    lead = "          ";
  }
  return text +
         "  TIMES   T0:T1:STEP, T,T,... or T0:T1 (the frame nearest every 1/F s from T0 up to T1)\n"
         "  --fps   frames a second of T0:T1, if not the format's own\n"
         "  --scale whole-number enlargement, 1 to " + std::to_string(kMaxScale) + ", for the formats with a scale\n"
         "  --reduce-flashes  the show's gentle mode: frames that would flash too often are held\n"
         "  --data  the folder of the pictures and the music; without it data/ in the working\n"
         "          directory, else beside the program, else the installed one (QVL_DATA_DIR overrides)\n"
         "  --help     show this help\n"
         "  --version  show the version and the back ends built in\n";
}

[[noreturn]] void UsageError(const std::string& problem) {
  std::fprintf(stderr, "capture: %s\n%s", problem.c_str(), Usage().c_str());
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


// Frame k of a range at `fps` frames a second shows the show time nearest k / fps seconds
// after `first`; halves round up.
int64_t FrameTime(int32_t first, int64_t frame, int fps) {
  return first + (frame * 2000 + fps) / (2 * static_cast<int64_t>(fps));
}

std::vector<int32_t> RateTimes(int32_t first, int32_t last, int fps) {
  if (last < first) UsageError("--times T0:T1 needs T0 <= T1");
  if ((static_cast<int64_t>(last) - first) * fps / 1000 + 1 > kMaxScriptedFrames)
    UsageError("--times asks for too many frames");
  std::vector<int32_t> times;
  for (int64_t k = 0, t; (t = FrameTime(first, k, fps)) <= last; ++k) times.push_back(static_cast<int32_t>(t));
  return times;
}

std::vector<int32_t> ParseTimes(const std::string& text, const Options& options, bool haveFps) {
  const std::vector<std::string> range = SplitText(text, ':');
  if (range.size() == 2) return RateTimes(ParseTime(range[0]), ParseTime(range[1]), options.fps);
  if (options.format->rangeOnly)
    UsageError(std::string("--format ") + options.format->name +
               " takes --times T0:T1 (the frame rate --fps sets the step)");
  // A list or a step sets the times itself: a frame rate would be silently ignored.
  if (haveFps) UsageError("--fps applies to --times T0:T1 only");
  std::string error;
  std::vector<int32_t> times = ParseTimeList(text, "--times", error);
  if (!error.empty()) UsageError(error);
  return times;
}

// Checks what depends on the format once every option is known.
void CheckFormatRules(Options& options, bool haveScale) {
  const ExportFormat& format = *options.format;
  if (haveScale && format.defaultScale == 0) UsageError(std::string("--format ") + format.name + " takes no --scale");
  if (!haveScale) options.scale = format.defaultScale > 0 ? format.defaultScale : 1;
  if (format.check == nullptr) return;
  if (const std::string problem = format.check(options); !problem.empty()) UsageError(problem);
}

bool IsOption(const std::string& name) {
  for (const char* option : {"--seed", "--data", "--times", "--format", "--out", "--fps", "--scale"})
    if (name == option) return true;
  return false;
}

}  // namespace

Options ParseOptions(int argc, char** argv, const std::string& defaultDataDir) {
  Options options;
  options.dataDir = defaultDataDir;
  bool haveSeed = false, haveScale = false, haveFps = false;
  std::string timesText;
  bool haveTimes = false;
  for (int i = 1; i < argc; ++i) {
    const std::string name = argv[i];
    if (name == "--help" || name == "-h") {
      std::fputs(Usage().c_str(), stdout);
      std::exit(0);
    }
    if (name == "--reduce-flashes") {
      options.reduceFlashes = true;
      continue;
    }
    if (!IsOption(name)) UsageError("unknown option " + name);
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
      options.format = FindExportFormat(value);
      if (options.format == nullptr) UsageError("unknown format \"" + value + "\"");
    } else if (name == "--out") {
      options.out = value;
    } else if (name == "--fps") {
      options.fps = ParseSmallNumber("--fps", value, 1, 1000);
      haveFps = true;
    } else if (name == "--scale") {
      options.scale = ParseSmallNumber("--scale", value, 1, kMaxScale);
      haveScale = true;
    }
  }
  if (!haveSeed) UsageError("--seed is required");
  if (!haveTimes) UsageError("--times is required");
  if (options.format == nullptr) UsageError("--format is required");
  if (options.out.empty() && !options.format->outOptional) UsageError("--out is required");
  if (!haveFps) options.fps = options.format->defaultFps;
  options.times = ParseTimes(timesText, options, haveFps);
  CheckFormatRules(options, haveScale);
  return options;
}
