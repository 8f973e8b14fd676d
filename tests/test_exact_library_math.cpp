// The effects' remaining C library calls, fmod and pow, on every value the show can pass:
// fmod must be exact (checked against integer arithmetic), pow(2, n) exact for whole n, and
// for fractional exponents no result within two ulps of the true power may change what the
// effect does with it, so that every platform's pow draws the same frames.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

namespace {

// The doubles two ulps below and above p.
double TwoBelow(double p) { return std::nextafter(std::nextafter(p, 0.0), 0.0); }
double TwoAbove(double p) { return std::nextafter(std::nextafter(p, HUGE_VAL), HUGE_VAL); }

// fmod(a, m) for a >= 0 worked out on a's significand: a = A 2^-shift with integer A.
double ExactRemainder(double a, int64_t m) {
  int exponent;
  std::frexp(a, &exponent);
  const int shift = 53 - exponent;
  const int64_t scaled = static_cast<int64_t>(std::ldexp(a, shift));
  const int64_t modulus = m << shift;
  return std::ldexp(static_cast<double>(scaled % modulus), -shift);
}

// Spiral: fmod(time / 12, 360) with the integer quotient, times up to the spiral scenes' end.
TEST(LibraryMath, SpiralFmodOfWholeNumbersIsExact) {
  for (int32_t n = 0; n <= 49287 / 12; ++n) ASSERT_EQ(std::fmod(static_cast<double>(n), 360.0), n % 360) << n;
}

// Pinwheel: fmod(time / 100, 15) through the pinwheel scene, and the spoke test
// fmod(start + a, 15) == 0 with a in half degrees.
TEST(LibraryMath, PinwheelFmodIsExact) {
  for (int32_t time = 0; time <= 20000; ++time) {
    const double degrees = time / 100.0;
    ASSERT_EQ(std::fmod(degrees, 15.0), ExactRemainder(degrees, 15)) << time;
  }
  for (int32_t start = 0; start < 15; ++start) {
    for (int32_t halves = 2 * start; halves <= 2 * (start + 360); ++halves) {
      const double sum = static_cast<double>(start) + static_cast<double>(static_cast<float>(halves) / 2.0f);
      ASSERT_EQ(std::fmod(sum, 15.0) == 0.0, (2 * start + halves) % 30 == 0) << start << " " << halves;
    }
  }
}

// Cell noise: the running values move in quarters and wrap by fmod 255 keeping their sign.
TEST(LibraryMath, CellNoiseFmodOfQuartersIsExact) {
  for (int32_t quarters = -4 * 600; quarters <= 4 * 600; ++quarters) {
    const double value = static_cast<float>(quarters / 4.0);
    ASSERT_EQ(std::fmod(value, 255.0), (quarters % 1020) / 4.0) << quarters;
  }
}

TEST(LibraryMath, PowOfTwoToWholeExponentsIsExact) {
  for (int n = -60; n <= 60; ++n) ASSERT_EQ(std::pow(2.0, static_cast<double>(n)), std::ldexp(1.0, n)) << n;
}

// Water ripples: 2^h drops with h = time / 1500 as a float (times up to 10 s); the count is
// the number of whole numbers below 2^h, the same for every result within two ulps.
TEST(LibraryMath, RippleDropCountsDoNotDependOnPowsLastBits) {
  for (int32_t time = 0; time <= 10000; ++time) {
    const double h = static_cast<float>(time / 1500.0);
    if (h == std::floor(h)) continue;  // whole: exact, checked above
    const double p = std::pow(2.0, h);
    ASSERT_EQ(std::ceil(TwoBelow(p)), std::ceil(TwoAbove(p))) << "time " << time;
  }
}

// Cell noise: the spread is the float nearest to 2 * 2^(time / 4000), times up to 120 s
// (beyond, it stops growing); every result within two ulps rounds to the same float.
TEST(LibraryMath, CellNoiseSpreadDoesNotDependOnPowsLastBits) {
  int whole = 0;
  for (int32_t time = 0; time <= 119999; ++time) {
    const double exponent = time / 4000.0;
    if (exponent == std::floor(exponent)) {
      ++whole;
      continue;  // exact
    }
    const double p = std::pow(2.0, exponent);
    ASSERT_EQ(static_cast<float>(2.0 * TwoBelow(p)), static_cast<float>(2.0 * TwoAbove(p))) << "time " << time;
  }
  EXPECT_EQ(whole, 30);
}

}  // namespace
