// The silent clock under live editing, on a time source the test moves by hand.
#include <gtest/gtest.h>

#include <cstdint>

#include "demo/music_clock.h"

namespace {

constexpr int64_t kMs = 1000000;  // nanoseconds

struct HandClock {
  int64_t now = 5000 * kMs;  // a steady clock does not start at 0
  RealTimeClock clock{[this] { return now; }};
};

}  // namespace

TEST(RealTimeClock, PausesAndResumesExactly) {
  HandClock hand;
  hand.clock.Start();
  EXPECT_TRUE(hand.clock.CanSeek());
  hand.now += 1500 * kMs;
  EXPECT_EQ(hand.clock.MusicTime(), 1500);

  hand.clock.Pause();
  EXPECT_TRUE(hand.clock.Paused());
  hand.now += 10000 * kMs;
  EXPECT_EQ(hand.clock.MusicTime(), 1500);
  hand.clock.Pause();  // a second pause does not move the mark it stands at
  hand.now += 700 * kMs;
  EXPECT_EQ(hand.clock.MusicTime(), 1500);

  hand.clock.Resume();
  EXPECT_FALSE(hand.clock.Paused());
  EXPECT_EQ(hand.clock.MusicTime(), 1500);
  hand.now += 250 * kMs;
  EXPECT_EQ(hand.clock.MusicTime(), 1750);
  hand.clock.Resume();  // not paused: nothing to take back
  hand.now += kMs - 1;  // no reading runs ahead of a whole millisecond
  EXPECT_EQ(hand.clock.MusicTime(), 1750);
  hand.now += 1;
  EXPECT_EQ(hand.clock.MusicTime(), 1751);
}

TEST(RealTimeClock, SeeksForwardsAndBackwardsPlayingOrPaused) {
  HandClock hand;
  hand.clock.Start();
  hand.now += 400 * kMs;
  ASSERT_TRUE(hand.clock.Seek(60000));
  EXPECT_EQ(hand.clock.MusicTime(), 60000);
  hand.now += 20 * kMs;
  EXPECT_EQ(hand.clock.MusicTime(), 60020);
  ASSERT_TRUE(hand.clock.Seek(10000));
  EXPECT_EQ(hand.clock.MusicTime(), 10000);

  hand.clock.Pause();
  ASSERT_TRUE(hand.clock.Seek(3000));
  EXPECT_TRUE(hand.clock.Paused());
  hand.now += 900 * kMs;
  EXPECT_EQ(hand.clock.MusicTime(), 3000);
  hand.clock.Resume();
  hand.now += 5 * kMs;
  EXPECT_EQ(hand.clock.MusicTime(), 3005);

  ASSERT_TRUE(hand.clock.Seek(-200));  // before the start lands on it
  EXPECT_EQ(hand.clock.MusicTime(), 0);
  ASSERT_TRUE(hand.clock.Seek(INT32_MAX));
  hand.now += 3000 * kMs;
  EXPECT_EQ(hand.clock.MusicTime(), INT32_MAX);

  hand.clock.Pause();
  hand.clock.Start();  // a new show starts at 0, playing
  EXPECT_FALSE(hand.clock.Paused());
  hand.now += 8 * kMs;
  EXPECT_EQ(hand.clock.MusicTime(), 8);
}
