#include "options.h"

#include "demo/frame.h"
#include "demo/number_text.h"
#include "demo/show_options.h"
#include "quorvel4/options.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <optional>

namespace {

constexpr int kMaxScale = 8;

// The formats, from their table, for the help of --format.
std::string FormatList() {
  std::string text = "what to write:";
  for (const ExportFormat& format : ExportFormats()) {
    std::string facts = std::to_string(format.defaultFps) + " fps";
    if (format.rangeOnly) facts = "T0:T1 only, " + facts;
    if (format.defaultScale > 0) facts += ", scale " + std::to_string(format.defaultScale);
    char line[200];
    std::snprintf(line, sizeof line, "\n  %-7s %s (%s)", format.name, format.about, facts.c_str());
    text += line;
  }
  return text;
}

// A problem with the options that shows up once they are all read.
struct Refusal {
  std::string problem;
};

[[noreturn]] void UsageError(const std::string& problem) { throw Refusal{problem}; }

int32_t ParseTime(const std::string& text) {
  const auto value = ParseMilliseconds(text);
  if (!value) UsageError("not a time in milliseconds: \"" + text + "\"");
  return *value;
}

std::vector<int32_t> RateTimes(int32_t first, int32_t last, int fps) {
  if (last < first) UsageError("--times T0:T1 needs T0 <= T1");
  if ((static_cast<int64_t>(last) - first) * fps / 1000 + 1 > kMaxScriptedFrames)
    UsageError("--times asks for too many frames");
  std::vector<int32_t> times;
  for (int64_t k = 0, t; (t = GridFrameTime(first, k, fps)) <= last; ++k) times.push_back(static_cast<int32_t>(t));
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

// A number that is 0 was not given: --fps and --scale start at 1.
OptionTable MakeTable(Options& options, std::optional<uint32_t>& seed, std::string& times, std::string& format,
                      long long& fps, long long& scale) {
  OptionTable table("quorvel4-capture",
                    "--seed N [--data DIR | --show DIR] --times TIMES --format FORMAT --out PATH [--fps F]\n"
                    "               [--scale S] [--reduce-flashes]",
                    "Renders the show's frames on a scripted clock into a file or a directory.");
  AddSeedOption(table, seed);
  AddDataOption(table, options.dataDir);
  table.Add({"--show", "DIR", "a show of one's own: the folder of its show.js (else the built-in show)",
             SetText(options.showDir)});
  table.Add({"--times", "TIMES",
             "T0:T1:STEP, T,T,... or T0:T1 (the frame nearest every 1/F s from T0 up to T1)", SetText(times)});
  table.Add({"--format", "FORMAT", FormatList(), SetText(format)});
  table.Add({"--out", "PATH", "the file (or, for png, the directory) to write", SetText(options.out)});
  table.Add({"--fps", "F", "frames a second of T0:T1, if not the format's own", SetNumber(fps, "--fps", 1, 1000)});
  table.Add({"--scale", "S", "whole-number enlargement, 1 to " + std::to_string(kMaxScale) + ", for the formats with a scale",
             SetNumber(scale, "--scale", 1, kMaxScale)});
  AddGentleModeOption(table, options.reduceFlashes);
  table.AddNote(kDataLookupNote);
  return table;
}

// Everything that depends on more than one option.
void Settle(Options& options, const std::optional<uint32_t>& seed, const std::string& timesText,
            const std::string& formatName, long long fps, long long scale) {
  if (!seed) UsageError("--seed is required");
  if (!options.showDir.empty() && !options.dataDir.empty())
    UsageError("--data is the built-in show's folder: a show of one's own (--show) reads its own");
  options.seed = *seed;
  if (timesText.empty()) UsageError("--times is required");
  if (formatName.empty()) UsageError("--format is required");
  options.format = FindExportFormat(formatName);
  if (options.format == nullptr) UsageError("unknown format \"" + formatName + "\"");
  if (options.out.empty() && !options.format->outOptional) UsageError("--out is required");
  options.fps = fps > 0 ? static_cast<int>(fps) : options.format->defaultFps;
  options.times = ParseTimes(timesText, options, fps > 0);
  if (scale > 0) options.scale = static_cast<int>(scale);
  CheckFormatRules(options, scale > 0);
}

// The table and the values its rows set before they are settled into the options. The rows
// hold references to these members, so a reader stays where it was made.
struct Reader {
  explicit Reader(Options& options) : options(options), table(MakeTable(options, seed, times, format, fps, scale)) {}
  Reader(const Reader&) = delete;
  Reader& operator=(const Reader&) = delete;

  // The rows read, then the options that depend on each other settled; prints nothing.
  OptionTable::Reading Judge(int argc, const char* const* argv) {
    const OptionTable::Reading reading = table.Read(argc, argv);
    if (reading.outcome != OptionTable::Outcome::kRun) return reading;
    try {
      Settle(options, seed, times, format, fps, scale);
    } catch (const Refusal& refusal) {
      return {OptionTable::Outcome::kBad, refusal.problem};
    }
    return reading;
  }

  Options& options;
  std::optional<uint32_t> seed;
  std::string times, format;
  long long fps = 0, scale = 0;  // 0: not given
  const OptionTable table;
};

}  // namespace

OptionTable::Reading JudgeOptions(int argc, const char* const* argv, Options& options) {
  return Reader(options).Judge(argc, argv);
}

std::optional<int> ReadOptions(int argc, char** argv, Options& options) {
  Reader reader(options);
  return reader.table.Answer(reader.Judge(argc, argv));
}
