#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <thread>

#include "demo/music_stream.h"
#include "demo_test_support.h"

namespace {

using WallClock = std::chrono::steady_clock;

double MillisecondsSince(WallClock::time_point start) {
  return std::chrono::duration<double, std::milli>(WallClock::now() - start).count();
}

// Opens the stream on SDL's dummy driver, which consumes the sound at the real pace.
bool StartSilentStream(MusicStream& stream, MusicBlock& block, const std::string& path) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  return ReadMusicFile(path, block) == MusicFileResult::kRead && stream.Init() && stream.Open(block) && stream.Play();
}

// The same for a silent MP3 of `frames` frames (26.1 ms each) written to `scratch`.
bool StartSilentStream(MusicStream& stream, MusicBlock& block, const ScratchDirectory& scratch, int frames) {
  WriteBytes(scratch.File("m.mp3"), SilentMp3(frames));
  return StartSilentStream(stream, block, scratch.File("m.mp3"));
}

struct ClockFit {
  double slope;   // music milliseconds per wall millisecond
  double spread;  // how far the samples stray from the straight line, lowest to highest
};

// Samples the clock for `duration` ms and fits a straight line through (wall, music). The
// line's slope is the pace of the audio output (SDL's dummy driver runs a little slow under
// load); the spread around it shows steps. The clock must never go back.
ClockFit SampleClock(MusicStream& stream, double duration) {
  const WallClock::time_point start = WallClock::now();
  std::vector<std::pair<double, double>> samples;
  int32_t previous = stream.MusicTime();
  while (MillisecondsSince(start) < duration) {
    std::this_thread::sleep_for(std::chrono::milliseconds(3));
    const int32_t now = stream.MusicTime();
    EXPECT_GE(now, previous);
    previous = now;
    samples.emplace_back(MillisecondsSince(start), now);
  }
  double sx = 0, sy = 0, sxx = 0, sxy = 0;
  for (const auto& [x, y] : samples) {
    sx += x;
    sy += y;
    sxx += x * x;
    sxy += x * y;
  }
  const double n = static_cast<double>(samples.size());
  const double slope = (n * sxy - sx * sy) / (n * sxx - sx * sx);
  const double intercept = (sy - slope * sx) / n;
  double lowest = 1e9, highest = -1e9;
  for (const auto& [x, y] : samples) {
    lowest = std::min(lowest, y - (intercept + slope * x));
    highest = std::max(highest, y - (intercept + slope * x));
  }
  return {slope, highest - lowest};
}

// The clock moves with the wall clock, smoothly: no steps of a whole audio buffer (23 ms). A
// loaded machine can hold up the audio thread for a buffer, so a stretch of samples is tried
// again before the clock is blamed.
void ExpectClockFollowsTheWall(MusicStream& stream, double duration) {
  ClockFit best{0.0, 1e9};
  for (int attempt = 0; attempt < 3 && !(best.spread < 8.0 && std::abs(best.slope - 1.0) < 0.1); ++attempt) {
    const ClockFit fit = SampleClock(stream, duration);
    if (fit.spread < best.spread) best = fit;
  }
  EXPECT_LT(best.spread, 8.0) << "the clock strayed from a steady pace by " << best.spread << " ms";
  EXPECT_NEAR(best.slope, 1.0, 0.1);
}

}  // namespace

TEST(MusicStream, ReadsTheWholeFileOrSaysWhyNot) {
  ScratchDirectory scratch;
  MusicBlock block;
  EXPECT_EQ(ReadMusicFile(scratch.File("absent.mp3"), block), MusicFileResult::kNotFound);
  WriteBytes(scratch.File("empty.mp3"), {});
  EXPECT_EQ(ReadMusicFile(scratch.File("empty.mp3"), block), MusicFileResult::kEmpty);
  EXPECT_EQ(ReadMusicFile(scratch.path().string(), block), MusicFileResult::kNotRegular);
  const std::string fifo = scratch.File("fifo.mp3");
  EXPECT_EQ(ReadFifoWithoutAWriter(fifo, [&] { return ReadMusicFile(fifo, block); }), MusicFileResult::kNotRegular);
  // Refused by their size before a byte is read, beyond 2 GiB and beyond 4 GiB alike.
  for (const uint64_t size : {uint64_t{2500} << 20, (uint64_t{4} << 30) + (uint64_t{2} << 20)}) {
    MakeSparseFile(scratch.File("huge.mp3"), size);
    uint64_t reported = 0;
    EXPECT_EQ(ReadMusicFile(scratch.File("huge.mp3"), block, &reported), MusicFileResult::kTooLarge) << size;
    EXPECT_EQ(reported, size);
    EXPECT_EQ(block.data, nullptr);
  }
  const std::vector<uint8_t> music = SilentMp3(3);
  WriteBytes(scratch.File("m.mp3"), music);
  ASSERT_EQ(ReadMusicFile(scratch.File("m.mp3"), block), MusicFileResult::kRead);
  ASSERT_EQ(block.size, music.size());
  EXPECT_TRUE(std::equal(music.begin(), music.end(), block.data.get()));
}

TEST(MusicStream, RefusesDataThatIsNoMp3) {
  ScratchDirectory scratch;
  std::vector<uint8_t> noise(5000);
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<uint8_t>((i * 7919) >> 3);
  WriteBytes(scratch.File("noise.mp3"), noise);
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  MusicBlock block;  // the decoder reads it until the stream is closed: it must outlive it
  MusicStream stream;
  ASSERT_EQ(ReadMusicFile(scratch.File("noise.mp3"), block), MusicFileResult::kRead);
  ASSERT_TRUE(stream.Init());
  EXPECT_FALSE(stream.Open(block));
  EXPECT_FALSE(stream.Error().empty());
}

TEST(MusicStream, PositionFollowsTheWallClockAndNeverGoesBack) {
  ScratchDirectory scratch;
  MusicBlock block;  // the decoder reads it until the stream is closed: it must outlive it
  MusicStream stream;
  ASSERT_TRUE(StartSilentStream(stream, block, scratch, 80)) << stream.Error();  // about 2.1 s
  // The first buffers fill the device; from then on the clock moves with the wall.
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  ExpectClockFollowsTheWall(stream, 300.0);
  stream.Close();
}

TEST(MusicStream, ClockRunsOnWhenTheMusicEndsEarly) {
  ScratchDirectory scratch;
  MusicBlock block;  // the decoder reads it until the stream is closed: it must outlive it
  MusicStream stream;
  ASSERT_TRUE(StartSilentStream(stream, block, scratch, 8)) << stream.Error();  // about 0.21 s
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  ExpectClockFollowsTheWall(stream, 300.0);
  EXPECT_GT(stream.MusicTime(), 450);
}

TEST(MusicStream, WithoutAUsableDeviceItPlaysSilently) {
  setenv("SDL_AUDIODRIVER", "no_such_driver", 1);
  MusicStream stream;
  ASSERT_TRUE(stream.Init()) << stream.Error();
  EXPECT_TRUE(stream.Silent());
}

TEST(MusicStream, PlaysTheShowsOwnMusic) {
  const std::string path = std::string(QVL_SOURCE_DIR) + "/data/8920.mp3";
  MusicBlock block;  // the decoder reads it until the stream is closed: it must outlive it
  MusicStream stream;
  ASSERT_TRUE(StartSilentStream(stream, block, path)) << stream.Error();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  ExpectClockFollowsTheWall(stream, 300.0);
}
