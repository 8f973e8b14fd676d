// The capture tool's shareable formats: MP4 with the music, animated GIF, asciinema cast;
// and how an export fails, is interrupted and shows its progress.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "capture_run.h"
#include "png_io.h"
#include "pty_session.h"
#include "quorvel4/palette.h"
#if QVL_HAVE_VTERM
#include "vterm_screen.h"
#endif

namespace {

constexpr int kWidth = 640, kHeight = 600;

std::string RealData() { return std::string(QVL_SOURCE_DIR) + "/data"; }

bool HaveProgram(const std::string& name) {
  return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

std::vector<uint8_t> PngPixels(const std::string& path) {
  int width = 0, height = 0;
  std::vector<uint8_t> rgb;
  std::string error;
  EXPECT_TRUE(ReadPng(path, &width, &height, &rgb, &error)) << error;
  EXPECT_EQ(width, kWidth);
  EXPECT_EQ(height, kHeight);
  return rgb;
}

std::string PngName(int time) {
  char name[32];
  std::snprintf(name, sizeof name, "t%06d.png", time);
  return name;
}

// PSNR of a picture decoded at twice the size, each 2 x 2 block averaged, against `reference`.
double PsnrAtHalfSize(const uint8_t* decoded, const std::vector<uint8_t>& reference) {
  double squares = 0;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x)
      for (int c = 0; c < 3; ++c) {
        double sum = 0;
        for (int dy = 0; dy < 2; ++dy)
          for (int dx = 0; dx < 2; ++dx) sum += decoded[((2 * y + dy) * 2 * kWidth + 2 * x + dx) * 3 + c];
        const double error = sum / 4 - reference[(y * kWidth + x) * 3 + c];
        squares += error * error;
      }
  return 10 * std::log10(255.0 * 255.0 / (squares / (kWidth * kHeight * 3.0)));
}

std::vector<int16_t> Samples(const std::string& bytes) {
  std::vector<int16_t> samples(bytes.size() / 2);
  std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
  return samples;
}

// The shift of `sound` against `music` (in samples, within +-`reach`) where they agree best.
int BestLag(const std::vector<int16_t>& sound, size_t from, size_t length, const std::vector<int16_t>& music,
            size_t musicFrom, int reach) {
  int best = 0;
  double bestError = -1;
  for (int lag = -reach; lag <= reach; ++lag) {
    double error = 0;
    for (size_t i = 0; i < length; ++i) {
      const double d = double(sound[from + i]) - music[musicFrom + lag + i];
      error += d * d;
    }
    if (bestError < 0 || error < bestError) {
      bestError = error;
      best = lag;
    }
  }
  return best;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    lines.push_back(text.substr(start, end - start));
  return lines;
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::vector<std::string> FilesIn(const std::filesystem::path& directory) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(directory)) names.push_back(entry.path().filename());
  return names;
}

}  // namespace

