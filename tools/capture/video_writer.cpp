#include "video_writer.h"

#include <cstdio>
#include <filesystem>
#include <vector>

#include "quorvel4/raster.h"
#include "yuv_picture.h"

namespace {

// libx264's fastest preset: the whole show at twice the size encodes faster than it plays on
// two cores (the slower presets do not keep up with the noise scenes). CRF 18 keeps the glyph
// edges clean for the video site's own encoding; the rate cap keeps the character noise, which
// no encoder can compress, from flooding the file.
constexpr const char* kPreset = "ultrafast";
constexpr const char* kQuality = "18";
constexpr const char* kMaxRate = "24M";
constexpr const char* kRateBuffer = "48M";

std::string Seconds(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6f", seconds);
  return text;
}

// The last few lines ffmpeg wrote, on one line: its reason for failing.
std::string Tail(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; start < text.size(); start = end + 1) {
    end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) end = text.size();
    if (end > start) lines.push_back(text.substr(start, end - start));
  }
  std::string tail;
  for (size_t i = lines.size() > 3 ? lines.size() - 3 : 0; i < lines.size(); ++i)
    tail += (tail.empty() ? "" : " / ") + lines[i];
  return tail;
}

// ": " and what the program said last, if it said anything.
std::string Saying(const ChildProcess& program) {
  const std::string said = Tail(program.Output());
  return said.empty() ? "" : ": " + said;
}

// `streamed`: written as it comes, into a pipe or a descriptor that cannot go back to put the
// index first, so the video is cut into fragments that each carry their own index.
std::vector<std::string> EncoderArguments(const VideoSettings& settings, const std::string& out, bool streamed) {
  const int width = kRasterWidth * settings.scale, height = kRasterHeight * settings.scale;
  const double duration = static_cast<double>(settings.frames) / settings.fps;
  // The music from the first frame's time, as long as the frames last; a show without music
  // gets a silent track, so that every video has its sound stream.
  const std::vector<std::string> sound =
      settings.music.empty()
          ? std::vector<std::string>{"-f", "lavfi", "-t", Seconds(duration), "-i", "anullsrc=r=44100:cl=stereo"}
          : std::vector<std::string>{"-ss", Seconds(settings.firstTime / 1000.0), "-t", Seconds(duration), "-i",
                                     settings.music};
  std::vector<std::string> arguments = {
      "-hide_banner", "-nostdin", "-loglevel", "error", "-y",
      // The pictures, as they come through the pipe.
      "-f", "rawvideo", "-pix_fmt", "yuv420p", "-video_size", std::to_string(width) + "x" + std::to_string(height),
      "-framerate", std::to_string(settings.fps), "-i", "pipe:0"};
  arguments.insert(arguments.end(), sound.begin(), sound.end());
  const std::vector<std::string> rest = {
          "-map", "0:v:0", "-map", "1:a:0",
          "-c:v", "libx264", "-preset", kPreset, "-crf", kQuality, "-maxrate", kMaxRate,
          "-bufsize", kRateBuffer, "-pix_fmt", "yuv420p",
          "-colorspace", "bt709", "-color_primaries", "bt709", "-color_trc", "bt709", "-color_range", "tv",
          // Silence after the music's end, if the frames outlast it; if the show ends before
          // the range does, the music stops with the pictures.
          "-af", "apad=whole_dur=" + Seconds(duration), "-c:a", "aac", "-b:a", "192k", "-shortest", "-movflags", streamed ? "+frag_keyframe+empty_moov+default_base_moof" : "+faststart",
          "-f", "mp4", out};
  arguments.insert(arguments.end(), rest.begin(), rest.end());
  return arguments;
}

}  // namespace

std::optional<std::string> FindVideoEncoder(std::string* ffmpeg) {
  const auto found = FindOnPath("ffmpeg");
  if (!found)
    return std::string("--format mp4 needs the ffmpeg program (") + WhereToGetPrograms() + "); there is none on PATH";
  ChildProcess probe;
  std::string error;
  if (!probe.Start(*found, {"-hide_banner", "-encoders"}, false, &error)) return error;
  const auto failed = probe.Wait();
  const std::string encoders = probe.Output();
  if (failed) return *found + " -encoders failed (" + *failed + "): " + Tail(encoders);
  if (encoders.find(" libx264 ") == std::string::npos)
    return *found + " has no H.264 encoder (libx264); one with it: " + WhereToGetPrograms();
  if (encoders.find(" aac ") == std::string::npos) return *found + " has no AAC encoder";
  *ffmpeg = *found;
  return std::nullopt;
}

VideoWriter::VideoWriter(const std::string& path, const std::string& ffmpeg, const VideoSettings& settings)
    : settings_(settings), output_(path) {
  if (!output_.error.empty()) {
    error = output_.error;
    return;
  }
  // ffmpeg writes into a pipe or descriptor through the open file, and opens a file itself.
  const std::string streamTo = output_.NameForChild();
  if (streamTo.empty()) output_.Release();
  const std::string target = streamTo.empty() ? output_.TempPath() : streamTo;
  if (!ffmpeg_.Start(ffmpeg, EncoderArguments(settings, target, !streamTo.empty()), true, &error)) return;
  output_.Release();
  SetInterruptChild(ffmpeg_.Pid());
  feeder_ = std::thread([this] { FeedEncoder(); });
}

VideoWriter::~VideoWriter() {
  if (feeder_.joinable()) {
    queue_.Abandon();
    queue_.Close();
    feeder_.join();
  }
  SetInterruptChild(0);
}

void VideoWriter::FeedEncoder() {
  std::vector<uint8_t> yuv;
  while (std::optional<IndexedPicture> picture = queue_.Pop()) {
    ToYuv420(*picture, settings_.scale, &yuv);
    std::string why;
    if (!ffmpeg_.WriteInput(yuv.data(), yuv.size(), &why)) {
      feedError_ = why;
      feedFailed_ = true;
      queue_.Abandon();
      return;
    }
  }
}

bool VideoWriter::Write(int32_t, const Cell* cells) {
  IndexedPicture picture;
  IndexCells(cells, 1, &picture);
  if (!feedFailed_ && queue_.Push(std::move(picture))) return true;
  Complete();
  return false;
}

bool VideoWriter::Complete() {
  if (completed_) return error.empty();
  completed_ = true;
  queue_.Close();
  if (feeder_.joinable()) feeder_.join();
  ffmpeg_.CloseInput();
  const auto failed = ffmpeg_.Wait();
  SetInterruptChild(0);
  if (failed)
    error = "ffmpeg failed (" + *failed + ")" + Saying(ffmpeg_);
  else if (feedFailed_)
    error = "ffmpeg stopped taking the frames (" + feedError_ + ")" + Saying(ffmpeg_);
  return error.empty();
}

bool VideoWriter::Finish() {
  if (!Complete()) return false;
  // An encoder that ends well but writes nothing must not replace a good file with nothing.
  std::error_code code;
  const auto size = std::filesystem::file_size(output_.TempPath(), code);
  if (!output_.InPlace() && (code || size == 0)) {
    error = "ffmpeg wrote no video (" + output_.FinalPath() + " is left as it was)" + Saying(ffmpeg_);
    return false;
  }
  if (output_.Commit()) return true;
  error = output_.error;
  return false;
}
