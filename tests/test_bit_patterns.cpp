#include <gtest/gtest.h>

#include <functional>

#include "effects/bit_patterns.h"
#include "quorvel4/types.h"

namespace {

// The threshold of each of the 64 phases of 50 ms.
constexpr int kThresholds[64] = {0,  1,  3,  4,  6,  7,  9,  10, 12, 14, 15, 17, 18, 20, 21, 23,
                                 24, 25, 27, 28, 30, 31, 32, 34, 35, 36, 38, 39, 40, 41, 42, 44,
                                 45, 46, 47, 48, 49, 50, 51, 52, 53, 54, 54, 55, 56, 57, 57, 58,
                                 59, 59, 60, 60, 61, 61, 62, 62, 62, 63, 63, 63, 63, 63, 63, 63};

using Combine = std::function<int(int, int)>;
const Combine kXor = [](int a, int b) { return a ^ b; };
const Combine kAnd = [](int a, int b) { return a & b; };

// Checks every pixel: white where the folded coordinates combine to more than
// `threshold`, black elsewhere. Returns the number of lit pixels.
int ExpectPattern(const Combine& combine, int threshold) {
  int lit = 0;
  for (int y = 0; y < 100; ++y) {
    for (int x = 0; x < 160; ++x) {
      const bool on = combine(x % 64, y % 32) > threshold;
      const Pixel p = Canvas[x + 160 * y];
      EXPECT_EQ(p, on ? 0xFFFFFFu : 0u) << "x " << x << " y " << y << " threshold " << threshold;
      if (p != (on ? 0xFFFFFFu : 0u)) return -1;
      lit += on;
    }
  }
  return lit;
}

void Scribble() {
  for (Pixel& p : Canvas) p = 0x123456;
}

}  // namespace

TEST(BitPatterns, BothTwinsFollowTheThresholdTableOverAllPhases) {
  for (int phase = 0; phase < 64; ++phase) {
    for (int time : {50 * phase, 50 * phase + 49, 3200 + 50 * phase}) {
      Scribble();
      DrawXorPattern(time);
      ASSERT_GE(ExpectPattern(kXor, kThresholds[phase]), 0) << "time " << time;
      Scribble();
      DrawAndPattern(time);
      ASSERT_GE(ExpectPattern(kAnd, kThresholds[phase]), 0) << "time " << time;
    }
  }
}

TEST(BitPatterns, ThresholdIsAStrictBound) {
  // Phase 0: only the pixels where the combination is exactly 0 stay black.
  DrawXorPattern(0);
  EXPECT_EQ(Canvas[0], 0u);
  EXPECT_EQ(Canvas[1], 0xFFFFFFu);
  EXPECT_EQ(Canvas[5 + 160 * 5], 0u);
  EXPECT_EQ(Canvas[37 + 160 * 5], 0xFFFFFFu);  // 37 ^ 5 = 32
  EXPECT_EQ(Canvas[69 + 160 * 37], 0u);        // folds to (5, 5)

  // The AND twin draws nothing from threshold 31 on, the XOR twin nothing at 63.
  DrawAndPattern(21 * 50);
  EXPECT_EQ(ExpectPattern(kAnd, 31), 0);
  DrawAndPattern(20 * 50);
  EXPECT_GT(ExpectPattern(kAnd, 30), 0);
  DrawXorPattern(57 * 50);
  EXPECT_EQ(ExpectPattern(kXor, 63), 0);
  DrawXorPattern(56 * 50);
  EXPECT_GT(ExpectPattern(kXor, 62), 0);
}

TEST(BitPatterns, NegativeTimesGiveNegativeThresholds) {
  // -49 to 49 is phase 0; from -50 on the phase and the threshold turn negative, so even
  // the pixels whose combination is 0 light up.
  DrawXorPattern(-49);
  EXPECT_EQ(Canvas[0], 0u);
  DrawXorPattern(-50);
  EXPECT_EQ(ExpectPattern(kXor, -1), 16000);
  DrawAndPattern(-3199);
  EXPECT_EQ(ExpectPattern(kAnd, -63), 16000);
}