// Three seconds of plasma at 30 frames a second: 91 frames, 30000 to 33000 ms.
TEST(CaptureMp4, IsH264AndAacInStepWithTheShow) {
  if (!HaveProgram("ffmpeg") || !HaveProgram("ffprobe")) GTEST_SKIP() << "needs ffmpeg and ffprobe (Debian ffmpeg)";
  ScratchDirectory scratch;
  const std::string range = "--seed 3 --data " + RealData() + " --times 30000:33000 --fps 30";
  const std::string video = scratch.File("show.mp4");
  const ToolRun run = Capture(range + " --format mp4 --out " + video, scratch);
  ASSERT_EQ(run.status, 0) << run.errors;
  EXPECT_EQ(run.errors.rfind("quorvel4-capture: 91 frames", 0), 0u) << run.errors;  // no terminal, no progress bar
  EXPECT_EQ(ReadAll(scratch.File("stdout.txt")), "");

  const std::vector<std::string> streams = Lines(CommandOutput(
      "ffprobe -v error -show_entries stream=codec_name,width,height,pix_fmt,r_frame_rate,nb_frames,start_time "
      "-of compact " + video));
  ASSERT_EQ(streams.size(), 2u);
  for (const char* want : {"codec_name=h264", "width=1280", "height=1200", "pix_fmt=yuv420p", "r_frame_rate=30/1",
                           "nb_frames=91", "start_time=0.000000"})
    EXPECT_TRUE(Has(streams[0], want)) << want << " in " << streams[0];
  EXPECT_TRUE(Has(streams[1], "codec_name=aac")) << streams[1];
  EXPECT_TRUE(Has(streams[1], "start_time=0.000000")) << streams[1];
  const double duration =
      std::atof(CommandOutput("ffprobe -v error -show_entries format=duration -of csv=p=0 " + video).c_str());
  EXPECT_NEAR(duration, 91 / 30.0, 0.01);

  // Frames 2, 45 and 76 against the pictures of the same run at the show times nearest
  // 2/30, 45/30 and 76/30 s, and at the times of the frames either side.
  ASSERT_EQ(Capture(range + " --format png --out " + scratch.File("png"), scratch).status, 0);
  const std::string frames = CommandOutput("ffmpeg -v error -i " + video +
                                           " -vf 'select=eq(n\\,2)+eq(n\\,45)+eq(n\\,76)' -fps_mode passthrough"
                                           " -f rawvideo -pix_fmt rgb24 pipe:1");
  const size_t frameBytes = 4u * kWidth * kHeight * 3;
  ASSERT_EQ(frames.size(), 3 * frameBytes);
  struct Check {
    int time, before, after;
  };
  const Check checks[] = {{30067, 30033, 30100}, {31500, 31467, 31533}, {32533, 32500, 32567}};
  for (int i = 0; i < 3; ++i) {
    const auto* decoded = reinterpret_cast<const uint8_t*>(frames.data() + i * frameBytes);
    const double right = PsnrAtHalfSize(decoded, PngPixels(scratch.File("png/" + PngName(checks[i].time))));
    EXPECT_GE(right, 30.0) << checks[i].time;
    EXPECT_GT(right, PsnrAtHalfSize(decoded, PngPixels(scratch.File("png/" + PngName(checks[i].before)))));
    EXPECT_GT(right, PsnrAtHalfSize(decoded, PngPixels(scratch.File("png/" + PngName(checks[i].after)))));
  }

  // The sound starts with the pictures: the music from 30 s on, as the whole file decodes it.
  const std::vector<int16_t> sound =
      Samples(CommandOutput("ffmpeg -v error -i " + video + " -map 0:a -t 0.5 -ac 1 -f s16le pipe:1"));
  const std::vector<int16_t> music =
      Samples(CommandOutput("ffmpeg -v error -i " + RealData() + "/8920.mp3 -t 31 -ac 1 -f s16le pipe:1"));
  ASSERT_GE(sound.size(), 22050u);
  ASSERT_GE(music.size(), 31u * 44100u);
  double energy = 0;
  for (size_t i = 4410; i < 13230; ++i) energy += double(sound[i]) * sound[i];
  ASSERT_GT(energy / 8820, 100.0 * 100.0) << "the window holds music";
  EXPECT_LE(std::abs(BestLag(sound, 4410, 8820, music, 30 * 44100 + 4410, 882)), 44);  // within 1 ms
}

// Frames that go on after the music's end (or start after it): all of them, over silence.
TEST(CaptureMp4, FramesOutlastingTheMusicGoOnInSilence) {
  if (!HaveProgram("ffmpeg") || !HaveProgram("ffprobe")) GTEST_SKIP() << "needs ffmpeg and ffprobe (Debian ffmpeg)";
  ScratchDirectory scratch;
  WriteStandInData(scratch.path() / "data", 40);  // about one second of music
  for (const std::string times : {"0:3000", "2000:5000"}) {
    const std::string video = scratch.File("short.mp4");
    const ToolRun run = Capture("--seed 1 --data " + (scratch.path() / "data").string() + " --times " + times +
                                    " --fps 10 --scale 1 --format mp4 --out " + video,
                                scratch);
    ASSERT_EQ(run.status, 0) << times << ": " << run.errors;
    const std::vector<std::string> streams = Lines(CommandOutput(
        "ffprobe -v error -show_entries stream=codec_type,nb_frames,duration -of compact " + video));
    ASSERT_EQ(streams.size(), 2u) << times;
    EXPECT_TRUE(Has(streams[0], "nb_frames=31")) << times << ": " << streams[0];
    const double sound = std::atof(streams[1].substr(streams[1].find("duration=") + 9).c_str());
    EXPECT_NEAR(sound, 3.1, 0.05) << times << ": " << streams[1];
  }
}

