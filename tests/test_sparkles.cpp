#include <gtest/gtest.h>


#include "effects/sparkles.h"
#include "quorvel4/qmath.h"
#include "quorvel4/random.h"
#include "quorvel4/types.h"
#include "random_draws.h"

namespace {

constexpr Pixel kSentinel = 0xABCDEF;

void FillCanvas(Pixel value) {
  for (Pixel& p : Canvas) p = value;
}

Pixel At(int x, int y) { return Canvas[x + 160 * y]; }

// The last of the 1000 sparkles, followed from the draws it takes: it is drawn last, so
// its pixels show whatever the others did.
struct LastSparkle {
  int colour = 0, centreX = 0, centreY = 0;
  int x = 0, y = 0, angle = 0, size = 1;
  bool wrapped = false;

  // From the generator's state before InitSparkles.
  explicit LastSparkle(DrawReplay& draws) {
    for (int i = 0; i < 999 * 5; ++i) draws.Next();
    const int blue = draws.Next() % 256;
    const int green = draws.Next() % 256;
    const int red = draws.Next() % 256;
    colour = (blue << 16) | (green << 8) | red;
    centreX = draws.Next() % 159;
    centreY = draws.Next() % 99;
  }

  // One MoveSparkles call: the sparkle takes the last of its 1000 draws.
  void Move(DrawReplay& draws) {
    for (int i = 0; i < 999; ++i) draws.Next();
    x = static_cast<int>(QvlSin(angle / 57.3) * 5.0 + centreX);
    y = static_cast<int>(QvlCos(angle / 57.3) * 5.0 + centreY);
    angle += draws.Next() % 10;
    if (angle >= 360) {
      angle = 0;
      wrapped = true;
    }
    size = size % 4 + 1;
  }
};

}  // namespace

TEST(Sparkles, DrawCounts) {
  SeedRandom(11);
  EXPECT_EQ(CountDraws(InitSparkles), 5000);
  // Before the first move every sparkle sits at (0, 0), which is never drawn.
  FillCanvas(kSentinel);
  EXPECT_EQ(CountDraws(DrawSparkles), 0);
  for (Pixel p : Canvas) ASSERT_EQ(p, kSentinel);
  EXPECT_EQ(CountDraws(MoveSparkles), 1000);
  EXPECT_EQ(CountDraws(MoveSparkles), 1000);
  EXPECT_EQ(CountDraws(DrawSparkles), 0);
}

TEST(Sparkles, CircleTheCentreAndPulseInSize) {
  SeedRandom(0x5EED);
  DrawReplay draws(RandomState());
  InitSparkles();
  LastSparkle last(draws);

  for (int step = 0; step < 250; ++step) {
    MoveSparkles();
    last.Move(draws);
    FillCanvas(0);
    DrawSparkles();
    if (step == 0) {
      // The first position is from angle 0: straight below the centre; the size is now 2.
      ASSERT_EQ(last.x, last.centreX);
      ASSERT_EQ(last.y, last.centreY + 5);
      ASSERT_EQ(last.size, 2);
    }
    if (!(last.x > 0 && last.x < 160 && last.y > 0 && last.y < 100)) continue;
    const Pixel colour = static_cast<Pixel>(last.colour);
    const int x = last.x, y = last.y, size = last.size;
    ASSERT_EQ(At(x, y), colour) << "step " << step;
    // The arm tips inside the bounds; the upper arm only from row 1 on.
    EXPECT_TRUE(x - size < 0 || At(x - size, y) == colour) << "step " << step;
    EXPECT_TRUE(x + size >= 160 || At(x + size, y) == colour) << "step " << step;
    EXPECT_TRUE(y + size >= 100 || At(x, y + size) == colour) << "step " << step;
    EXPECT_TRUE(y - size <= 0 || At(x, y - size) == colour) << "step " << step;
  }
  // The angle passed 360 and restarted from 0 on the way.
  EXPECT_TRUE(last.wrapped);
}

TEST(Sparkles, UpperArmNeverReachesRowZeroWhileTheLeftArmReachesColumnZero) {
  SeedRandom(77);
  InitSparkles();
  int column0 = 0, column159 = 0, row99 = 0;
  for (int step = 0; step < 200; ++step) {
    MoveSparkles();
    FillCanvas(kSentinel);
    DrawSparkles();
    for (int x = 0; x < 160; ++x) ASSERT_EQ(At(x, 0), kSentinel) << "step " << step << " x " << x;
    for (int y = 0; y < 100; ++y) {
      column0 += At(0, y) != kSentinel;
      column159 += At(159, y) != kSentinel;
    }
    for (int x = 0; x < 160; ++x) row99 += At(x, 99) != kSentinel;
  }
  EXPECT_GT(column0, 0);
  EXPECT_GT(column159, 0);
  EXPECT_GT(row99, 0);
}
