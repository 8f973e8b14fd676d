// The parts of QvlSin and QvlCos, for their implementation and their tests.
#pragma once

#include <cstdint>

namespace qmath {

// The fast path steps the angle in pi / kStepsPerPi: a table holds the sine of every step of
// the first quarter turn (the cosine is the sine of the complementary step), symmetry gives
// the rest.
constexpr int kStepsPerPi = 2048;
constexpr int kStepsPerTurn = 2 * kStepsPerPi;
constexpr int kStepsPerQuarter = kStepsPerPi / 2;
constexpr int kTableSize = kStepsPerQuarter + 1;

// Arguments of at least this magnitude go straight to the exact path: below it the step
// count has at most 30 bits, so its products with kStepPart1 and kStepPart2 are exact.
constexpr double kFastLimit = 0x1p20;

// Fixed-point numbers of the exact path: kLimbs 32-bit limbs, least significant first, the
// last one the integer part (value = sum of limb[i] * 2^(32 * (i - kLimbs + 1))).
constexpr int kLimbs = 10;

// Enough words of 2 / pi to reduce the largest double with 350 bits to spare.
constexpr int kTwoOverPiWordCount = 42;

// Row i of the table: sin(i * pi / kStepsPerPi) as the unevaluated sum of columns kHi + kLo,
// where kHi has only kTableHighBits significant bits so that its products with halves of a
// split double are exact.
constexpr int kTableHighBits = 26;
enum TableColumn { kHi, kLo, kTableColumns };

extern const double kStepsPerRadian;  // kStepsPerPi / pi
extern const double kStepPart1;       // pi / kStepsPerPi = kStepPart1 + kStepPart2 + kStepPart3
extern const double kStepPart2;
extern const double kStepPart3;
extern const double kSinTable[kTableSize][kTableColumns];
extern const uint32_t kTwoOverPiWords[kTwoOverPiWordCount];  // bits of 2 / pi, first after the point first
extern const uint32_t kPiOverTwoLimbs[kLimbs];                // pi / 2, integer part first

// The fast path's estimate of sin(x + quarterTurns * pi / 2): within `bound` of hi + lo, for
// 2^-26 <= |x| < kFastLimit.
struct Estimate {
  double hi, lo, bound;
};
Estimate FastSin(double x, int quarterTurns);

// sin(x + quarterTurns * pi / 2) rounded to nearest, for any finite x with |x| >= 2^-30,
// worked out in 288-bit fixed point.
double ExactSin(double x, int quarterTurns);

}  // namespace qmath