// The end of scene 47 and the still closing caption, 25 frames a second.
TEST(CaptureGif, DecodesToExactlyTheCapturedPictures) {
  if (!HaveProgram("ffmpeg") || !HaveProgram("ffprobe")) GTEST_SKIP() << "needs ffmpeg and ffprobe (Debian ffmpeg)";
  ScratchDirectory scratch;
  const std::string range = "--seed 4 --data " + RealData() + " --times 121800:122600 --fps 25";
  const std::string gif = scratch.File("show.gif");
  const ToolRun run = Capture(range + " --format gif --out " + gif, scratch);
  ASSERT_EQ(run.status, 0) << run.errors;
  ASSERT_EQ(Capture(range + " --format png --out " + scratch.File("png"), scratch).status, 0);

  const std::string bytes = ReadAll(gif);
  ASSERT_GT(bytes.size(), 13u + 48u);
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(uint8_t(bytes[13 + 3 * i]), kVgaPalette[i].r) << "colour " << i;
    EXPECT_EQ(uint8_t(bytes[14 + 3 * i]), kVgaPalette[i].g) << "colour " << i;
    EXPECT_EQ(uint8_t(bytes[15 + 3 * i]), kVgaPalette[i].b) << "colour " << i;
  }
  // Every 40 ms of the GIF shows the picture captured for that time.
  const std::string frames =
      CommandOutput("ffmpeg -v error -i " + gif + " -fps_mode cfr -r 25 -f rawvideo -pix_fmt rgb24 pipe:1");
  const size_t frameBytes = size_t(kWidth) * kHeight * 3;
  ASSERT_EQ(frames.size(), 21 * frameBytes);
  for (int k = 0; k < 21; ++k) {
    const std::vector<uint8_t> want = PngPixels(scratch.File("png/" + PngName(121800 + 40 * k)));
    EXPECT_TRUE(std::equal(want.begin(), want.end(), frames.begin() + k * frameBytes,
                           [](uint8_t a, char b) { return a == uint8_t(b); }))
        << "frame " << k;
  }
  // The caption stands still from 122397 on: its six frames are one frame of the file.
  const int stored = std::atoi(
      CommandOutput("ffprobe -v error -count_frames -show_entries stream=nb_read_frames -of csv=p=0 " + gif).c_str());
  EXPECT_EQ(stored, 16);
}

#if QVL_HAVE_VTERM
// Spiral and shaken picture, 40 ms apart, on stand-in pictures.
TEST(CaptureCast, ReplaysToTheCapturedCells) {
  if (!HaveProgram("python3")) GTEST_SKIP() << "needs python3 (which asciinema brings) to read the JSON";
  ScratchDirectory scratch;
  WriteStandInData(scratch.path() / "data", 0);
  const std::string range = "--seed 5 --data " + (scratch.path() / "data").string() + " --times 17600:18400:40";
  const ToolRun run = Capture(range + " --format cast --out " + scratch.File("show.cast"), scratch);
  ASSERT_EQ(run.status, 0) << run.errors;
  ASSERT_EQ(Capture(range + " --format cells --out " + scratch.File("show.cells"), scratch).status, 0);

  // Python's own JSON reader checks every line and hands over the events as
  // "milliseconds length" lines, each followed by its bytes.
  const std::string script =
      "import json, sys\n"
      "lines = open(sys.argv[1], encoding='utf-8').read().split('\\n')\n"
      "assert lines[-1] == ''\n"
      "header = json.loads(lines[0])\n"
      "out = sys.stdout.buffer\n"
      "out.write(b'%d %d %d\\n' % (header['version'], header['width'], header['height']))\n"
      "for line in lines[1:-1]:\n"
      "    time, kind, data = json.loads(line)\n"
      "    assert kind == 'o'\n"
      "    data = data.encode('utf-8')\n"
      "    out.write(b'%d %d\\n' % (round(time * 1000), len(data)) + data)\n";
  std::ofstream(scratch.File("read_cast.py")) << script;
  const std::string events =
      CommandOutput("python3 " + scratch.File("read_cast.py") + " " + scratch.File("show.cast") + " 2>&1");
  ASSERT_EQ(events.substr(0, 8), "2 80 50\n") << events.substr(0, 400);

  const std::string cells = ReadAll(scratch.File("show.cells"));
  ASSERT_EQ(cells.size(), 21u * 8000u);
  VtScreen vt(80, 50);
  size_t at = 8;
  int eventCount = 0;
  for (int k = 0; k < 21; ++k) {
    // Feed the events up to this frame's time, counted from the first frame.
    while (at < events.size()) {
      int ms = 0;
      size_t length = 0;
      int consumed = 0;
      ASSERT_EQ(std::sscanf(events.c_str() + at, "%d %zu\n%n", &ms, &length, &consumed), 2);
      if (ms > 40 * k) break;
      EXPECT_EQ(ms % 40, 0) << "an event between frames";
      vt.Feed(std::string_view(events).substr(at + consumed, length));
      at += consumed + length;
      ++eventCount;
    }
    std::vector<Cell> frame(kScreenCells);
    for (int i = 0; i < kScreenCells; ++i)
      frame[i] = Cell(uint8_t(cells[k * 8000 + 2 * i]) | uint8_t(cells[k * 8000 + 2 * i + 1]) << 8);
    ExpectScreenShows(vt, frame, ColorMode::kTrueColor);
    if (HasFailure()) FAIL() << "at frame " << k;
  }
  EXPECT_EQ(at, events.size()) << "events after the last frame's time";
  EXPECT_GE(eventCount, 2);
}
#endif

