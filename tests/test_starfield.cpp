#include <gtest/gtest.h>

#include <vector>

#include "effects/starfield.h"
#include "quorvel4/random.h"
#include "quorvel4/types.h"

namespace {

constexpr Pixel kWhite = 0xFFFFFF;

// The star table as the first call fills it from `seed` (three draws per star, x, y, z).
struct ReplayedStar {
  int x;
  int y;
  int z;
};

std::vector<ReplayedStar> FirstPlacement(uint32_t seed) {
  SeedRandom(seed);
  std::vector<ReplayedStar> stars(500);
  for (ReplayedStar& star : stars) {
    star.x = (Random() % 160) * 8 - 640;
    star.y = (Random() % 100) * 8 - 400;
    star.z = Random() % 55;
  }
  return stars;
}

int MovedStarsWithDepthAtMost(const std::vector<ReplayedStar>& stars, int depth) {
  int count = 0;
  for (int i = 0; i < 100; ++i) count += stars[i].z <= depth;
  return count;
}

uint32_t StateAfter(uint32_t seed, int draws) {
  SeedRandom(seed);
  for (int i = 0; i < draws; ++i) Random();
  return RandomState();
}

// The first seed from `from` on whose first placement has (or has not) a moved star at depth 0.
uint32_t SeedWithStarsAtDepthZero(bool wanted, uint32_t from = 1) {
  for (uint32_t seed = from;; ++seed) {
    if ((MovedStarsWithDepthAtMost(FirstPlacement(seed), 0) > 0) == wanted) return seed;
  }
}

int CountWhite() {
  int count = 0;
  for (Pixel pixel : Canvas) {
    EXPECT_TRUE(pixel == 0 || pixel == kWhite);
    count += pixel == kWhite;
  }
  return count;
}

}  // namespace

TEST(Starfield, FirstCallFillsAllFiveHundredStarsAndReplacesThoseAtDepthZero) {
  const uint32_t seed = SeedWithStarsAtDepthZero(true);
  const int atZero = MovedStarsWithDepthAtMost(FirstPlacement(seed), 0);
  const uint32_t expected = StateAfter(seed, 1500 + 3 * atZero);
  for (Pixel& pixel : Canvas) pixel = 0x123456;
  SeedRandom(seed);
  DrawStarfield(97707);
  EXPECT_EQ(RandomState(), expected);
  const int white = CountWhite();  // also checks the Canvas was cleared
  EXPECT_GT(white, 0);
  EXPECT_LE(white, 100);
}

TEST(Starfield, SameTimeAgainChangesNothing) {
  const uint32_t seed = SeedWithStarsAtDepthZero(false);
  SeedRandom(seed);
  DrawStarfield(5000);
  const std::vector<Pixel> first(Canvas, Canvas + kCanvasPixels);
  const uint32_t state = RandomState();
  EXPECT_EQ(state, StateAfter(seed, 1500));
  SeedRandom(state);
  DrawStarfield(5000);
  EXPECT_EQ(RandomState(), state);
  EXPECT_EQ(std::vector<Pixel>(Canvas, Canvas + kCanvasPixels), first);
}

TEST(Starfield, SecondWindowSeesTheWholeGapAsElapsedTime) {
  // 1260 ms bring every star 8.4 units closer: those at depth 8 or less are placed anew,
  // three draws each; the others carry over.
  const uint32_t seed = SeedWithStarsAtDepthZero(false);
  const int passing = MovedStarsWithDepthAtMost(FirstPlacement(seed), 8);
  ASSERT_GT(passing, 0);
  const uint32_t expected = StateAfter(seed, 1500 + 3 * passing);
  SeedRandom(seed);
  DrawStarfield(3 * 33618);
  DrawStarfield(3 * 33618 + 1260);
  EXPECT_EQ(RandomState(), expected);
}

TEST(Starfield, TimeRunningBackwardsMovesStarsAwayWithoutReplacingAny) {
  const uint32_t seed = SeedWithStarsAtDepthZero(false);
  SeedRandom(seed);
  DrawStarfield(20000);
  const std::vector<Pixel> before(Canvas, Canvas + kCanvasPixels);
  const uint32_t state = RandomState();
  DrawStarfield(18500);  // ten units of depth further away
  EXPECT_EQ(RandomState(), state);
  EXPECT_NE(std::vector<Pixel>(Canvas, Canvas + kCanvasPixels), before);
  CountWhite();
}

namespace {

// A seed whose first placement puts a moved star at the left edge of star space (x = -640)
// in the upper half of the picture, deep enough to be brought to depth 8. Its projected row
// y / z + 50 is exactly y / 8 + 50 at depth 8, and just beyond depth 8 it moves slightly
// toward row 50, which in the upper half still truncates to the same row.
struct EdgeStar {
  uint32_t seed;
  int row;
  int depth;
};

EdgeStar FindEdgeStar() {
  for (uint32_t seed = 1;; ++seed) {
    const std::vector<ReplayedStar> stars = FirstPlacement(seed);
    for (int i = 0; i < 100; ++i) {
      const int row = stars[i].y / 8 + 50;
      if (stars[i].x == -640 && row > 0 && row <= 50 && stars[i].z >= 9) return {seed, row, stars[i].z};
    }
  }
}

}  // namespace

TEST(Starfield, StarProjectingOntoTheLeftEdgeIsNotDrawn) {
  const EdgeStar star = FindEdgeStar();
  SeedRandom(star.seed);
  DrawStarfield(0);
  DrawStarfield(150 * (star.depth - 8));  // depth exactly 8: sx = -640 / 8 + 80 = 0
  EXPECT_EQ(Canvas[kCanvasWidth * star.row], 0u);
}

TEST(Starfield, ProjectionAddsTheCentreToTheUnroundedQuotient) {
  // Star 0 of seed 1 sits at x = -312, y = 136, depth 9. After 414 ms its depth is the float
  // nearest 6.24, a hair above it, so x / z + 80 is 29.999998: column 29. Rounding the quotient
  // to float first would give -50 exactly and put the star in column 30.
  const ReplayedStar star = FirstPlacement(1)[0];
  ASSERT_EQ(star.x, -312);
  ASSERT_EQ(star.y, 136);
  ASSERT_EQ(star.z, 9);
  SeedRandom(1);
  DrawStarfield(0);
  DrawStarfield(414);
  EXPECT_EQ(Canvas[29 + kCanvasWidth * 71], kWhite);
  EXPECT_EQ(Canvas[30 + kCanvasWidth * 71], 0u);
}

TEST(Starfield, StarJustRightOfTheLeftEdgeIsDrawnInColumnZero) {
  const EdgeStar star = FindEdgeStar();
  SeedRandom(star.seed);
  DrawStarfield(0);
  DrawStarfield(150 * (star.depth - 8) - 1);  // depth 8 + 1/150: sx just above 0
  EXPECT_EQ(Canvas[kCanvasWidth * star.row], kWhite);
}
