#include <gtest/gtest.h>

#include <chrono>
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

// Samples the clock for `duration` ms: it must never go back, and its distance to the wall
// clock must stay the same within a few milliseconds (no steps of a whole audio buffer).
void ExpectClockFollowsTheWall(MusicStream& stream, double duration) {
  const WallClock::time_point start = WallClock::now();
  double lowest = 1e9, highest = -1e9;
  int32_t previous = stream.MusicTime();
  while (MillisecondsSince(start) < duration) {
    std::this_thread::sleep_for(std::chrono::milliseconds(3));
    const int32_t now = stream.MusicTime();
    ASSERT_GE(now, previous);
    previous = now;
    const double lag = MillisecondsSince(start) - now;
    lowest = std::min(lowest, lag);
    highest = std::max(highest, lag);
  }
  EXPECT_LT(highest - lowest, 12.0) << "the clock's lag behind the wall varied from " << lowest << " to " << highest
                                   << " ms";
}

}  // namespace

TEST(MusicStream, VersionCheckComparesFieldByField) {
  const MixerVersion minimum{2, 0, 2};
  EXPECT_TRUE(MixerVersionAtLeast({2, 0, 2}, minimum));
  EXPECT_TRUE(MixerVersionAtLeast({2, 6, 0}, minimum));
  EXPECT_TRUE(MixerVersionAtLeast({3, 0, 0}, minimum));
  EXPECT_FALSE(MixerVersionAtLeast({2, 0, 1}, minimum));
  EXPECT_FALSE(MixerVersionAtLeast({1, 9, 9}, minimum));
  EXPECT_TRUE(MixerVersionAtLeast(LinkedMixerVersion(), kMinimumMixerVersion));
}

TEST(MusicStream, ReadsTheWholeFileOrSaysWhyNot) {
  ScratchDirectory scratch;
  MusicBlock block;
  EXPECT_EQ(ReadMusicFile(scratch.File("absent.mp3"), block), MusicFileResult::kNotFound);
  WriteBytes(scratch.File("empty.mp3"), {});
  EXPECT_EQ(ReadMusicFile(scratch.File("empty.mp3"), block), MusicFileResult::kEmpty);
  EXPECT_EQ(ReadMusicFile(scratch.path().string(), block), MusicFileResult::kUnreadable);
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
  MusicStream stream;
  MusicBlock block;
  ASSERT_EQ(ReadMusicFile(scratch.File("noise.mp3"), block), MusicFileResult::kRead);
  ASSERT_TRUE(stream.Init());
  EXPECT_FALSE(stream.Open(block));
  EXPECT_FALSE(stream.Error().empty());
}

TEST(MusicStream, PositionFollowsTheWallClockAndNeverGoesBack) {
  ScratchDirectory scratch;
  WriteBytes(scratch.File("m.mp3"), SilentMp3(80));  // about 2.1 s
  MusicStream stream;
  MusicBlock block;
  ASSERT_TRUE(StartSilentStream(stream, block, scratch.File("m.mp3"))) << stream.Error();
  // The first buffers fill the device; from then on the clock moves with the wall.
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  ExpectClockFollowsTheWall(stream, 700.0);
  stream.Close();
}

TEST(MusicStream, ClockRunsOnWhenTheMusicEndsEarly) {
  ScratchDirectory scratch;
  WriteBytes(scratch.File("short.mp3"), SilentMp3(8));  // about 0.21 s
  MusicStream stream;
  MusicBlock block;
  ASSERT_TRUE(StartSilentStream(stream, block, scratch.File("short.mp3"))) << stream.Error();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  ExpectClockFollowsTheWall(stream, 400.0);
  EXPECT_GT(stream.MusicTime(), 500);
}

TEST(MusicStream, WithoutAUsableDeviceItPlaysSilently) {
  setenv("SDL_AUDIODRIVER", "no_such_driver", 1);
  MusicStream stream;
  ASSERT_TRUE(stream.Init()) << stream.Error();
  EXPECT_TRUE(stream.Silent());
}

TEST(MusicStream, PlaysTheShowsOwnMusic) {
  const std::string path = std::string(QVL_SOURCE_DIR) + "/data/8920.mp3";
  if (!std::filesystem::exists(path)) GTEST_SKIP() << "the show's music is not in this tree yet";
  MusicStream stream;
  MusicBlock block;
  ASSERT_TRUE(StartSilentStream(stream, block, path)) << stream.Error();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  ExpectClockFollowsTheWall(stream, 500.0);
}