// The usage text is made from the table of formats: each row's frame rate, range rule and scale
// land in its line, in the table's order.
TEST(CaptureExport, UsageListsEachFormatWithItsDefaults) {
  const std::string help = CommandOutput(std::string(QVL_TOOLS_DIR) + "/quorvel4-capture --help");
  const char* lines[] = {
      "cells   every frame's 4000 cells, 16-bit little-endian, in one file (60 fps)",
      "png     a picture per frame in the directory PATH, named by its time (60 fps)",
      "ansi    the terminal's bytes for every frame: cat replays them (60 fps)",
      "mp4     H.264 video with the music, made by ffmpeg; T0 >= 0 (T0:T1 only, 60 fps, scale 2)",
      "gif     animated GIF; --fps divides 100 (T0:T1 only, 25 fps, scale 1)",
      "cast    asciinema recording; increasing times (30 fps)",
      "flashes flashes per second on standard output; PATH, if given, a PNG plot (60 fps)"};
  size_t from = 0;
  for (const char* line : lines) {
    const size_t at = help.find(std::string(line) + "\n", from);
    ASSERT_NE(at, std::string::npos) << line << "\n" << help;
    from = at;
  }
}

TEST(CaptureExport, FormatRulesAreUsageErrors) {
  ScratchDirectory scratch;
  const std::string data = " --data " + RealData() + " --out " + scratch.File("x");
  struct Case {
    std::string arguments, says;
  };
  for (const Case& c : {Case{"--format mp4 --times 0:1000:10", "T0:T1"}, Case{"--format gif --times 0,40", "T0:T1"},
                        Case{"--format gif --times 0:1000 --fps 30", "divides 100"},
                        Case{"--format cells --times 0:100 --scale 2", "--scale"},
                        Case{"--format mp4 --times 0:100 --scale 9", "--scale"},
                        Case{"--format cast --times 500,400", "increasing"},
                        Case{"--format mp4 --times -100:1000", "T0 >= 0"},
                        Case{"--format cells --times 0:100 --fps 0", "--fps"},
                        // A list or a step sets the times itself: --fps would be silently ignored.
                        Case{"--format cells --times 0:100:10 --fps 30", "--fps applies to --times T0:T1 only"},
                        Case{"--format cast --times 0,40 --fps 30", "--fps applies to --times T0:T1 only"}}) {
    const ToolRun run = Capture("--seed 1 " + c.arguments + data, scratch);
    EXPECT_EQ(run.status, 2) << c.arguments;
    EXPECT_TRUE(Has(run.errors, c.says)) << c.arguments << "\n" << run.errors;
    EXPECT_TRUE(Has(run.errors, "usage:")) << c.arguments;
  }
  EXPECT_FALSE(std::filesystem::exists(scratch.File("x")));

  // T0:T1 without a step: the frames nearest every 1/fps s, any format.
  const ToolRun run = Capture("--seed 1 --times 0:100 --fps 30 --format png" + data, scratch);
  ASSERT_EQ(run.status, 0) << run.errors;
  std::vector<std::string> names = FilesIn(scratch.File("x"));
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"t000000.png", "t000033.png", "t000067.png", "t000100.png"}));
}

