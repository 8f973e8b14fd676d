// Prints a fingerprint of QvlSin and QvlCos over two million arguments (the show's ranges,
// all magnitudes), and how often the C library's sin and cos differ from them. Built for
// several platforms by scripts/qmath-platforms.sh: the fingerprints must agree.
#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "quorvel4/qmath.h"

namespace {

uint64_t BitsOf(double x) {
  uint64_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  return bits;
}

// FNV-1a over the bytes of the results.
struct Fingerprint {
  uint64_t hash = 14695981039346656037u;
  void Add(double x) {
    const uint64_t bits = BitsOf(x);
    for (int i = 0; i < 8; ++i) hash = (hash ^ ((bits >> (8 * i)) & 0xFF)) * 1099511628211u;
  }
};

// The n-th argument: uniform in [-100, 100] or [-700, 700], any finite double, or any
// magnitude from 2^-30 to 2^60, in turn.
double Argument(uint64_t random, int n) {
  const double unit = static_cast<double>(random >> 11) * 0x1p-53;
  switch (n % 4) {
    case 0: return unit * 200.0 - 100.0;
    case 1: return unit * 1400.0 - 700.0;
    case 2: {
      const uint64_t bits = random & 0xFFEFFFFFFFFFFFFFu;  // no infinities or NaNs
      double x;
      std::memcpy(&x, &bits, sizeof x);
      return x;
    }
    default: return std::ldexp(1.0 + unit, static_cast<int>((random >> 3) % 91) - 30);
  }
}

}  // namespace

int main() {
  constexpr int kArguments = 2000000;
  uint64_t random = 12345;
  Fingerprint ours;
  long libraryDiffers = 0;
  for (int n = 0; n < kArguments; ++n) {
    random = random * 6364136223846793005u + 1442695040888963407u;
    const double x = Argument(random, n);
    const double s = QvlSin(x);
    const double c = QvlCos(x);
    ours.Add(s);
    ours.Add(c);
    if (BitsOf(std::sin(x)) != BitsOf(s) || BitsOf(std::cos(x)) != BitsOf(c)) ++libraryDiffers;
  }
  std::printf("QvlSin/QvlCos fingerprint %016" PRIx64 "; the C library differs for %ld of %d arguments\n",
              ours.hash, libraryDiffers, kArguments);
  return 0;
}
