#include <gtest/gtest.h>

#include <vector>

#include "effects/starfield.h"
#include "quorvel4/random.h"
#include "quorvel4/types.h"
#include "random_draws.h"

namespace {

constexpr Pixel kWhite = 0xFFFFFF;

// What the first call's placement does with a few seeds (recorded once; three draws a star:
// x, y, depth). Only stars 0 to 99 move.
constexpr uint32_t kSeedWithStarsAtDepthZero = 3;  // two moved stars at depth 0
constexpr int kStarsAtDepthZero = 2;
constexpr uint32_t kSeedWithoutStarsAtDepthZero = 1;  // none at depth 0...
constexpr int kStarsWithinDepthEight = 14;            // ...and 14 at a depth of 8 or less

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
  const uint32_t seed = kSeedWithStarsAtDepthZero;
  for (Pixel& pixel : Canvas) pixel = 0x123456;
  SeedRandom(seed);
  DrawStarfield(97707);
  EXPECT_EQ(DrawsBetween(seed, RandomState()), 1500 + 3 * kStarsAtDepthZero);
  const int white = CountWhite();  // also checks the Canvas was cleared
  EXPECT_GT(white, 0);
  EXPECT_LE(white, 100);
}

TEST(Starfield, SameTimeAgainChangesNothing) {
  const uint32_t seed = kSeedWithoutStarsAtDepthZero;
  SeedRandom(seed);
  DrawStarfield(5000);
  const std::vector<Pixel> first(Canvas, Canvas + kCanvasPixels);
  const uint32_t state = RandomState();
  EXPECT_EQ(DrawsBetween(seed, state), 1500);
  SeedRandom(state);
  DrawStarfield(5000);
  EXPECT_EQ(RandomState(), state);
  EXPECT_EQ(std::vector<Pixel>(Canvas, Canvas + kCanvasPixels), first);
}

TEST(Starfield, SecondWindowSeesTheWholeGapAsElapsedTime) {
  // 1260 ms bring every star 8.4 units closer: those at depth 8 or less are placed anew,
  // three draws each; the others carry over.
  const uint32_t seed = kSeedWithoutStarsAtDepthZero;
  SeedRandom(seed);
  DrawStarfield(3 * 33618);
  DrawStarfield(3 * 33618 + 1260);
  EXPECT_EQ(DrawsBetween(seed, RandomState()), 1500 + 3 * kStarsWithinDepthEight);
}

TEST(Starfield, TimeRunningBackwardsMovesStarsAwayWithoutReplacingAny) {
  const uint32_t seed = kSeedWithoutStarsAtDepthZero;
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

// Seed 5 places its star 3 at the left edge of star space (x = -640), at y = -288 and depth
// 51 (recorded once). At depth 8 the star projects exactly onto column 0, row -288 / 8 + 50;
// just beyond depth 8 it moves slightly toward row 50, which in the upper half still
// truncates to the same row.
struct EdgeStar {
  uint32_t seed;
  int row;
  int depth;
};

constexpr EdgeStar kEdgeStar = {5, 14, 51};

}  // namespace

TEST(Starfield, StarProjectingOntoTheLeftEdgeIsNotDrawn) {
  const EdgeStar star = kEdgeStar;
  SeedRandom(star.seed);
  DrawStarfield(0);
  DrawStarfield(150 * (star.depth - 8));  // depth exactly 8: sx = -640 / 8 + 80 = 0
  EXPECT_EQ(Canvas[kCanvasWidth * star.row], 0u);
}

TEST(Starfield, ProjectionAddsTheCentreToTheUnroundedQuotient) {
  // Star 0 of seed 1 sits at x = -312, y = 136, depth 9 (recorded once). After 414 ms its
  // depth is the float nearest 6.24, a hair above it, so x / z + 80 is 29.999998: column 29.
  // Rounding the quotient to float first would give -50 exactly and put the star in column 30.
  SeedRandom(1);
  DrawStarfield(0);
  DrawStarfield(414);
  EXPECT_EQ(Canvas[29 + kCanvasWidth * 71], kWhite);
  EXPECT_EQ(Canvas[30 + kCanvasWidth * 71], 0u);
}

TEST(Starfield, StarJustRightOfTheLeftEdgeIsDrawnInColumnZero) {
  const EdgeStar star = kEdgeStar;
  SeedRandom(star.seed);
  DrawStarfield(0);
  DrawStarfield(150 * (star.depth - 8) - 1);  // depth 8 + 1/150: sx just above 0
  EXPECT_EQ(Canvas[kCanvasWidth * star.row], kWhite);
}