TEST(CaptureExport, MissingOrFailingEncoderLeavesNoFile) {
  ScratchDirectory scratch;
  WriteStandInData(scratch.path() / "data", 4);
  const std::filesystem::path out = scratch.path() / "out";
  std::filesystem::create_directories(out);
  const std::string arguments =
      "--seed 1 --data " + (scratch.path() / "data").string() + " --times 0:2000 --format mp4 --out " +
      (out / "show.mp4").string();
  const std::filesystem::path bin = scratch.path() / "bin";
  std::filesystem::create_directories(bin);

  ToolRun run = Capture(arguments, scratch, "PATH=" + bin.string());
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(Has(run.errors, "needs the ffmpeg program")) << run.errors;

  // An ffmpeg without libx264, then one that fails once it has started encoding.
  const std::string script = (bin / "ffmpeg").string();
  std::ofstream(script) << "#!/bin/sh\nif [ \"$2\" = -encoders ]; then echo ' A..... aac   AAC'; exit 0; fi\n";
  std::filesystem::permissions(script, std::filesystem::perms::owner_all);
  run = Capture(arguments, scratch, "PATH=" + bin.string());
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(Has(run.errors, "no H.264 encoder")) << run.errors;

  std::ofstream(script) << "#!/bin/sh\nif [ \"$2\" = -encoders ]; then\n"
                           "  echo ' V....D libx264  H.264'; echo ' A..... aac   AAC'; exit 0\nfi\n"
                           "echo 'fake encoder broke' >&2\nexit 3\n";
  run = Capture(arguments, scratch, "PATH=" + bin.string());
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(Has(run.errors, "ffmpeg failed (exit status 3): fake encoder broke")) << run.errors;
  EXPECT_TRUE(FilesIn(out).empty());

  // One that stops reading and ends well, then one that reads everything and writes nothing:
  // the message says what the encoder said, and the file there before stays as it was.
  const std::string encoders = "#!/bin/sh\nif [ \"$2\" = -encoders ]; then\n"
                               "  echo ' V....D libx264  H.264'; echo ' A..... aac   AAC'; exit 0\nfi\n";
  std::ofstream(script) << encoders << "echo 'fake encoder had enough' >&2\nexit 0\n";
  run = Capture(arguments, scratch, "PATH=" + bin.string());
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(Has(run.errors, "ffmpeg stopped taking the frames (")) << run.errors;
  EXPECT_TRUE(Has(run.errors, "): fake encoder had enough")) << run.errors;
  EXPECT_TRUE(FilesIn(out).empty());

  std::ofstream(out / "show.mp4") << "the video before";
  std::ofstream(script) << encoders << "/bin/cat >/dev/null\nexit 0\n";
  run = Capture(arguments, scratch, "PATH=" + bin.string());
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(Has(run.errors, "ffmpeg wrote no video")) << run.errors;
  EXPECT_EQ(ReadAll((out / "show.mp4").string()), "the video before");
  EXPECT_EQ(FilesIn(out).size(), 1u);
}

// Ctrl+C on the terminal during a long export: the bar was showing, and no file is left.
TEST(CaptureExport, InterruptedExportLeavesNoFile) {
  if (!HaveProgram("ffmpeg")) GTEST_SKIP() << "needs ffmpeg (Debian ffmpeg)";
  ScratchDirectory scratch;
  const std::filesystem::path out = scratch.path() / "out";
  std::filesystem::create_directories(out);
  PtySession session(std::string(QVL_TOOLS_DIR) + "/quorvel4-capture",
                     {"--seed", "1", "--data", RealData(), "--times", "0:124000", "--format", "mp4", "--out",
                      (out / "show.mp4").string()},
                     100, 30, {"TERM=xterm"});
  ASSERT_TRUE(session.Started());
  ASSERT_TRUE(session.ReadUntil(" left", 0, 60000)) << session.Output();
  EXPECT_TRUE(Has(session.Output(), "/7441 frames")) << session.Output();
  EXPECT_FALSE(FilesIn(out).empty()) << "the export is under way in a temporary file";
  session.Type("\x03");
  EXPECT_EQ(session.Wait(20000), 128 + SIGINT);
  EXPECT_TRUE(FilesIn(out).empty());
}

