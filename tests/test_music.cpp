#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
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
  return ReadMusicFile(path, block) == DataFileError::kNone && stream.Init() && stream.Open(block) && stream.Play();
}

// The same for a silent MP3 of `frames` frames (26.1 ms each) written to `scratch`.
bool StartSilentStream(MusicStream& stream, MusicBlock& block, const ScratchDirectory& scratch, int frames) {
  WriteBytes(scratch.File("m.mp3"), SilentMp3(frames));
  return StartSilentStream(stream, block, scratch.File("m.mp3"));
}

// Waits until the clock reaches `ms`: a generous deadline guards against a clock that stands.
void WaitForMusicTime(MusicStream& stream, int32_t ms) {
  const WallClock::time_point start = WallClock::now();
  int32_t now = stream.MusicTime();
  while (now < ms && MillisecondsSince(start) < 60000) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    now = stream.MusicTime();
  }
  ASSERT_GE(now, ms) << "waited 60 s for the music clock to reach " << ms << " ms; it stands at " << now;
}

// Reads the clock for `duration` wall milliseconds: it never goes back, and it never gets
// ahead of the wall clock, so it cannot step by an audio buffer (23 ms) at a time. The clock
// follows the audio thread's reports, which come a little early or late against the wall
// clock (later on a loaded machine, where the clock then waits for them and catches up): a few
// milliseconds of that are allowed, a buffer is not.
void ExpectClockFollowsTheWall(MusicStream& stream, double duration) {
  constexpr double kSlackMs = 1.0 + 10.0;  // the truncation of a reading, and the reports' timing
  const WallClock::time_point start = WallClock::now();
  const int32_t first = stream.MusicTime();
  int32_t previous = first;
  double previousAsked = 0.0;  // just before `previous` was read
  for (double answered = 0.0; answered < duration;) {
    std::this_thread::sleep_for(std::chrono::milliseconds(3));
    const double asked = MillisecondsSince(start);
    const int32_t now = stream.MusicTime();
    answered = MillisecondsSince(start);
    ASSERT_GE(now, previous) << "the clock went back at " << answered << " ms";
    ASSERT_LE(now - previous, answered - previousAsked + kSlackMs)
        << "the clock jumped from " << previous << " to " << now << " ms in " << answered - previousAsked << " ms";
    ASSERT_LE(now - first, answered + kSlackMs)
        << "the clock went from " << first << " to " << now << " ms in " << answered << " ms of wall time";
    previous = now;
    previousAsked = asked;
  }
}

