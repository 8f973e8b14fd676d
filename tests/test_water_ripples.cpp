#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "effects/water_ripples.h"
#include "quorvel4/random.h"
#include "quorvel4/types.h"
#include "random_draws.h"

namespace {

constexpr int kWidth = kCanvasWidth;

struct Drop {
  int x;
  int y;
};

// Where the drops of a call land, replaying the generator from `seed`.
std::vector<Drop> DropsFrom(uint32_t seed, int count) {
  SeedRandom(seed);
  std::vector<Drop> drops;
  for (int i = 0; i < count; ++i) {
    const int x = Random() % 160;
    drops.push_back({x, Random() % 100});
  }
  return drops;
}

class WaterRipples : public ::testing::Test {
 protected:
  void SetUp() override { PrepareRippleFields(); }
  static int32_t& At(int field, int x, int y) { return RippleFields[field][x + kWidth * y]; }

  // The source raises the four neighbours of its point (x, y) in `field`.
  static void ExpectSourceAround(int field, int x, int y) {
    EXPECT_EQ(At(field, x + 1, y), 455);
    EXPECT_EQ(At(field, x, y + 1), 455);
    EXPECT_EQ(At(field, x, y - 1), 455);
    EXPECT_EQ(At(field, x - 1, y), 455);
  }
};

}  // namespace

TEST_F(WaterRipples, FirstCallRaisesTheSourceInTheSecondFieldAndStepsIntoTheFirst) {
  const uint32_t seed = 7;
  const Drop drop = DropsFrom(seed, 1)[0];
  ASSERT_TRUE(std::abs(drop.x - 80) > 3 || std::abs(drop.y - 80) > 3) << "pick a seed whose drop lands elsewhere";
  SeedRandom(seed);
  DrawWaterRipples(0);

  // The source at (80, 80) raises its four neighbours, not itself; one drop of height 50.
  ExpectSourceAround(1, 80, 80);
  EXPECT_EQ(At(1, 80, 80), 0);
  EXPECT_EQ(At(1, drop.x, drop.y), 50);

  // New heights: (4 * 455) / 4 less 1/64, clamped; 910 / 4 = 227, less 3; 455 / 4 = 113, less 1.
  EXPECT_EQ(At(0, 80, 80), 255);
  EXPECT_EQ(At(0, 81, 81), 224);
  EXPECT_EQ(At(0, 82, 80), 112);
  EXPECT_EQ(Canvas[80 + kWidth * 80], 0xFFFFFFu);
  EXPECT_EQ(Canvas[81 + kWidth * 81], 0xE0E0E0u);
  EXPECT_EQ(Canvas[82 + kWidth * 80], 0x707070u);
}

TEST_F(WaterRipples, DropCountsHeightsAndTwoDrawsPerDrop) {
  struct Case {
    int32_t time;
    int drops;
    int32_t height;
  };
  // The level is time / 1500 in floating point: 2.5 gives six drops; just above 3 the shower
  // of 2^9 drops starts and lasts up to a level of 4; beyond it the level is 0 again.
  const Case cases[] = {{0, 1, 50},     {1500, 2, 94},   {3750, 6, 160}, {4500, 8, 182},
                        {4501, 512, 446}, {6000, 512, 446}, {6001, 1, 50}};
  for (size_t call = 0; call < std::size(cases); ++call) {
    const Case& c = cases[call];
    const uint32_t seed = 1000 + static_cast<uint32_t>(call);
    const std::vector<Drop> drops = DropsFrom(seed, c.drops);
    SeedRandom(seed);
    DrawWaterRipples(c.time);
    EXPECT_EQ(DrawsBetween(seed, RandomState()), 2 * c.drops) << "time " << c.time;
    const int current = call % 2 == 0 ? 1 : 0;  // the fields take turns
    for (const Drop& d : drops) ASSERT_EQ(At(current, d.x, d.y), c.height) << "time " << c.time;
  }
}

TEST_F(WaterRipples, FieldsTakeTurnsAndTheSourceGlides) {
  SeedRandom(3);
  DrawWaterRipples(0);
  // Second call: the first field is current. At 600 ms the source is at
  // (sin 1.5 * 30 + 80, cos 2.4 * 30 + 50), about (109.9, 27.9): the divisions are not
  // integer ones, which would put it near (105, 33).
  SeedRandom(4);
  DrawWaterRipples(600);
  ExpectSourceAround(0, 109, 27);
  // The ripples of the first call went on in the second field.
  EXPECT_GT(At(1, 80, 80), 0);
  EXPECT_LE(At(1, 80, 80), 255);
  // Third call: the second field is current again.
  SeedRandom(5);
  DrawWaterRipples(600);
  ExpectSourceAround(1, 109, 27);
}

TEST_F(WaterRipples, SourceIsHeldAsAFloatBeforeItsNeighboursAreFound) {
  // At 5655 ms sin(5655 / 400) * 30 + 80 is 109.9999983, which as a float is 110 exactly: the
  // source sits at (110, 25), not at (109, 25) as the unrounded value would put it.
  SeedRandom(9);
  DrawWaterRipples(5655);
  ExpectSourceAround(1, 110, 25);
  EXPECT_NE(At(1, 108, 25), 455);
}

TEST_F(WaterRipples, WaveStepTruncatesDampsAndClamps) {
  // Three separate spots in the current (second) field, far from the source and the drop.
  const uint32_t seed = 11;
  const Drop drop = DropsFrom(seed, 1)[0];
  ASSERT_FALSE(drop.y >= 8 && drop.y <= 12 && drop.x <= 52) << "pick a seed whose drop lands elsewhere";
  auto ring = [](int cx, int cy, int value) {
    for (int dy = -1; dy <= 1; ++dy)
      for (int dx = -1; dx <= 1; ++dx)
        if (dx != 0 || dy != 0) At(1, cx + dx, cy + dy) = value;
  };
  ring(10, 10, 128);  // eight neighbours summing to 1024, plus 6 more below
  At(1, 10, 11) += 6;
  At(0, 10, 10) = 1;     // (1030 - 4) / 4 = 256 (truncated), less 256 >> 6: 252
  ring(30, 10, 250);     // 2000 / 4 = 500, less 7: clamped to 255
  At(0, 50, 10) = 100;   // nothing around, an old height of 100: negative, clamped to 0
  SeedRandom(seed);
  DrawWaterRipples(0);
  EXPECT_EQ(At(0, 10, 10), 252);
  EXPECT_EQ(At(0, 30, 10), 255);
  EXPECT_EQ(At(0, 50, 10), 0);
  EXPECT_EQ(Canvas[50 + kWidth * 10], 0u);
}

TEST_F(WaterRipples, BordersOfTheCanvasAndTheFieldsAreLeftAlone) {
  for (Pixel& pixel : Canvas) pixel = 0xABCDEF;
  for (int x = 0; x < kWidth; ++x) At(0, x, 0) = At(0, x, 99) = 77;
  for (int y = 0; y < 100; ++y) At(0, 0, y) = At(0, 159, y) = 77;
  SeedRandom(21);
  DrawWaterRipples(0);
  for (int y = 0; y < 100; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const bool border = x == 0 || y == 0 || x == 159 || y == 99;
      if (border) {
        ASSERT_EQ(Canvas[x + kWidth * y], 0xABCDEFu) << x << ", " << y;
        ASSERT_EQ(At(0, x, y), 77) << x << ", " << y;
      } else {
        ASSERT_NE(Canvas[x + kWidth * y], 0xABCDEFu) << x << ", " << y;
      }
    }
  }
}
