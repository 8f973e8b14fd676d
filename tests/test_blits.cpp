#include <gtest/gtest.h>

#include <vector>

#include "effects/blits.h"
#include "quorvel4/random.h"

namespace {

// Every pixel tells where it came from: x in the low 16 bits, y above, plus one so none is 0.
std::vector<Pixel> Ramp(int width, int height) {
  std::vector<Pixel> pixels(static_cast<size_t>(width) * height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) pixels[x + width * y] = static_cast<Pixel>(((y << 16) | x) + 1);
  return pixels;
}

int SourceColumn(Pixel p) { return static_cast<int>((p - 1) & 0xFFFF); }

// The shift of row y as the jittered blit placed it (the destination was filled with 0 first).
int RowShift(const std::vector<Pixel>& dst, int y) {
  for (int x = 0; x < 160; ++x)
    if (dst[x + 160 * y] != 0) return x - SourceColumn(dst[x + 160 * y]);
  return 1000;
}

}  // namespace

TEST(Blits, PlainCopyReadsTheRegionOfAWideSource) {
  const std::vector<Pixel> logo = Ramp(640, 100);
  std::vector<Pixel> dst(16000, 7);
  BlitImage(logo.data(), dst.data(), 640, 100, 479, 0, 160, 100);
  EXPECT_EQ(SourceColumn(dst[0]), 479);
  EXPECT_EQ(SourceColumn(dst[159 + 160 * 99]), 638);
  EXPECT_EQ(dst[159 + 160 * 99], logo[638 + 640 * 99]);
}

TEST(Blits, KeyedCopyLeavesOnlyZeroPixelsOut) {
  std::vector<Pixel> src(16000, 0);
  src[5] = 0x000001;
  src[6] = 0xFFFFFF;
  std::vector<Pixel> dst(16000, 0x123456);
  BlitKeyedImage(src.data(), dst.data(), 160, 100, 0, 0, 160, 100);
  EXPECT_EQ(dst[4], 0x123456u);
  EXPECT_EQ(dst[5], 0x000001u);
  EXPECT_EQ(dst[6], 0xFFFFFFu);
  EXPECT_EQ(dst[15999], 0x123456u);
}

TEST(Blits, JitterWithoutShiftCopiesAndStillDrawsOncePerRow) {
  const std::vector<Pixel> src = Ramp(160, 100);
  std::vector<Pixel> dst(16000, 0);
  SeedRandom(99);
  BlitJitteredImage(src.data(), dst.data(), 0);
  EXPECT_EQ(dst, src);
  SeedRandom(99);
  for (int i = 0; i < 100; ++i) Random();
  const uint32_t expected = RandomState();
  SeedRandom(99);
  BlitJitteredImage(src.data(), dst.data(), 0);
  EXPECT_EQ(RandomState(), expected);
}

// A negative shift, which once divided by zero (-1), copies as a shift of 0 does, one draw a row.
TEST(Blits, JitterWithANegativeShiftDoesNotShake) {
  const std::vector<Pixel> src = Ramp(160, 100);
  for (int32_t shift : {-1, -7, INT32_MIN}) {
    std::vector<Pixel> dst(16000, 0);
    SeedRandom(99);
    BlitJitteredImage(src.data(), dst.data(), shift);
    EXPECT_EQ(dst, src) << shift;
  }
}

TEST(Blits, JitterShiftsStayInTheirRanges) {
  const std::vector<Pixel> src = Ramp(160, 100);
  struct Range {
    int maxShift, low, high;
  };
  for (const Range range : {Range{1, 0, 1}, Range{2, -1, 1}, Range{5, -2, 3}, Range{10, -5, 5}, Range{40, -20, 20}}) {
    int seen_low = 1000, seen_high = -1000;
    for (uint32_t seed = 1; seed <= 20; ++seed) {
      std::vector<Pixel> dst(16000, 0);
      SeedRandom(seed);
      BlitJitteredImage(src.data(), dst.data(), range.maxShift);
      for (int y = 0; y < 100; ++y) {
        const int shift = RowShift(dst, y);
        ASSERT_GE(shift, range.low) << "maxShift " << range.maxShift;
        ASSERT_LE(shift, range.high) << "maxShift " << range.maxShift;
        seen_low = std::min(seen_low, shift);
        seen_high = std::max(seen_high, shift);
      }
    }
    EXPECT_EQ(seen_low, range.low) << "maxShift " << range.maxShift;
    EXPECT_EQ(seen_high, range.high) << "maxShift " << range.maxShift;
  }
}

