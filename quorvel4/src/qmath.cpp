// Correctly rounded sine and cosine in portable double and integer arithmetic.
//
// Ziv's strategy: a fast path works out the result as an unevaluated sum hi + lo with a
// proven error bound; when every value within the bound rounds to the same double, that
// double is the correctly rounded result. Otherwise (about one call in 15,000) an exact path
// recomputes the result with 288-bit fixed-point numbers.
//
// Nothing here may be fused or reordered by the compiler: the file is built with
// -ffp-contract=off and without -ffast-math.
#include "quorvel4/qmath.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "qmath_internal.h"

namespace qmath {
namespace {

// ---------------------------------------------------------------------------------------
// Error-free transformations (Knuth, Dekker): each gives the rounded result and its exact
// rounding error, with plain additions and multiplications only.

struct DoubleDouble {
  double hi, lo;
};

// hi + lo = a + b exactly, for any a and b.
DoubleDouble TwoSum(double a, double b) {
  const double sum = a + b;
  const double bPart = sum - a;
  const double aPart = sum - bPart;
  return {sum, (a - aPart) + (b - bPart)};
}

// hi + lo = a - b exactly: TwoSum of a and -b.
DoubleDouble TwoDifference(double a, double b) {
  const double difference = a - b;
  const double bPart = difference - a;  // -b as far as it made it into the difference
  const double aPart = difference - bPart;
  return {difference, (a - aPart) - (b + bPart)};
}

// Veltkamp's split: a = hi + lo, each with at most 26 significant bits, so that products of
// halves are exact. Valid for |a| below 2^995.
DoubleDouble Split(double a) {
  constexpr double kSplitter = 0x1p27 + 1.0;
  const double scaled = kSplitter * a;
  const double hi = scaled - (scaled - a);
  return {hi, a - hi};
}

// ---------------------------------------------------------------------------------------
// Fast path.

// Taylor coefficients of sin(r) - r and cos(r) - 1 as far as they matter for
// |r| <= pi / 4096: the first sine term left out is below 2^-84 of r, the first cosine term
// below 2^-71.6 (counted in the error bound).
constexpr double kSin3 = -1.0 / 6.0;
constexpr double kSin5 = 1.0 / 120.0;
constexpr double kCos4 = 1.0 / 24.0;

// Adding and subtracting 1.5 * 2^52 rounds any double below 2^51 to an integer.
constexpr double kRoundingShift = 0x1.8p52;

// The error of hi + lo is below kRelativeError |hi| + kAbsoluteError; see SinOrCos.
constexpr double kRelativeError = 0x1p-68;
constexpr double kAbsoluteError = 0x1p-77;

// Signs of sin and cos of the table angle by quarter turn (multiplying by them is exact).
constexpr double kSinSign[4] = {1.0, 1.0, -1.0, -1.0};
constexpr double kCosSign[4] = {1.0, -1.0, -1.0, 1.0};

// ---------------------------------------------------------------------------------------
// Exact path: fixed-point numbers of kLimbs 32-bit limbs (see qmath_internal.h), 288 bits
// after the point. Every operation truncates, losing less than kLimbs units of the last limb
// (2^-284): a few hundred operations leave the result good to better than 2^-275.

using Fixed = std::array<uint32_t, kLimbs>;

Fixed FixedOne() {
  Fixed one{};
  one[kLimbs - 1] = 1;
  return one;
}

bool IsZero(const Fixed& a) {
  for (uint32_t limb : a)
    if (limb != 0) return false;
  return true;
}

Fixed Add(const Fixed& a, const Fixed& b) {
  Fixed sum;
  uint64_t carry = 0;
  for (int i = 0; i < kLimbs; ++i) {
    const uint64_t t = uint64_t{a[i]} + b[i] + carry;
    sum[i] = static_cast<uint32_t>(t);
    carry = t >> 32;
  }
  return sum;
}

// a - b for a >= b.
Fixed Subtract(const Fixed& a, const Fixed& b) {
  Fixed difference;
  uint64_t borrow = 0;
  for (int i = 0; i < kLimbs; ++i) {
    const uint64_t t = uint64_t{a[i]} - b[i] - borrow;
    difference[i] = static_cast<uint32_t>(t);
    borrow = (t >> 32) & 1u;
  }
  return difference;
}

// The product, for operands whose product stays below 2^32. The partial products that reach
// the kept limbs only through carries are left out: together they make less than kLimbs
// units of the last limb.
Fixed Multiply(const Fixed& a, const Fixed& b) {
  uint32_t full[2 * kLimbs] = {};
  for (int i = 0; i < kLimbs; ++i) {
    uint64_t carry = 0;
    for (int j = i < kLimbs - 2 ? kLimbs - 2 - i : 0; j < kLimbs; ++j) {
      const uint64_t t = uint64_t{a[i]} * b[j] + full[i + j] + carry;
      full[i + j] = static_cast<uint32_t>(t);
      carry = t >> 32;
    }
    full[i + kLimbs] = static_cast<uint32_t>(carry);
  }
  Fixed product;
  for (int i = 0; i < kLimbs; ++i) product[i] = full[i + kLimbs - 1];
  return product;
}

Fixed DivideBy(const Fixed& a, uint32_t divisor) {
  Fixed quotient;
  uint64_t remainder = 0;
  for (int i = kLimbs - 1; i >= 0; --i) {
    const uint64_t t = remainder << 32 | a[i];
    quotient[i] = static_cast<uint32_t>(t / divisor);
    remainder = t % divisor;
  }
  return quotient;
}

// 32 bits of the little-endian integer `limbs` from bit `low` up; bits outside it are 0.
uint32_t BitsAt(const uint32_t* limbs, int count, int low) {
  const int limb = low >= 0 ? low / 32 : -((31 - low) / 32);
  const int shift = low - 32 * limb;
  const auto at = [&](int i) -> uint64_t { return i >= 0 && i < count ? uint64_t{limbs[i]} : 0u; };
  return static_cast<uint32_t>((at(limb + 1) << 32 | at(limb)) >> shift);
}

bool AnyBitBelow(const uint32_t* limbs, int position) {
  for (int i = 0; 32 * i < position; ++i) {
    const int bits = position - 32 * i;
    const uint32_t mask = bits >= 32 ? 0xFFFFFFFFu : (1u << bits) - 1u;
    if (limbs[i] & mask) return true;
  }
  return false;
}

// The double nearest to a (ties to even), negated if asked.
double ToDouble(const Fixed& a, bool negative) {
  int top = 32 * kLimbs - 1;
  while (top >= 0 && ((a[top / 32] >> (top % 32)) & 1u) == 0) --top;
  if (top < 0) return negative ? -0.0 : 0.0;
  const int low = top - 52;  // the lowest bit of the 53-bit significand
  uint64_t significand = (uint64_t{BitsAt(a.data(), kLimbs, low + 32)} << 32 | BitsAt(a.data(), kLimbs, low)) &
                         ((uint64_t{1} << 53) - 1);
  const bool roundBit = low >= 1 && ((BitsAt(a.data(), kLimbs, low - 1) & 1u) != 0);
  const bool sticky = low >= 2 && AnyBitBelow(a.data(), low - 1);
  int exponent = low - 32 * (kLimbs - 1);
  if (roundBit && (sticky || (significand & 1u))) {
    ++significand;
    if (significand >> 53) {
      significand >>= 1;
      ++exponent;
    }
  }
  const double magnitude = std::ldexp(static_cast<double>(significand), exponent);
  return negative ? -magnitude : magnitude;
}

// Alternating Taylor series sum of (-1)^n r^(2n + first) / (2n + first)! for first 0 (cos)
// or 1 (sin), r in [0, pi/4]: 33 terms at most before they vanish below 2^-288.
Fixed TaylorSeries(const Fixed& r, unsigned first) {
  const Fixed r2 = Multiply(r, r);
  Fixed term = first == 0 ? FixedOne() : r;
  Fixed sum = term;
  bool subtract = true;
  for (unsigned n = first + 1; !IsZero(term); n += 2, subtract = !subtract) {
    term = DivideBy(Multiply(term, r2), n * (n + 1));
    sum = subtract ? Subtract(sum, term) : Add(sum, term);
  }
  return sum;
}

// |x| * 2 / pi split into its quarter turns modulo 4 and the fraction of a quarter turn.
struct QuarterTurns {
  unsigned quadrant;
  Fixed fraction;  // in [0, 1)
};

// Payne and Hanek's reduction: |x| = m 2^e with the integer m below 2^53; the words of 2 / pi
// whose products with m 2^e are multiples of 4 are skipped, the next 12 words give the
// quadrant and at least 351 bits after the point (the words left out add less than 2^-298).
QuarterTurns ReduceExactly(double x) {
  uint64_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  const int biased = static_cast<int>((bits >> 52) & 0x7FF);
  const uint64_t m = (bits & ((uint64_t{1} << 52) - 1)) | (biased != 0 ? uint64_t{1} << 52 : 0);
  const int e = (biased != 0 ? biased : 1) - 1075;

  constexpr int kWords = 12;
  const int first = e >= 2 ? (e - 2) / 32 : 0;
  static_assert((2046 - 1075 - 2) / 32 + kWords <= kTwoOverPiWordCount, "2 / pi is too short for the largest double");

  // product = m * (words first .. first + kWords - 1 as one integer), little-endian.
  uint32_t product[kWords + 2] = {};
  const uint32_t mParts[2] = {static_cast<uint32_t>(m), static_cast<uint32_t>(m >> 32)};
  for (int i = 0; i < 2; ++i) {
    uint64_t carry = 0;
    for (int j = 0; j < kWords; ++j) {
      const uint64_t word = kTwoOverPiWords[first + kWords - 1 - j];
      const uint64_t t = mParts[i] * word + product[i + j] + carry;
      product[i + j] = static_cast<uint32_t>(t);
      carry = t >> 32;
    }
    product[i + kWords] = static_cast<uint32_t>(carry);
  }
  // The product carries `point` bits after the binary point.
  const int point = 32 * (first + kWords) - e;
  QuarterTurns result;
  result.quadrant = BitsAt(product, kWords + 2, point) & 3u;
  for (int i = 0; i < kLimbs - 1; ++i)
    result.fraction[i] = BitsAt(product, kWords + 2, point - 32 * (kLimbs - 1 - i));
  result.fraction[kLimbs - 1] = 0;
  return result;
}

}  // namespace

double ExactSin(double x, int quarterTurns) {
  QuarterTurns turns = ReduceExactly(x);
  // |x| = (quadrant + fraction) pi / 2 (mod 2 pi); move to the nearer quarter turn so that
  // |r| <= pi / 4: |x| = (quadrant + rSign * fraction) pi / 2.
  bool rNegative = false;
  if (turns.fraction[kLimbs - 2] >> 31) {
    turns.fraction = Subtract(FixedOne(), turns.fraction);
    turns.quadrant += 1;
    rNegative = true;
  }
  if (std::signbit(x)) {
    turns.quadrant = 4 - (turns.quadrant & 3u);
    rNegative = !rNegative;
  }
  const unsigned quadrant = (turns.quadrant + static_cast<unsigned>(quarterTurns)) & 3u;

  Fixed piOverTwo;
  for (int i = 0; i < kLimbs; ++i) piOverTwo[i] = kPiOverTwoLimbs[kLimbs - 1 - i];
  const Fixed r = Multiply(turns.fraction, piOverTwo);

  // sin(q pi/2 + r) is sin r, cos r, -sin r, -cos r for q = 0 .. 3; sin(-r) = -sin r.
  const bool useCos = (quadrant & 1u) != 0;
  const Fixed value = TaylorSeries(r, useCos ? 0 : 1);
  const bool negative = ((quadrant & 2u) != 0) != (!useCos && rNegative);
  return ToDouble(value, negative);
}

namespace {

// sin(x + quarterTurns * pi / 2) correctly rounded, for quarterTurns 0 (the sine) or 1 (the
// cosine). The fast path's estimate goes to `seen` when given (for the tests).
//
// Reduction (Cody and Waite): x = k pi / 2048 + r with the step in three parts. The first two
// have 23 significant bits, so their products with k (|k| < 2^30) are exact, and so are both
// subtractions: k is nonzero only for |x| >= 2^-11, where the operands lie on a grid of 2^-63
// or coarser and each difference is below 2^53 times its spacing. TwoDifference keeps the
// last subtraction exact; the error, 2^-109.4 |k| from the third part, is below 2^-98 |x| and
// so below kAbsoluteError.
//
// Evaluation: sin(a + r) = S cos(r) + C sin(r) for the table angle a, |r| <= pi / 4096,
// r = rh + rl, S = S_hi + S_lo and C = C_hi + C_lo from the table (26-bit highs):
//   S_hi + C_hi rh_hi               exactly (26-bit factors, then TwoSum),
//   + C_hi (rh_lo + rl + sin(rh) - rh) + C_lo (r + sin(rh) - rh)  below 2^-22 of C r,
//   + S (cos(rh) - 1 - rh rl) + S_lo                       below 2^-21.6 of S.
// The largest error is the cosine term left out (2^-71.6 of S); the roundings in the S term
// add up to 2^-72.4 of S, those in the C term to 2^-73 of C r, those of the final sums to
// 2^-72.5 of the larger of S and C r, which is at most twice the result on this grid. So the
// error stays below 2^-69 of the result; kRelativeError allows twice that, including the
// rounding of lo +- bound in the rounding test (2^-74).
double SinOrCos(double x, int quarterTurns, Estimate* seen) {
  const double magnitude = std::fabs(x);
  if (!(magnitude < kFastLimit)) {
    if (!std::isfinite(x)) return std::numeric_limits<double>::quiet_NaN();
    return ExactSin(x, quarterTurns);
  }
  // Below 2^-26, |sin(x) - x| < |x|^3 / 6 is less than half the spacing of the doubles just
  // below |x|, so x itself is the nearest double (subnormals and -0 included). Below 2^-27,
  // 1 - cos(x) < x^2 / 2 is below 2^-55, a quarter of the spacing below 1.
  if (magnitude < 0x1p-26) {
    if (quarterTurns == 0) return x;
    if (magnitude < 0x1p-27) return 1.0;
  }

  // The fast path: hi + lo within bound of the result.
  const double k = (x * kStepsPerRadian + kRoundingShift) - kRoundingShift;
  const double middle = (x - k * kStepPart1) - k * kStepPart2;
  const DoubleDouble reduced = TwoDifference(middle, k * kStepPart3);

  // Within a quadrant: sin(b) from row i, cos(b) = sin(pi/2 - b) from row 1024 - i. Whole
  // quarter turns: sin(b + pi/2) = cos(b) and cos(b + pi/2) = -sin(b) exchange the rows.
  const unsigned step =
      static_cast<unsigned>((static_cast<int64_t>(k) + int64_t{quarterTurns} * kStepsPerQuarter) & (kStepsPerTurn - 1));
  const unsigned quadrant = step / kStepsPerQuarter;
  const unsigned inQuadrant = step % kStepsPerQuarter;
  const unsigned sinRow = quadrant & 1u ? kStepsPerQuarter - inQuadrant : inQuadrant;
  const double* sinEntry = kSinTable[sinRow];
  const double* cosEntry = kSinTable[kStepsPerQuarter - sinRow];
  const double sinHi = sinEntry[kHi] * kSinSign[quadrant];
  const double sinLo = sinEntry[kLo] * kSinSign[quadrant];
  const double cosHi = cosEntry[kHi] * kCosSign[quadrant];
  const double cosLo = cosEntry[kLo] * kCosSign[quadrant];

  const double rh = reduced.hi;
  const double rl = reduced.lo;
  const double r2 = rh * rh;
  const double sinTail = rh * r2 * (kSin3 + r2 * kSin5);  // sin(rh) - rh
  const double cosTail = -0.5 * r2 + r2 * r2 * kCos4;    // cos(rh) - 1

  const DoubleDouble rParts = Split(rh);
  const DoubleDouble head = TwoSum(sinHi, cosHi * rParts.hi);
  const double rTail = rl + sinTail;  // sin(r) - rh
  const double cosTerm = cosHi * (rParts.lo + rTail) + cosLo * (rh + rTail);
  const double sinTerm = (sinHi + sinLo) * (cosTail - rh * rl);
  const double lo = ((cosTerm + sinLo) + head.lo) + sinTerm;
  const double bound = kRelativeError * std::fabs(head.hi) + kAbsoluteError;
  if (seen != nullptr) *seen = {head.hi, lo, bound};

  // Rounding hi + t is monotonic in t: when both ends of the interval round alike, so does
  // the exact result. Otherwise the exact path decides.
  const double up = head.hi + (lo + bound);
  const double down = head.hi + (lo - bound);
  if (up == down) return up;
  return ExactSin(x, quarterTurns);
}

}  // namespace

Estimate FastSin(double x, int quarterTurns) {
  Estimate estimate{};
  SinOrCos(x, quarterTurns, &estimate);
  return estimate;
}

}  // namespace qmath

double QvlSin(double x) { return qmath::SinOrCos(x, 0, nullptr); }

double QvlCos(double x) { return qmath::SinOrCos(x, 1, nullptr); }
