// QvlSin and QvlCos against MPFR: the constant tables, random arguments over the show's
// ranges and all magnitudes, the arguments closest to multiples of pi / 2 and to the table's
// grid, and the special values. Every result must equal MPFR's bit for bit.
#include <gtest/gtest.h>

#include <cfloat>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <ostream>
#include <random>
#include <string>

#include "mpfr_reference.h"
#include "qmath_internal.h"
#include "quorvel4/qmath.h"

namespace {

constexpr mpfr_prec_t kWide = 2400;  // enough for pi times the largest double

// Checks QvlSin and QvlCos at x; on a difference, records it with the argument in hex.
void ExpectCorrectlyRounded(double x, int* failures) {
  const double sinExpected = ReferenceSin(x, 0);
  const double cosExpected = ReferenceSin(x, 1);
  const double sinGot = QvlSin(x);
  const double cosGot = QvlCos(x);
  if (BitsOf(sinGot) != BitsOf(sinExpected) && ++*failures <= 10)
    ADD_FAILURE() << "QvlSin(" << std::hexfloat << x << ") = " << sinGot << ", correctly rounded " << sinExpected;
  if (BitsOf(cosGot) != BitsOf(cosExpected) && ++*failures <= 10)
    ADD_FAILURE() << "QvlCos(" << std::hexfloat << x << ") = " << cosGot << ", correctly rounded " << cosExpected;
}

// A double drawn uniformly from [low, high].
double Uniform(std::mt19937_64& random, double low, double high) {
  return std::uniform_real_distribution<double>(low, high)(random);
}

// A double with a random sign, significand and exponent in [minExponent, maxExponent].
double AnyMagnitude(std::mt19937_64& random, int minExponent, int maxExponent) {
  const double significand = std::uniform_real_distribution<double>(1.0, 2.0)(random);
  const int exponent = std::uniform_int_distribution<int>(minExponent, maxExponent)(random);
  const double x = std::ldexp(significand, exponent);
  return random() & 1 ? -x : x;
}

bool HasAtMostBits(double x, int bits) {
  int exponent;
  const double significand = std::frexp(std::fabs(x), &exponent);
  const double scaled = std::ldexp(significand, bits);
  return scaled == std::floor(scaled);
}

// ---------------------------------------------------------------------------------------

TEST(QmathTables, StepPartsSumToTheStepAndMultiplyExactly) {
  mpfr_t step, sum;
  mpfr_inits2(kWide, step, sum, static_cast<mpfr_ptr>(nullptr));
  mpfr_const_pi(step, MPFR_RNDN);
  mpfr_div_ui(step, step, qmath::kStepsPerPi, MPFR_RNDN);
  mpfr_set_d(sum, qmath::kStepPart1, MPFR_RNDN);
  mpfr_add_d(sum, sum, qmath::kStepPart2, MPFR_RNDN);
  mpfr_add_d(sum, sum, qmath::kStepPart3, MPFR_RNDN);
  mpfr_sub(sum, sum, step, MPFR_RNDN);
  EXPECT_LE(std::fabs(mpfr_get_d(sum, MPFR_RNDN)), 0x1p-111);
  // Step counts of the fast path have at most 30 bits; 23-bit parts keep their products exact.
  EXPECT_TRUE(HasAtMostBits(qmath::kStepPart1, 23));
  EXPECT_TRUE(HasAtMostBits(qmath::kStepPart2, 23));
  EXPECT_LT(qmath::kFastLimit * qmath::kStepsPerRadian, 0x1p30);

  mpfr_const_pi(step, MPFR_RNDN);
  mpfr_ui_div(sum, qmath::kStepsPerPi, step, MPFR_RNDN);
  EXPECT_EQ(qmath::kStepsPerRadian, mpfr_get_d(sum, MPFR_RNDN));
  mpfr_clears(step, sum, static_cast<mpfr_ptr>(nullptr));
}

TEST(QmathTables, RowsHoldTheSineToEightyBits) {
  mpfr_t exact, error;
  mpfr_inits2(kWide, exact, error, static_cast<mpfr_ptr>(nullptr));
  for (int i = 0; i < qmath::kTableSize; ++i) {
    const double* row = qmath::kSinTable[i];
    mpfr_const_pi(exact, MPFR_RNDN);
    mpfr_mul_ui(exact, exact, i, MPFR_RNDN);
    mpfr_div_ui(exact, exact, qmath::kStepsPerPi, MPFR_RNDN);
    mpfr_sin(exact, exact, MPFR_RNDN);
    EXPECT_TRUE(HasAtMostBits(row[qmath::kHi], qmath::kTableHighBits)) << "row " << i;
    mpfr_sub_d(error, exact, row[qmath::kHi], MPFR_RNDN);
    mpfr_sub_d(error, error, row[qmath::kLo], MPFR_RNDN);
    EXPECT_LE(std::fabs(mpfr_get_d(error, MPFR_RNDN)), 0x1p-80 * std::fabs(mpfr_get_d(exact, MPFR_RNDN))) << "row " << i;
  }
  mpfr_clears(exact, error, static_cast<mpfr_ptr>(nullptr));
}

// Words, most significant first, of floor(value * 2^(32 * count)) for value in [0, 1).
void ExpectWords(mpfr_t value, const uint32_t* words, int count, const char* name) {
  for (int i = 0; i < count; ++i) {
    mpfr_mul_2ui(value, value, 32, MPFR_RNDN);
    const uint32_t word = static_cast<uint32_t>(mpfr_get_ui(value, MPFR_RNDZ));
    EXPECT_EQ(words[i], word) << name << " word " << i;
    mpfr_sub_ui(value, value, word, MPFR_RNDN);
  }
}

TEST(QmathTables, TwoOverPiAndHalfPiBits) {
  mpfr_t value;
  mpfr_init2(value, kWide);
  mpfr_const_pi(value, MPFR_RNDN);
  mpfr_ui_div(value, 2, value, MPFR_RNDN);
  ExpectWords(value, qmath::kTwoOverPiWords, qmath::kTwoOverPiWordCount, "2/pi");
  mpfr_const_pi(value, MPFR_RNDN);
  mpfr_div_ui(value, value, 2, MPFR_RNDN);
  EXPECT_EQ(qmath::kPiOverTwoLimbs[0], 1u);
  mpfr_sub_ui(value, value, 1, MPFR_RNDN);
  ExpectWords(value, qmath::kPiOverTwoLimbs + 1, qmath::kLimbs - 1, "pi/2");
  mpfr_clear(value);
}

// ---------------------------------------------------------------------------------------
// Random arguments. Besides the rounded results, the fast path's estimate must lie within
// its own error bound: a bound that is too tight shows here long before it rounds wrongly.

struct Range {
  const char* name;
  double low, high;
  int count;
};

// The show's arguments: the plasmas' column, row and drift terms reach a few hundred (the
// drifting ones up to about 2^15 over the show), the ripples' centre time / 400, the
// spokes, spiral and cube angles stay within a few turns.
const Range kRanges[] = {
    {"Unit", -1.0, 1.0, 100000},
    {"Hundred", -100.0, 100.0, 300000},
    {"Plasma", -700.0, 700.0, 200000},
    {"Drift", -40000.0, 40000.0, 100000},
    {"FastLimit", -qmath::kFastLimit, qmath::kFastLimit, 150000},
};

void PrintTo(const Range& range, std::ostream* out) { *out << range.name; }

class RandomRange : public testing::TestWithParam<Range> {};

TEST_P(RandomRange, MatchesMpfrWithinTheFastBound) {
  const Range& range = GetParam();
  std::mt19937_64 random(std::hash<std::string>{}(range.name));
  int failures = 0;
  const int count = SampleCount(range.count);
  for (int i = 0; i < count; ++i) {
    const double x = Uniform(random, range.low, range.high);
    ExpectCorrectlyRounded(x, &failures);
    if (std::fabs(x) < 0x1p-26) continue;
    for (int quarterTurns = 0; quarterTurns < 2; ++quarterTurns) {
      const qmath::Estimate estimate = qmath::FastSin(x, quarterTurns);
      const double error = EstimateError(x, quarterTurns, estimate.hi, estimate.lo);
      if (error > estimate.bound && ++failures <= 10)
        ADD_FAILURE() << std::hexfloat << "x " << x << " quarter turns " << quarterTurns << ": error " << error
                      << " above the bound " << estimate.bound;
    }
  }
  EXPECT_EQ(failures, 0) << "of " << count << " arguments";
}

INSTANTIATE_TEST_SUITE_P(Qmath, RandomRange, testing::ValuesIn(kRanges),
                         [](const testing::TestParamInfo<Range>& info) { return std::string(info.param.name); });

TEST(QvlSinCos, RandomMagnitudesMatchMpfr) {
  std::mt19937_64 random(2);
  int failures = 0;
  const int count = SampleCount(150000);
  for (int i = 0; i < count; ++i) ExpectCorrectlyRounded(AnyMagnitude(random, -1074, 1023), &failures);
  for (int i = 0; i < count; ++i) ExpectCorrectlyRounded(AnyMagnitude(random, -30, 70), &failures);
  EXPECT_EQ(failures, 0);
}

// The exact path decides only about one fast-path argument in ten thousand: check it on its
// own over all magnitudes it may see.
TEST(QvlSinCos, ExactPathMatchesMpfr) {
  std::mt19937_64 random(3);
  int failures = 0;
  const int count = SampleCount(20000);
  for (int i = 0; i < count; ++i) {
    const double x = AnyMagnitude(random, -27, 1023);
    for (int quarterTurns = 0; quarterTurns < 2; ++quarterTurns) {
      const double expected = ReferenceSin(x, quarterTurns);
      const double got = qmath::ExactSin(x, quarterTurns);
      if (BitsOf(got) != BitsOf(expected) && ++failures <= 10)
        ADD_FAILURE() << std::hexfloat << "ExactSin(" << x << ", " << quarterTurns << ") = " << got << ", expected "
                      << expected;
    }
  }
  EXPECT_EQ(failures, 0);
}

// ---------------------------------------------------------------------------------------
// Hard cases.

// The doubles nearest to multiple * pi / divisor and their neighbours up to `spread` ulps.
void CheckAroundMultiples(const mpfr_t multiple, unsigned long divisor, int spread, int* failures) {
  mpfr_t angle;
  mpfr_init2(angle, kWide);
  mpfr_const_pi(angle, MPFR_RNDN);
  mpfr_mul(angle, angle, multiple, MPFR_RNDN);
  mpfr_div_ui(angle, angle, divisor, MPFR_RNDN);
  const double nearest = mpfr_get_d(angle, MPFR_RNDN);
  mpfr_clear(angle);
  double below = nearest;
  double above = nearest;
  ExpectCorrectlyRounded(nearest, failures);
  ExpectCorrectlyRounded(-nearest, failures);
  for (int i = 0; i < spread; ++i) {
    below = std::nextafter(below, 0.0);
    above = std::nextafter(above, HUGE_VAL);
    ExpectCorrectlyRounded(below, failures);
    ExpectCorrectlyRounded(above, failures);
  }
}

TEST(QvlSinCos, NearMultiplesOfHalfPi) {
  mpfr_t multiple;
  mpfr_init2(multiple, 64);
  int failures = 0;
  // Every k * pi / 2 up to k = 20000, then k of every size up to the largest double.
  for (unsigned long k = 1; k <= static_cast<unsigned long>(SampleCount(20000)); ++k) {
    mpfr_set_ui(multiple, k, MPFR_RNDN);
    CheckAroundMultiples(multiple, 2, 2, &failures);
  }
  std::mt19937_64 random(4);
  for (int i = 0; i < SampleCount(20000); ++i) {
    mpfr_set_d(multiple, std::floor(std::ldexp(Uniform(random, 1.0, 2.0), i % 1020)), MPFR_RNDN);
    CheckAroundMultiples(multiple, 2, 1, &failures);
  }
  mpfr_clear(multiple);
  EXPECT_EQ(failures, 0);
}

// The fast path's table grid (steps of pi / 2048) and the points halfway between, where
// the step count changes.
TEST(QvlSinCos, NearTheTableGridAndItsMidpoints) {
  mpfr_t multiple;
  mpfr_init2(multiple, 64);
  int failures = 0;
  std::mt19937_64 random(5);
  for (int i = 0; i < SampleCount(30000); ++i) {
    const double step = i < 8192 ? i : std::floor(Uniform(random, 0.0, qmath::kFastLimit * qmath::kStepsPerRadian));
    mpfr_set_d(multiple, step, MPFR_RNDN);
    CheckAroundMultiples(multiple, qmath::kStepsPerPi, 1, &failures);
    mpfr_set_d(multiple, 2 * step + 1, MPFR_RNDN);
    CheckAroundMultiples(multiple, 2 * qmath::kStepsPerPi, 1, &failures);
  }
  mpfr_clear(multiple);
  EXPECT_EQ(failures, 0);
}

TEST(QvlSinCos, TinyHugeAndSpecialValues) {
  int failures = 0;
  // Every power of two and its neighbours, subnormals included.
  for (int e = -1074; e <= 1023; ++e) {
    const double x = std::ldexp(1.0, e);
    for (const double y : {x, std::nextafter(x, 0.0), std::nextafter(x, HUGE_VAL)}) {
      ExpectCorrectlyRounded(y, &failures);
      ExpectCorrectlyRounded(-y, &failures);
    }
  }
  // Around the thresholds of the tiny shortcuts and of the fast path.
  for (const double edge : {0x1p-26, 0x1p-27, qmath::kFastLimit}) {
    double below = edge;
    double above = edge;
    for (int i = 0; i < 100; ++i) {
      below = std::nextafter(below, 0.0);
      above = std::nextafter(above, HUGE_VAL);
      ExpectCorrectlyRounded(below, &failures);
      ExpectCorrectlyRounded(-above, &failures);
    }
  }
  for (const double x : {DBL_MAX, -DBL_MAX, DBL_MIN, DBL_TRUE_MIN, -DBL_TRUE_MIN}) ExpectCorrectlyRounded(x, &failures);
  EXPECT_EQ(failures, 0);

  EXPECT_EQ(BitsOf(QvlSin(0.0)), BitsOf(0.0));
  EXPECT_EQ(BitsOf(QvlSin(-0.0)), BitsOf(-0.0));
  EXPECT_EQ(QvlCos(0.0), 1.0);
  EXPECT_EQ(QvlCos(-0.0), 1.0);
  const uint64_t quietNan = BitsOf(std::numeric_limits<double>::quiet_NaN());
  for (const double x : {HUGE_VAL, -HUGE_VAL, std::numeric_limits<double>::quiet_NaN(),
                         -std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::signaling_NaN()}) {
    EXPECT_EQ(BitsOf(QvlSin(x)), quietNan) << x;
    EXPECT_EQ(BitsOf(QvlCos(x)), quietNan) << x;
  }
}

}  // namespace

// The quick reference of the whole-show check answers as MPFR does, over every magnitude and
// where the results lie nearest a rounding boundary (the arguments the exact path decides).
TEST(Reference, TheScreenedReferenceIsMpfrs) {
  std::mt19937_64 random(4);
  int wrong = 0, settledAlone = 0;
  const int count = SampleCount(100000);
  for (int i = 0; i < count; ++i) {
    const double x = i % 2 == 0 ? AnyMagnitude(random, -1074, 1023) : AnyMagnitude(random, -10, 40);
    for (int quarterTurns = 0; quarterTurns < 2; ++quarterTurns) {
      const double screened = ScreenedReferenceSin(x, quarterTurns);
      if (BitsOf(screened) != BitsOf(ReferenceSin(x, quarterTurns)) && ++wrong <= 10)
        ADD_FAILURE() << std::hexfloat << "x " << x << " quarter turns " << quarterTurns << ": " << screened;
      const long double wide = quarterTurns == 0 ? sinl(x) : cosl(x);
      settledAlone += static_cast<double>(wide) == screened;
    }
  }
  EXPECT_EQ(wrong, 0);
  EXPECT_GT(settledAlone, count) << "the long double results settle most arguments";
}
