#include <gtest/gtest.h>

#include "effects/sparkles.h"
#include "quorvel4/random.h"
#include "quorvel4/types.h"
#include "random_draws.h"

namespace {

constexpr Pixel kSentinel = 0xABCDEF;

void FillCanvas(Pixel value) {
  for (Pixel& p : Canvas) p = value;
}

Pixel At(int x, int y) { return Canvas[x + 160 * y]; }

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
  // The last of the 1000 sparkles is drawn last, so its plus sign shows whole. With this seed
  // it circles (22, 72) in 0x3A06E6; its places and sizes were recorded from the audited
  // implementation. It starts straight below the centre (angle 0) and passes 360 degrees
  // at step 79, starting from 0 again.
  struct Golden {
    int step, x, y, size;
  };
  constexpr Pixel kColour = 0x3A06E6;
  SeedRandom(0x5EED);
  InitSparkles();
  const Golden golden[] = {{0, 22, 77, 2}, {1, 22, 76, 3}, {2, 23, 76, 4}, {60, 17, 71, 2}, {79, 21, 76, 1},
                           {80, 22, 77, 2}, {249, 25, 75, 3}};
  const Golden* next = golden;
  for (int step = 0; step <= 249; ++step) {
    MoveSparkles();
    if (step != next->step) continue;
    FillCanvas(0);
    DrawSparkles();
    const int x = next->x, y = next->y, size = next->size;
    EXPECT_EQ(At(x, y), kColour) << "step " << step;
    EXPECT_EQ(At(x - size, y), kColour) << "step " << step;
    EXPECT_EQ(At(x + size, y), kColour) << "step " << step;
    EXPECT_EQ(At(x, y - size), kColour) << "step " << step;
    EXPECT_EQ(At(x, y + size), kColour) << "step " << step;
    EXPECT_NE(At(x + size + 1, y), kColour) << "step " << step;
    ++next;
  }
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
