#include "export_formats.h"

#include <cstdlib>
#include <filesystem>
#include <string_view>

#include "basic_writers.h"
#include "cast_writer.h"
#include "flash_report.h"
#include "demo/demo_main.h"
#include "gif_writer.h"
#include "options.h"
#include "video_writer.h"

namespace {

// A writer that never starts, for the reason in its `error`.
std::unique_ptr<FrameWriter> Failed(const std::string& why) {
  struct Failed : FrameWriter {
    bool Write(int32_t, const Cell*) override { return false; }
  };
  auto failed = std::make_unique<Failed>();
  failed->error = why;
  return failed;
}

std::unique_ptr<FrameWriter> OpenVideo(const Options& options) {
  std::string ffmpeg;
  if (const auto missing = FindVideoEncoder(&ffmpeg)) return Failed(*missing);
  // The show's own music (a show without music makes a silent video).
  const std::string& music = options.music;
  std::error_code code;
  if (!music.empty() && !std::filesystem::is_regular_file(music, code))
    return Failed("no music file " + music + " for the video's sound");
  return std::make_unique<VideoWriter>(
      options.out, ffmpeg, VideoSettings{music, options.times.front(), options.times.size(), options.fps, options.scale});
}

std::string CheckVideo(const Options& options) {
  if (options.times.front() < 0) return "--format mp4 needs T0 >= 0: the music starts at 0";
  return {};
}

std::string CheckGif(const Options& options) {
  if (100 % options.fps != 0 || options.fps > 50)
    return "--format gif needs an --fps that divides 100 (1, 2, 4, 5, 10, 20, 25 or 50): its frame delays are whole "
           "hundredths of a second";
  return {};
}

// The terminal recordings are 24-bit colour unless QVL_COLORS asks for the palette mode, as
// for the live show; a file has no terminal to ask.
ColorMode ExportColorMode() {
  const char* given = std::getenv("QVL_COLORS");
  return given && std::string_view(given) == "palette" ? ColorMode::kPalette : ColorMode::kTrueColor;
}

std::string CheckCast(const Options& options) {
  for (size_t i = 1; i < options.times.size(); ++i)
    if (options.times[i] <= options.times[i - 1]) return "--format cast needs increasing --times";
  return {};
}

std::string CastTitle(const Options& options) {
  return "seed " + std::to_string(options.seed) + ", show time " + std::to_string(options.times.front()) + " ms on";
}

}  // namespace

const std::vector<ExportFormat>& ExportFormats() {
  static const std::vector<ExportFormat> formats = {
      {.name = "cells",
       .about = "every frame's 4000 cells, 16-bit little-endian, in one file",
       .defaultFps = 60,
       .open = [](const Options& o) -> std::unique_ptr<FrameWriter> { return std::make_unique<CellsWriter>(o.out); }},
      {.name = "png",
       .about = "a picture per frame in the directory PATH, named by its time",
       .defaultFps = 60,
       .open = [](const Options& o) -> std::unique_ptr<FrameWriter> { return std::make_unique<PngWriter>(o.out); }},
      {.name = "ansi",
       .about = "the terminal's bytes for every frame: cat replays them",
       .defaultFps = 60,
       .open = [](const Options& o) -> std::unique_ptr<FrameWriter> { return std::make_unique<AnsiWriter>(o.out, ExportColorMode()); }},
      {.name = "mp4",
       .about = "H.264 video with the music, made by ffmpeg; T0 >= 0",
       .defaultFps = 60,
       .rangeOnly = true,
       .defaultScale = 2,
       .check = CheckVideo,
       .open = OpenVideo},
      {.name = "gif",
       .about = "animated GIF; --fps divides 100",
       .defaultFps = 25,
       .rangeOnly = true,
       .defaultScale = 1,
       .check = CheckGif,
       .open = [](const Options& o) -> std::unique_ptr<FrameWriter> {
         return std::make_unique<GifWriter>(o.out, o.scale, o.fps);
       }},
      {.name = "cast",
       .about = "asciinema recording; increasing times",
       .defaultFps = 30,
       .check = CheckCast,
       .open = [](const Options& o) -> std::unique_ptr<FrameWriter> {
         return std::make_unique<CastWriter>(o.out, CastTitle(o), ExportColorMode());
       }},
      {.name = "flashes",
       .about = "flashes per second on standard output; PATH, if given, a PNG plot",
       .defaultFps = 60,
       .open = [](const Options& o) -> std::unique_ptr<FrameWriter> {
         return std::make_unique<FlashReportWriter>(o.out, stdout, o.sceneStarts);
       },
       .outOptional = true},
  };
  return formats;
}

const ExportFormat* FindExportFormat(std::string_view name) {
  for (const ExportFormat& format : ExportFormats())
    if (name == format.name) return &format;
  return nullptr;
}