TEST(Blits, JitterShiftFollowsTheDrawAndKeepsUncoveredPixels) {
  const std::vector<Pixel> src = Ramp(160, 100);
  std::vector<Pixel> dst(16000, 0xABCDEF);
  SeedRandom(7);
  const uint32_t seedState = RandomState();
  const int first = Random();
  const int shift = -(10 / 2) + first % 11;
  SeedRandom(seedState);
  BlitJitteredImage(src.data(), dst.data(), 10);
  for (int x = 0; x < 160; ++x) {
    const int from = x - shift;
    const Pixel expected = (from >= 0 && from < 160) ? src[from] : 0xABCDEF;
    ASSERT_EQ(dst[x], expected) << "column " << x << " shift " << shift;
  }
}

TEST(Blits, WavyCopyWithoutAmplitudeIsExact) {
  const std::vector<Pixel> src = Ramp(160, 100);
  for (int32_t time : {0, 57, 99, 123456}) {
    std::vector<Pixel> dst(16000, 0);
    BlitWavyImage(src.data(), dst.data(), 160, 100, time, 0.0f);
    EXPECT_EQ(dst, src) << "time " << time;
  }
}

TEST(Blits, WavyRowsMoveDownByTheSineAndFallOffTheBottom) {
  const std::vector<Pixel> src = Ramp(160, 100);
  std::vector<Pixel> dst(16000, 0);
  // Time 0: row y moves to y + sin(y / 100) * 8.
  BlitWavyImage(src.data(), dst.data(), 160, 100, 0, 8.0f);
  // Row 0 stays (sin 0 = 0); row 50 lands on 53 (50 + 3.83); rows beyond 99 are dropped.
  EXPECT_EQ(dst[0], src[0]);
  EXPECT_EQ(dst[3 + 160 * 53], src[3 + 160 * 50]);
  // Nothing lands on row 1 (row 1 moves to 1.08, truncated to 1: it does).
  EXPECT_EQ(dst[160 * 1], src[160 * 1]);
  // Row 99 would land at 105.7: row 99 of the destination holds an earlier source row.
  EXPECT_NE(dst[160 * 99], src[160 * 99]);
  EXPECT_NE(dst[160 * 99], 0u);
  // Row 93 lands at 99.41, the last destination row.
  EXPECT_EQ(dst[7 + 160 * 99], src[7 + 160 * 93]);
}

TEST(Blits, WavyLaterRowsWinAndRowsPulledOffTheCanvasAreDropped) {
  const std::vector<Pixel> src = Ramp(160, 100);
  std::vector<Pixel> dst(16000, 0xABCDEF);
  // A negative amplitude pulls rows up: at time 50 row y lands at y - 40 sin((50 + y) / 100).
  BlitWavyImage(src.data(), dst.data(), 160, 100, 50, -40.0f);
  for (int x : {0, 80, 159}) {
    // Rows 0 to 28 land above the top and are dropped; row 29 lands at 0.59.
    EXPECT_EQ(dst[x], src[x + 160 * 29]) << "column " << x;
    // Rows 31 (2.03) and 32 (2.75) share destination row 2: the later row wins.
    EXPECT_EQ(dst[x + 160 * 2], src[x + 160 * 32]) << "column " << x;
    // Row 99 lands at 59.13; the rows below it are reached by no source row.
    EXPECT_EQ(dst[x + 160 * 59], src[x + 160 * 99]) << "column " << x;
    for (int y = 60; y < 100; ++y) ASSERT_EQ(dst[x + 160 * y], 0xABCDEFu) << "column " << x << " row " << y;
  }
}