// SIGTERM in the middle of an export: the encoder is ended and the unfinished file removed
// before the tool dies of the signal. Started the way nohup starts it, with SIGHUP ignored, a
// hangup does not end it: the hangup goes first, yet the tool dies of the SIGTERM after it.
TEST(CaptureExport, EndingSignalCleansUpAndAHangupIgnoredAtStartStaysIgnored) {
  ScratchDirectory scratch;
  WriteStandInData(scratch.path() / "data", 4);
  const std::filesystem::path out = scratch.path() / "out";
  const std::filesystem::path bin = scratch.path() / "bin";
  std::filesystem::create_directories(out);
  std::filesystem::create_directories(bin);
  // An encoder that takes no frames, so the export waits on it with its file half made.
  const std::string pidFile = scratch.File("encoder.pid");
  const std::string script = (bin / "ffmpeg").string();
  std::ofstream(script) << "#!/bin/sh\nif [ \"$2\" = -encoders ]; then\n"
                           "  echo ' V....D libx264  H.264'; echo ' A..... aac   AAC'; exit 0\nfi\n"
                           "echo $$ > " << pidFile << ".new && mv " << pidFile << ".new " << pidFile << "\n"
                           "exec sleep 600\n";
  std::filesystem::permissions(script, std::filesystem::perms::owner_all);

  const std::string capture = std::string(QVL_TOOLS_DIR) + "/quorvel4-capture";
  const std::string dataDir = (scratch.path() / "data").string();
  const std::string output = (out / "show.mp4").string();
  const std::string path = "PATH=" + bin.string() + ":/usr/bin:/bin";
  const pid_t tool = fork();
  ASSERT_GE(tool, 0);
  if (tool == 0) {
    signal(SIGHUP, SIG_IGN);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, STDOUT_FILENO);
    dup2(null, STDERR_FILENO);
    const char* argv[] = {capture.c_str(), "--seed", "1", "--data", dataDir.c_str(), "--times", "0:2000",
                          "--format", "mp4", "--out", output.c_str(), nullptr};
    const char* envp[] = {path.c_str(), nullptr};
    execve(capture.c_str(), const_cast<char* const*>(argv), const_cast<char* const*>(envp));
    _exit(127);
  }
  pid_t encoder = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (std::chrono::steady_clock::now() < deadline && waitpid(tool, nullptr, WNOHANG) == 0) {
    std::ifstream(pidFile) >> encoder;
    if (encoder > 0 && !FilesIn(out).empty()) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_GT(encoder, 0) << "the encoder never started";
  ASSERT_FALSE(FilesIn(out).empty()) << "the export is under way in a temporary file";

  kill(tool, SIGHUP);
  kill(tool, SIGTERM);
  int status = 0;
  ASSERT_EQ(waitpid(tool, &status, 0), tool);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << "status " << status;
  EXPECT_TRUE(FilesIn(out).empty()) << FilesIn(out).front();
  const bool encoderGone = kill(encoder, 0) != 0 && errno == ESRCH;
  EXPECT_TRUE(encoderGone) << "the encoder outlived the tool";
  if (!encoderGone) kill(encoder, SIGKILL);
}

// The output is written beside its final name and renamed into place, except where that
// would replace something that is not a plain file: a link keeps linking, a pipe gets the bytes.
TEST(CaptureExport, WritesThroughLinksAndIntoPipes) {
  ScratchDirectory scratch;
  const std::string common = "--seed 1 --data " + RealData() + " --times 300,900 --format cells --out ";
  std::filesystem::create_symlink("target.cells", scratch.path() / "link.cells");
  ToolRun run = Capture(common + scratch.File("link.cells"), scratch);
  ASSERT_EQ(run.status, 0) << run.errors;
  EXPECT_TRUE(std::filesystem::is_symlink(scratch.path() / "link.cells"));
  EXPECT_EQ(std::filesystem::file_size(scratch.File("target.cells")), 2u * 8000u);

  ASSERT_EQ(mkfifo(scratch.File("pipe").c_str(), 0600), 0);
  const std::string command = "cat " + scratch.File("pipe") + " > " + scratch.File("copy") + " & " +
                              std::string(QVL_TOOLS_DIR) + "/quorvel4-capture " + common + scratch.File("pipe") +
                              " >/dev/null; status=$?; wait; exit $status";
  EXPECT_EQ(std::system(command.c_str()), 0);
  EXPECT_TRUE(std::filesystem::is_fifo(scratch.File("pipe")));
  EXPECT_EQ(ReadAll(scratch.File("copy")), ReadAll(scratch.File("target.cells")));
  EXPECT_EQ(FilesIn(scratch.path()).size(), 6u) << "no temporary file left beside them";
}