// Reads the clock until `wallMs` of wall time have passed: it must not move at all.
void ExpectClockStandsAt(MusicStream& stream, int32_t ms, double wallMs) {
  const WallClock::time_point start = WallClock::now();
  while (MillisecondsSince(start) < wallMs) {
    ASSERT_EQ(stream.MusicTime(), ms) << "paused, the clock moved after " << MillisecondsSince(start) << " ms";
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

// Just after a seek or a resume the clock starts from `ms`: it may wait for the output's first
// count, and catch up by at most one of its chunks (23 ms), but it never runs ahead of the wall.
void ExpectClockGoesOnFrom(MusicStream& stream, int32_t ms) {
  constexpr double kSlackMs = 23.0 + 1.0 + 10.0;  // a chunk, the truncation, the reports' timing
  const WallClock::time_point start = WallClock::now();
  const int32_t first = stream.MusicTime();
  ASSERT_GE(first, ms);
  ASSERT_LE(first, ms + kSlackMs);
  WaitForMusicTime(stream, ms + 50);
  ASSERT_LE(stream.MusicTime() - ms, MillisecondsSince(start) + kSlackMs) << "the clock ran ahead of the wall";
}

}  // namespace

TEST(MusicStream, ReadsTheWholeFileOrSaysWhyNot) {
  ScratchDirectory scratch;
  MusicBlock block;
  EXPECT_EQ(ReadMusicFile(scratch.File("absent.mp3"), block), DataFileError::kNotFound);
  WriteBytes(scratch.File("empty.mp3"), {});
  EXPECT_EQ(ReadMusicFile(scratch.File("empty.mp3"), block), DataFileError::kEmpty);
  EXPECT_EQ(ReadMusicFile(scratch.path().string(), block), DataFileError::kNotRegular);
  const std::string fifo = scratch.File("fifo.mp3");
  EXPECT_EQ(ReadFifoWithoutAWriter(fifo, [&] { return ReadMusicFile(fifo, block); }), DataFileError::kNotRegular);
  // Refused by their size before a byte is read, beyond 2 GiB and beyond 4 GiB alike.
  for (const uint64_t size : {uint64_t{2500} << 20, (uint64_t{4} << 30) + (uint64_t{2} << 20)}) {
    MakeSparseFile(scratch.File("huge.mp3"), size);
    uint64_t reported = 0;
    EXPECT_EQ(ReadMusicFile(scratch.File("huge.mp3"), block, &reported), DataFileError::kTooLarge) << size;
    EXPECT_EQ(reported, size);
    EXPECT_EQ(block.data, nullptr);
  }
  // A file that cannot be read says why, in the system's words.
  std::filesystem::create_symlink("loop.mp3", scratch.path() / "loop.mp3");
  std::string reason;
  EXPECT_EQ(ReadMusicFile(scratch.File("loop.mp3"), block, nullptr, &reason), DataFileError::kUnreadable);
  EXPECT_EQ(reason, std::strerror(ELOOP));
  EXPECT_EQ(ReadMusicFile(std::string(5000, 'a'), block, nullptr, &reason), DataFileError::kUnreadable);
  EXPECT_EQ(reason, std::strerror(ENAMETOOLONG));
  if (geteuid() != 0) {  // no folder is closed to root
    std::filesystem::create_directory(scratch.path() / "closed");
    WriteBytes(scratch.File("closed/m.mp3"), SilentMp3(3));
    std::filesystem::permissions(scratch.path() / "closed", std::filesystem::perms::none);
    EXPECT_EQ(ReadMusicFile(scratch.File("closed/m.mp3"), block, nullptr, &reason), DataFileError::kUnreadable);
    EXPECT_EQ(reason, std::strerror(EACCES));
    std::filesystem::permissions(scratch.path() / "closed", std::filesystem::perms::owner_all);
  }
  const std::vector<uint8_t> music = SilentMp3(3);
  WriteBytes(scratch.File("m.mp3"), music);
  ASSERT_EQ(ReadMusicFile(scratch.File("m.mp3"), block), DataFileError::kNone);
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
  ASSERT_EQ(ReadMusicFile(scratch.File("noise.mp3"), block), DataFileError::kNone);
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
  WaitForMusicTime(stream, 1);
  ExpectClockFollowsTheWall(stream, 300.0);
  WaitForMusicTime(stream, 500);
  stream.Close();
}

TEST(MusicStream, ClockRunsOnWhenTheMusicEndsEarly) {
  ScratchDirectory scratch;
  MusicBlock block;  // the decoder reads it until the stream is closed: it must outlive it
  MusicStream stream;
  ASSERT_TRUE(StartSilentStream(stream, block, scratch, 8)) << stream.Error();  // about 0.21 s
  WaitForMusicTime(stream, 300);
  ExpectClockFollowsTheWall(stream, 300.0);
  WaitForMusicTime(stream, 1000);
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
  WaitForMusicTime(stream, 1);
  ExpectClockFollowsTheWall(stream, 300.0);
  WaitForMusicTime(stream, 500);
}

// Live editing on the real mixer: the clock lands where it is sent, backwards as well, and the
// music stands and goes on with it.
TEST(MusicStream, SeeksPausesAndResumesTheShowsOwnMusic) {
  const std::string path = std::string(QVL_SOURCE_DIR) + "/data/8920.mp3";
  MusicBlock block;  // the decoder reads it until the stream is closed: it must outlive it
  MusicStream stream;
  EXPECT_FALSE(stream.CanSeek());  // nothing to move before the music plays
  EXPECT_FALSE(stream.Seek(1000));
  ASSERT_TRUE(StartSilentStream(stream, block, path)) << stream.Error();
  ASSERT_TRUE(stream.CanSeek());
  WaitForMusicTime(stream, 1);

  ASSERT_TRUE(stream.Seek(60000)) << stream.Error();
  ExpectClockGoesOnFrom(stream, 60000);
  ExpectClockFollowsTheWall(stream, 200.0);
  ASSERT_TRUE(stream.Seek(10000)) << stream.Error();  // not held at 60 s by "never backwards"
  ExpectClockGoesOnFrom(stream, 10000);

  stream.Pause();
  ASSERT_TRUE(stream.Paused());
  const int32_t held = stream.MusicTime();
  ExpectClockStandsAt(stream, held, 300.0);
  stream.Resume();
  ASSERT_FALSE(stream.Paused());
  // Had the mixer played on while paused, its count would be 300 ms ahead.
  ExpectClockGoesOnFrom(stream, held);
  ExpectClockFollowsTheWall(stream, 200.0);

  // Sought while paused, it stands at the new place until resumed.
  stream.Pause();
  ASSERT_TRUE(stream.Seek(30000)) << stream.Error();
  ASSERT_TRUE(stream.Paused());
  ExpectClockStandsAt(stream, 30000, 200.0);
  stream.Resume();
  ExpectClockGoesOnFrom(stream, 30000);
  ASSERT_TRUE(stream.Seek(0)) << stream.Error();
  ExpectClockGoesOnFrom(stream, 0);
  stream.Close();
  EXPECT_FALSE(stream.CanSeek());
}

// Once the mixer has finished the music, a seek plays it again; past its end the wall clock
// carries the show on from where it was sent.
TEST(MusicStream, SeeksAfterAndPastTheEnd) {
  ScratchDirectory scratch;
  MusicBlock block;  // the decoder reads it until the stream is closed: it must outlive it
  MusicStream stream;
  ASSERT_TRUE(StartSilentStream(stream, block, scratch, 8)) << stream.Error();  // about 0.21 s
  WaitForMusicTime(stream, 600);
  ASSERT_TRUE(stream.Seek(50)) << stream.Error();
  ExpectClockGoesOnFrom(stream, 50);
  ASSERT_TRUE(stream.Seek(5000)) << stream.Error();
  ExpectClockGoesOnFrom(stream, 5000);
  ExpectClockFollowsTheWall(stream, 200.0);
}
