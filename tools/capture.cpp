// The offline renderer: runs the show's start-up and frames on a scripted clock and the
// headless console, and writes the presented frames to a file or a directory.
//
//   capture --seed N [--data DIR] --times TIMES --format cells|png|ansi --out PATH
//
// TIMES is T0:T1:STEP (T0, T0+STEP, ... up to and including T1) or a comma-separated list.
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "demo/demo_main.h"
#include "demo/frame.h"
#include "png_io.h"
#include "quorvel4/console.h"
#include "quorvel4/raster.h"
#include "quorvel4/terminal_encoder.h"

namespace {

constexpr size_t kMaxFrames = 1000000;

struct Options {
  uint32_t seed = 0;
  std::string dataDir = kDataDirectory;
  std::vector<int32_t> times;
  std::string format;
  std::string out;
};

constexpr const char* kUsage =
    "usage: capture --seed N [--data DIR] --times T0:T1:STEP|T,T,... --format cells|png|ansi --out PATH\n";

[[noreturn]] void UsageError(const std::string& problem) {
  std::fprintf(stderr, "capture: %s\n%s", problem.c_str(), kUsage);
  std::exit(2);
}

std::optional<int64_t> ParseInteger(const std::string& text) {
  if (text.empty()) return std::nullopt;
  errno = 0;
  char* end = nullptr;
  const long long value = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0') return std::nullopt;
  return value;
}

int32_t ParseTime(const std::string& text) {
  const auto value = ParseInteger(text);
  if (!value || *value < INT32_MIN || *value > INT32_MAX) UsageError("not a time in milliseconds: \"" + text + "\"");
  return static_cast<int32_t>(*value);
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t at; (at = text.find(separator, start)) != std::string::npos; start = at + 1)
    parts.push_back(text.substr(start, at - start));
  parts.push_back(text.substr(start));
  return parts;
}

std::vector<int32_t> ParseTimes(const std::string& text) {
  std::vector<int32_t> times;
  const std::vector<std::string> range = Split(text, ':');
  if (range.size() == 3) {
    const int64_t first = ParseTime(range[0]);
    const int64_t last = ParseTime(range[1]);
    const int64_t step = ParseTime(range[2]);
    if (step <= 0) UsageError("the step of --times must be positive");
    if (last < first) UsageError("--times T0:T1:STEP needs T0 <= T1");
    if ((last - first) / step + 1 > static_cast<int64_t>(kMaxFrames)) UsageError("--times asks for too many frames");
    for (int64_t t = first; t <= last; t += step) times.push_back(static_cast<int32_t>(t));
    return times;
  }
  if (range.size() != 1) UsageError("--times is T0:T1:STEP or a comma-separated list");
  for (const std::string& part : Split(text, ',')) times.push_back(ParseTime(part));
  if (times.size() > kMaxFrames) UsageError("--times asks for too many frames");
  return times;
}

Options ParseOptions(int argc, char** argv) {
  Options options;
  bool haveSeed = false;
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
      const auto seed = ParseInteger(value);
      if (!seed || *seed < 0 || *seed > UINT32_MAX) UsageError("--seed needs a number from 0 to 4294967295");
      options.seed = static_cast<uint32_t>(*seed);
      haveSeed = true;
    } else if (name == "--data") {
      options.dataDir = value;
    } else if (name == "--times") {
      options.times = ParseTimes(value);
      haveTimes = true;
    } else if (name == "--format") {
      if (value != "cells" && value != "png" && value != "ansi") UsageError("unknown format \"" + value + "\"");
      options.format = value;
    } else if (name == "--out") {
      options.out = value;
    } else {
      UsageError("unknown option " + name);
    }
  }
  if (!haveSeed) UsageError("--seed is required");
  if (!haveTimes) UsageError("--times is required");
  if (options.format.empty()) UsageError("--format is required");
  if (options.out.empty()) UsageError("--out is required");
  return options;
}

// Where the presented frames go.
class FrameWriter {
 public:
  virtual ~FrameWriter() = default;
  virtual bool Write(int32_t time, const Cell* cells) = 0;
  virtual bool Finish() { return true; }
  std::string error;
};

// Frames written one after another into a single file.
class FileFrameWriter : public FrameWriter {
 public:
  explicit FileFrameWriter(const std::string& path) : file_(std::fopen(path.c_str(), "wb")) {
    if (file_ == nullptr) error = "cannot write " + path + ": " + std::strerror(errno);
  }
  ~FileFrameWriter() override {
    if (file_ != nullptr) std::fclose(file_);
  }
  bool Finish() override { return Close({}); }