// Standard output may be the export itself: progress and the summary go to standard error.
TEST(CaptureExport, PipedOutputIsTheFramesAlone) {
  ScratchDirectory scratch;
  const std::string errors = scratch.File("errors.txt");
  for (const std::string format : {"cells", "cast"}) {
    const std::string bytes =
        CommandOutput(std::string(QVL_TOOLS_DIR) + "/quorvel4-capture --seed 1 --data " + RealData() +
                      " --times 300,900 --format " + format + " --out /dev/stdout 2>" + errors + " | od -c");
    EXPECT_FALSE(Has(bytes, "c   a   p   t   u   r   e   :")) << format;
    EXPECT_TRUE(Has(ReadAll(errors), "quorvel4-capture: 2 frames")) << format << ": " << ReadAll(errors);
  }
  const std::string count = CommandOutput(std::string(QVL_TOOLS_DIR) + "/quorvel4-capture --seed 1 --data " + RealData() +
                                          " --times 300,900 --format cells --out /dev/stdout 2>/dev/null | wc -c");
  EXPECT_EQ(std::atoi(count.c_str()), 16000);
}

// Every format with every option that changes what is written, through a pipe: the same bytes
// as the same export into a file (for MP4, which cannot go back to put its index first, a
// fragmented video of as many frames), and nothing else; the gentle mode's count goes to
// standard error. (png writes a directory of files: there is nothing to pipe.)
TEST(CaptureExport, EveryFormatWithEveryOptionThroughAPipeIsTheExportAlone) {
  ScratchDirectory scratch;
  const bool haveFfmpeg = HaveProgram("ffmpeg") && HaveProgram("ffprobe");
  const std::string tool =
      std::string(QVL_TOOLS_DIR) + "/quorvel4-capture --seed 1 --data " + RealData() + " --times 81000:81600";
  struct Case {
    std::string format, options;
  };
  std::vector<Case> cases;
  for (const std::string gentle : {"", " --reduce-flashes"}) {
    for (const char* format : {"cells", "ansi", "cast", "flashes"}) {
      cases.push_back({format, gentle});
      cases.push_back({format, gentle + " --fps 30"});
    }
    cases.push_back({"gif", gentle});
    cases.push_back({"gif", gentle + " --fps 50 --scale 2"});
    if (haveFfmpeg) {
      cases.push_back({"mp4", gentle + " --scale 1"});
      cases.push_back({"mp4", gentle + " --fps 30 --scale 2"});
    }
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.format + c.options);
    const std::string args = tool + " --format " + c.format + c.options;
    const std::string piped = scratch.File("piped"), errors = scratch.File("errors"), status = scratch.File("status");
    const bool report = c.format == "flashes";  // its output is standard output itself
    std::system(("(" + args + (report ? "" : " --out /dev/stdout") + " 2>" + errors + "; echo $? >" + status +
                 ") | cat >" + piped)
                    .c_str());
    ASSERT_EQ(ReadAll(status), "0\n") << ReadAll(errors);
    EXPECT_EQ(Has(ReadAll(errors), "frames held back by --reduce-flashes"), Has(c.options, "reduce")) << ReadAll(errors);
    const std::string file = scratch.File("file." + c.format);
    const std::string fileCommand = args + (report ? " >" + file : " --out " + file + " >/dev/null") + " 2>/dev/null";
    ASSERT_EQ(std::system(fileCommand.c_str()), 0);
    if (c.format != "mp4") {
      EXPECT_EQ(ReadAll(piped), ReadAll(file)) << "piped " << ReadAll(piped).size() << " bytes, into a file "
                                               << ReadAll(file).size();
      continue;
    }
    // The pictures alike, frame for frame; the sound there (a fragmented file may split the
    // encoder's first packets differently).
    const std::string probe = "ffprobe -v error -count_frames -show_entries stream=codec_name,nb_read_frames -of csv=p=0 ";
    const std::string pictures = CommandOutput(probe + "-select_streams v " + file);
    EXPECT_TRUE(Has(pictures, "h264,")) << pictures;
    EXPECT_EQ(CommandOutput(probe + "-select_streams v " + piped), pictures);
    EXPECT_TRUE(Has(CommandOutput(probe + "-select_streams a " + piped), "aac,"));
  }
}

