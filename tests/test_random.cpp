#include <gtest/gtest.h>

#include "quorvel4/random.h"

// The sequence is the classic one of the Microsoft C runtime's rand().
TEST(Random, FirstValuesForKnownSeeds) {
  SeedRandom(1);
  EXPECT_EQ(Random(), 41);
  EXPECT_EQ(Random(), 18467);
  EXPECT_EQ(Random(), 6334);
  EXPECT_EQ(Random(), 26500);

  SeedRandom(0);
  EXPECT_EQ(Random(), 38);
  EXPECT_EQ(Random(), 7719);

  SeedRandom(12345);
  const int first = Random();
  SeedRandom(12345);
  EXPECT_EQ(Random(), first);
}

TEST(Random, StaysWithinRangeAndFollowsTheRecurrence) {
  SeedRandom(0xDEADBEEF);
  for (int i = 0; i < 100000; ++i) {
    const uint32_t before = RandomState();
    const int r = Random();
    ASSERT_GE(r, 0);
    ASSERT_LE(r, kRandomMax);
    ASSERT_EQ(RandomState(), before * 214013u + 2531011u);
    ASSERT_EQ(static_cast<uint32_t>(r), (RandomState() >> 16) & 0x7FFF);
  }
}