 protected:
  bool Put(const void* bytes, size_t size) {
    if (size == 0 || std::fwrite(bytes, size, 1, file_) == 1) return true;
    error = "write failed";
    return false;
  }
  // Writes `trailer` and closes the file.
  bool Close(std::string_view trailer) {
    const bool written = Put(trailer.data(), trailer.size());
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (!closed) error = "write failed";
    return written && closed;
  }

 private:
  FILE* file_;
};

// Every frame's 4000 Cells as little-endian 16-bit values, frames one after another.
class CellsWriter : public FileFrameWriter {
 public:
  using FileFrameWriter::FileFrameWriter;
  bool Write(int32_t, const Cell* cells) override {
    uint8_t bytes[kScreenCells * 2];
    for (int i = 0; i < kScreenCells; ++i) {
      bytes[2 * i] = static_cast<uint8_t>(cells[i] & 0xFF);
      bytes[2 * i + 1] = static_cast<uint8_t>(cells[i] >> 8);
    }
    return Put(bytes, sizeof bytes);
  }
};

// One PNG per frame, named by its time.
class PngWriter : public FrameWriter {
 public:
  explicit PngWriter(const std::string& directory) : directory_(directory) {
    std::error_code code;
    std::filesystem::create_directories(directory_, code);
    if (!std::filesystem::is_directory(directory_, code)) error = "cannot create the directory " + directory;
  }
  bool Write(int32_t time, const Cell* cells) override {
    char name[32];
    std::snprintf(name, sizeof name, "t%06d.png", time);
    return WritePng((directory_ / name).string(), kRasterWidth, kRasterHeight, RasterizeCells(cells), &error);
  }

 private:
  std::filesystem::path directory_;
};

// The terminal back end's bytes for every frame (24-bit colour): `cat` replays the frames.
class AnsiWriter : public FileFrameWriter {
 public:
  using FileFrameWriter::FileFrameWriter;
  bool Write(int32_t, const Cell* cells) override {
    const std::string_view bytes = encoder_.EncodeFrame(cells);
    return Put(bytes.data(), bytes.size());
  }
  // Plain colours again for whatever the terminal shows after the replay.
  bool Finish() override { return Close("\x1b[0m\n"); }

 private:
  TerminalEncoder encoder_{ColorMode::kTrueColor};
};

std::unique_ptr<FrameWriter> MakeWriter(const Options& options) {
  if (options.format == "cells") return std::make_unique<CellsWriter>(options.out);
  if (options.format == "png") return std::make_unique<PngWriter>(options.out);
  return std::make_unique<AnsiWriter>(options.out);
}

// The headless console, handing each frame of the loop to the writer.
class RecordingBackend : public HeadlessBackend {
 public:
  void Present(const Cell* cells) override {
    HeadlessBackend::Present(cells);
    if (onFrame) onFrame(cells);
  }
  std::function<void(const Cell*)> onFrame;
};

// Remembers the time of the frame being drawn, to name its picture.
class RecordingClock : public ScriptedClock {
 public:
  using ScriptedClock::ScriptedClock;
  int32_t MusicTime() override { return current = ScriptedClock::MusicTime(); }
  int32_t current = 0;
};

}  // namespace

int main(int argc, char** argv) {
  const Options options = ParseOptions(argc, argv);
  std::error_code code;
  if (!std::filesystem::is_directory(options.dataDir, code)) {
    std::fprintf(stderr, "capture: no data directory \"%s\"\n", options.dataDir.c_str());
    return 1;
  }
  std::unique_ptr<FrameWriter> writer = MakeWriter(options);
  if (!writer->error.empty()) {
    std::fprintf(stderr, "capture: %s\n", writer->error.c_str());
    return 1;
  }

  auto backend = std::make_unique<RecordingBackend>();
  RecordingBackend* recorder = backend.get();
  UseConsoleBackend(std::move(backend));
  InitConsoleWithSeed(options.seed);

  Show show;
  PrepareShow(show, options.dataDir);
  if (!show.unreadablePictures.empty()) {
    ShutdownConsole();
    for (const std::string& path : show.unreadablePictures)
      std::fprintf(stderr, "capture: cannot read the picture file %s\n", path.c_str());
    return 1;
  }
  SetScrollSpeeds(show);

  RecordingClock clock(options.times);
  bool failed = false;
  recorder->onFrame = [&](const Cell* cells) { failed = failed || !writer->Write(clock.current, cells); };
  RunFrameLoop(clock, show, [] {});
  ShutdownConsole();

  if (failed || !writer->Finish()) {
    std::fprintf(stderr, "capture: %s\n", writer->error.c_str());
    return 1;
  }
  return 0;
}