// A descriptor of the process named as the output (/dev/stdout, /dev/stderr, /dev/fd/N) is
// written where it stands: a file opened for appending keeps what it held and the same file
// (a link to it still sees the export); nothing is renamed over it.
TEST(CaptureExport, DescriptorsAreWrittenInPlaceAppendingWhereOpenedSo) {
  ScratchDirectory scratch;
  const std::string common = std::string(QVL_TOOLS_DIR) + "/quorvel4-capture --seed 1 --data " + RealData() +
                             " --times 300,900 --format cells --out ";
  ASSERT_EQ(std::system((common + scratch.File("frames") + " 2>/dev/null").c_str()), 0);
  const std::string frames = ReadAll(scratch.File("frames"));
  ASSERT_EQ(frames.size(), 16000u);
  const std::string f = scratch.File("f"), link = scratch.File("link");
  for (const std::string& redirect : {"/dev/stdout >>" + f + " 2>/dev/null", "/dev/stderr 2>>" + f + " >/dev/null",
                                     "/dev/fd/7 7>>" + f + " 2>/dev/null", "/proc/self/fd/7 7>>" + f + " 2>/dev/null"}) {
    SCOPED_TRACE(redirect);
    std::filesystem::remove(link);
    std::ofstream(f, std::ios::trunc) << "IMPORTANT\n";
    std::filesystem::create_hard_link(f, link);
    ASSERT_EQ(std::system((common + redirect).c_str()), 0);
    const std::string now = ReadAll(f);
    EXPECT_EQ(now.substr(0, 10 + frames.size()), "IMPORTANT\n" + frames) << now.size() << " bytes";
    EXPECT_EQ(ReadAll(link), now) << "the file was replaced";
  }
  const std::string errors = CommandOutput(common + "/dev/fd/9 2>&1 >/dev/null; echo $?");
  EXPECT_TRUE(Has(errors, "quorvel4-capture: cannot write /dev/fd/9: Bad file descriptor\n1\n")) << errors;
}

// A replaced file keeps its permissions (through a link: the file it names); a name as long
// as a file name may be still has room for its temporary name.
TEST(CaptureExport, ReplacedFilesKeepTheirModeAndLongNamesFit) {
  ScratchDirectory scratch;
  const std::string common = "--seed 1 --data " + RealData() + " --times 300,900 --format cells --out ";
  std::ofstream(scratch.File("private.cells")) << "old";
  chmod(scratch.File("private.cells").c_str(), 0600);
  std::ofstream(scratch.File("target.cells")) << "old";
  chmod(scratch.File("target.cells").c_str(), 0640);
  std::filesystem::create_symlink("target.cells", scratch.path() / "link.cells");
  for (const char* name : {"private.cells", "link.cells"}) {
    const ToolRun run = Capture(common + scratch.File(name), scratch);
    ASSERT_EQ(run.status, 0) << name << ": " << run.errors;
  }
  struct stat status{};
  ASSERT_EQ(stat(scratch.File("private.cells").c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 07777, 0600u);
  EXPECT_EQ(status.st_size, 16000);
  ASSERT_EQ(stat(scratch.File("target.cells").c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 07777, 0640u);
  EXPECT_EQ(status.st_size, 16000);
  EXPECT_TRUE(std::filesystem::is_symlink(scratch.path() / "link.cells"));

  const std::string longName = std::string(244, 'n') + "\xc3\xa9.cells";  // 252 bytes, the last letter two
  const ToolRun run = Capture(common + "'" + scratch.File(longName) + "'", scratch);
  ASSERT_EQ(run.status, 0) << run.errors;
  EXPECT_EQ(std::filesystem::file_size(scratch.File(longName)), 16000u);
  EXPECT_EQ(FilesIn(scratch.path()).size(), 6u) << "no temporary file left beside them";
}

// A full disk is reported with the name of the file that did not fit.
TEST(CaptureExport, FullDiskNamesTheFile) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "needs /dev/full";
  ScratchDirectory scratch;
  std::filesystem::create_directories(scratch.path() / "frames");
  std::filesystem::create_symlink("/dev/full", scratch.path() / "frames" / "t000300.png");
  const std::string common = "--seed 1 --data " + RealData() + " --times 300 --format ";
  ToolRun run = Capture(common + "png --out " + scratch.File("frames"), scratch);
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(Has(run.errors, "cannot write " + scratch.File("frames/t000300.png") + ": No space left on device"))
      << run.errors;
  run = Capture(common + "cells --out /dev/full", scratch);
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(Has(run.errors, "cannot write /dev/full: No space left on device")) << run.errors;
}
