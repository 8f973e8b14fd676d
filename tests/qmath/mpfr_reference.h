// MPFR's correctly rounded sine and cosine: the reference QvlSin and QvlCos must equal.
#pragma once

#include <mpfr.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

// The bits of a double, so that -0 differs from +0 and NaNs compare equal.
inline uint64_t BitsOf(double x) {
  uint64_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  return bits;
}

// sin(x + quarterTurns * pi / 2) rounded to nearest (quarterTurns 0 or 1).
inline double ReferenceSin(double x, int quarterTurns) {
  if (!std::isfinite(x)) return std::numeric_limits<double>::quiet_NaN();
  mpfr_t value;
  mpfr_init2(value, 53);
  mpfr_set_d(value, x, MPFR_RNDN);
  if (quarterTurns == 0)
    mpfr_sin(value, value, MPFR_RNDN);
  else
    mpfr_cos(value, value, MPFR_RNDN);
  const double result = mpfr_get_d(value, MPFR_RNDN);
  mpfr_clear(value);
  return result;
}

// The same, answered from the C library's long double sine and cosine where that settles it,
// and from MPFR where it does not: the long double result lies within a few of its own units
// in the last place (each 2^-11 of a double's) of the exact value, so when it is farther than
// 1/64 of a double's unit from the midpoint between the two doubles around it, it rounds to
// the correctly rounded double. About one argument in thirty is left to MPFR, which is what
// makes checking millions of arguments quick.
inline double ScreenedReferenceSin(double x, int quarterTurns) {
  if (!std::isfinite(x)) return std::numeric_limits<double>::quiet_NaN();
  const long double wide = quarterTurns == 0 ? sinl(x) : cosl(x);
  const double nearest = static_cast<double>(wide);
  const double neighbour = std::nextafter(nearest, wide > nearest ? std::numeric_limits<double>::infinity()
                                                                  : -std::numeric_limits<double>::infinity());
  const long double unit = fabsl(static_cast<long double>(neighbour) - nearest);
  const long double midpoint = (static_cast<long double>(nearest) + neighbour) / 2;
  if (std::isfinite(neighbour) && fabsl(wide - midpoint) > unit / 64) return nearest;
  return ReferenceSin(x, quarterTurns);
}

// |hi + lo - sin(x + quarterTurns * pi / 2)| worked out with 400 bits, as a double.
inline double EstimateError(double x, int quarterTurns, double hi, double lo) {
  mpfr_t exact, sum;
  mpfr_inits2(400, exact, sum, static_cast<mpfr_ptr>(nullptr));
  mpfr_set_d(exact, x, MPFR_RNDN);
  if (quarterTurns == 0)
    mpfr_sin(exact, exact, MPFR_RNDN);
  else
    mpfr_cos(exact, exact, MPFR_RNDN);
  mpfr_set_d(sum, hi, MPFR_RNDN);
  mpfr_add_d(sum, sum, lo, MPFR_RNDN);
  mpfr_sub(sum, sum, exact, MPFR_RNDN);
  const double error = std::fabs(mpfr_get_d(sum, MPFR_RNDU));
  mpfr_clears(exact, sum, static_cast<mpfr_ptr>(nullptr));
  return error;
}

// How many random arguments a test draws: `count`, scaled down in the sanitizer build and
// overridden by QVL_QMATH_SAMPLES (a percentage) when set.
inline int SampleCount(int count) {
#ifdef QVL_SANITIZED
  int percent = 2;
#else
  int percent = 100;
#endif
  if (const char* text = std::getenv("QVL_QMATH_SAMPLES")) percent = std::atoi(text);
  return static_cast<int>(static_cast<int64_t>(count) * percent / 100);
}
