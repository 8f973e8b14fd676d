// The decimal text of track values, read and written with integer arithmetic only: the C
// library's readers follow the locale and differ between platforms in the last bit, and a
// project must give the same floats wherever it is read. Reading is exact: the decimal is
// turned into a ratio of big integers and rounded once, to the nearest float (ties to even).
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "float_bits.h"
#include "quorvel4/sync_tracks.h"

namespace {

// An unsigned integer of any size, 32 bits a limb, the lowest first, no zero limbs on top.
using Big = std::vector<uint32_t>;

void MultiplyAdd(Big& n, uint32_t factor, uint32_t add) {
  uint64_t carry = add;
  for (uint32_t& limb : n) {
    const uint64_t v = uint64_t{limb} * factor + carry;
    limb = static_cast<uint32_t>(v);
    carry = v >> 32;
  }
  if (carry != 0) n.push_back(static_cast<uint32_t>(carry));
}

// Divides in place; the remainder.
uint32_t Divide(Big& n, uint32_t divisor) {
  uint64_t rest = 0;
  for (size_t i = n.size(); i-- > 0;) {
    const uint64_t v = (rest << 32) | n[i];
    n[i] = static_cast<uint32_t>(v / divisor);
    rest = v % divisor;
  }
  while (!n.empty() && n.back() == 0) n.pop_back();
  return static_cast<uint32_t>(rest);
}

void MultiplyByPower(Big& n, uint32_t base, int exponent) {
  for (int i = 0; i < exponent; ++i) MultiplyAdd(n, base, 0);
}

int BitWidth(uint64_t v) {
  int width = 0;
  for (; v != 0; v >>= 1) ++width;
  return width;
}

int BitLength(const Big& n) {
  if (n.empty()) return 0;
  return static_cast<int>(32 * (n.size() - 1)) + BitWidth(n.back());
}

Big ShiftedLeft(const Big& n, int bits) {
  if (n.empty()) return n;
  Big out(static_cast<size_t>(bits / 32), 0);
  const int part = bits % 32;
  uint32_t carry = 0;
  for (const uint32_t limb : n) {
    out.push_back(part == 0 ? limb : (limb << part) | carry);
    carry = part == 0 ? 0 : limb >> (32 - part);
  }
  if (carry != 0) out.push_back(carry);
  return out;
}

int Compare(const Big& a, const Big& b) {
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  for (size_t i = a.size(); i-- > 0;) {
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  }
  return 0;
}

// a -= b, where b <= a.
void Subtract(Big& a, const Big& b) {
  int64_t borrow = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    int64_t v = int64_t{a[i]} - borrow - (i < b.size() ? int64_t{b[i]} : 0);
    borrow = v < 0 ? 1 : 0;
    if (v < 0) v += int64_t{1} << 32;
    a[i] = static_cast<uint32_t>(v);
  }
  while (!a.empty() && a.back() == 0) a.pop_back();
}

// A float's halfway points have at most 113 significant digits (odd multiples of 2^-150):
// digits past this many can only tell whether the number lies above the one they end, and
// they are kept as that alone.
constexpr int kMostDigits = 125;
// The largest written exponent the reader keeps count of: any more is as far beyond the float's
// range, since no text in memory has that many digits to make up for it.
constexpr int64_t kMostExponent = int64_t{1} << 40;

// The float nearest digits x 10^exponent (digits not zero, at most kMostDigits of them, and
// `above` when the number is a little more than that); false past the float's range.
bool NearestFloat(const Big& digits, int digitCount, int64_t exponent, bool above, uint32_t& bits) {
  // 10^39 is past the largest float; below 10^-46 is nearer 0 than the smallest, 2^-149.
  if (digitCount - 1 + exponent > 38) return false;
  if (digitCount + exponent < -46) {
    bits = 0;
    return true;
  }
  // Digits and a power of ten that are both floats exactly: one float operation, which rounds
  // to the nearest as well, and is much quicker.
  if (!above && digits.size() == 1 && digits[0] <= (uint32_t{1} << 24) && exponent >= -10 && exponent <= 10) {
    static constexpr float kPowers[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f, 1e8f, 1e9f, 1e10f};
    const auto m = static_cast<float>(digits[0]);
    const float v = exponent >= 0 ? m * kPowers[exponent] : m / kPowers[-exponent];
    if (!std::isfinite(v)) return false;
    bits = FloatBits(v);
    return true;
  }
  // Up to 15 digits and a power of ten up to 10^22 are both doubles exactly, so one double
  // operation rounds the decimal to the nearest double. Rounding that to a float is right unless
  // the double lies exactly halfway between two floats (the decimal itself may lie a little to
  // either side of it): only then, and past the float's range, is the exact way needed. This is
  // the way of nearly every value a project holds, and many times quicker.
  if (!above && digitCount <= 15 && exponent >= -22 && exponent <= 22) {
    static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                         1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    uint64_t m = 0;
    for (size_t limb = digits.size(); limb-- > 0;) m = m << 32 | digits[limb];
    const auto exact = static_cast<double>(m);
    const double d = exponent >= 0 ? exact * kPowers[exponent] : exact / kPowers[-exponent];
    const auto f = static_cast<float>(d);
    if (std::isfinite(f)) {
      const double back = f;
      bool halfway = false;
      if (back != d) {
        const float other = std::nextafter(f, d > back ? HUGE_VALF : -HUGE_VALF);
        halfway = std::isfinite(other) && (back + static_cast<double>(other)) / 2 == d;
      }
      if (!halfway) {
        bits = FloatBits(f);
        return true;
      }
    }
  }
  Big a = digits;
  Big b = {1};
  if (exponent >= 0) MultiplyByPower(a, 10, static_cast<int>(exponent));
  else MultiplyByPower(b, 10, static_cast<int>(-exponent));
  // a / b x 2^scale lies between 2^25 and 2^27: the quotient's bits and two more to round with.
  const int scale = 26 - (BitLength(a) - BitLength(b));
  if (scale > 0) a = ShiftedLeft(a, scale);
  else b = ShiftedLeft(b, -scale);
  uint64_t quotient = 0;
  for (int bit = 26; bit >= 0; --bit) {
    const Big shifted = ShiftedLeft(b, bit);
    if (Compare(a, shifted) >= 0) {
      Subtract(a, shifted);
      quotient |= uint64_t{1} << bit;
    }
  }
  const bool sticky = above || !a.empty();
  // The value is quotient x 2^-scale; a float is m x 2^unit, m below 2^24, unit -149 or more.
  const int top = BitWidth(quotient) - 1 - scale;
  const int unit = top - 23 > -149 ? top - 23 : -149;
  const int dropped = unit + scale;  // 2 or more: the quotient has 26 bits or more
  uint64_t m = dropped < 64 ? quotient >> dropped : 0;
  const bool half = dropped - 1 < 64 && ((quotient >> (dropped - 1)) & 1) != 0;
  const bool below = dropped - 1 >= 64 ? quotient != 0 : (quotient & ((uint64_t{1} << (dropped - 1)) - 1)) != 0;
  if (half && (below || sticky || (m & 1) != 0)) ++m;
  // m of 2^24 carries into the exponent by itself.
  const uint64_t whole = (static_cast<uint64_t>(unit + 149) << 23) + m;
  if (whole >= 0x7F800000u) return false;
  bits = static_cast<uint32_t>(whole);
  return true;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

bool ParseTrackValue(std::string_view text, float& value) {
  size_t at = 0;
  const bool negative = at < text.size() && text[at] == '-';
  if (at < text.size() && (text[at] == '-' || text[at] == '+')) ++at;
  Big digits;
  int kept = 0;
  int64_t exponent = 0;
  bool above = false;
  bool sawDigit = false;
  const auto take = [&](int digit, bool afterPoint) {
    sawDigit = true;
    if (kept == 0 && digit == 0) {
      if (afterPoint) --exponent;
      return;
    }
    if (kept < kMostDigits) {
      MultiplyAdd(digits, 10, static_cast<uint32_t>(digit));
      ++kept;
      if (afterPoint) --exponent;
    } else {
      if (!afterPoint) ++exponent;
      above = above || digit != 0;
    }
  };
  for (; at < text.size() && IsDigit(text[at]); ++at) take(text[at] - '0', false);
  if (at < text.size() && text[at] == '.') {
    for (++at; at < text.size() && IsDigit(text[at]); ++at) take(text[at] - '0', true);
  }
  if (!sawDigit) return false;
  if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
    ++at;
    const bool negativeExponent = at < text.size() && text[at] == '-';
    if (at < text.size() && (text[at] == '-' || text[at] == '+')) ++at;
    if (at == text.size() || !IsDigit(text[at])) return false;
    int64_t written = 0;
    for (; at < text.size() && IsDigit(text[at]); ++at) {
      written = written * 10 + (text[at] - '0');
      if (written > kMostExponent) written = kMostExponent;
    }
    exponent += negativeExponent ? -written : written;
  }
  if (at != text.size()) return false;
  uint32_t bits = 0;
  if (kept > 0 && !NearestFloat(digits, kept, exponent, above, bits)) return false;
  value = FloatFromBits(bits | (negative ? 0x80000000u : 0));
  return true;
}

namespace {

// The exact decimal digits of a positive finite float, and the power of ten of the first.
std::string ExactDigits(float value, int& firstExponent) {
  const uint32_t bits = FloatBits(value) & 0x7FFFFFFFu;
  const int field = static_cast<int>(bits >> 23);
  uint32_t m = bits & 0x7FFFFF;
  int e = -149;
  if (field != 0) {
    m |= 0x800000;
    e = field - 150;
  }
  // m x 2^e: an integer, or m x 5^-e x 10^e.
  Big n = {m};
  int tenth = 0;
  if (e >= 0) {
    MultiplyByPower(n, 2, e);
  } else {
    MultiplyByPower(n, 5, -e);
    tenth = e;
  }
  std::string reversed;
  while (!n.empty()) reversed += static_cast<char>('0' + Divide(n, 10));
  const std::string digits(reversed.rbegin(), reversed.rend());
  firstExponent = tenth + static_cast<int>(digits.size()) - 1;
  return digits;
}

// digits (no zeros at either end) x 10^(firstExponent - its length + 1), in plain notation
// where that is short and in exponent notation otherwise.
std::string Written(const std::string& digits, int firstExponent) {
  const int count = static_cast<int>(digits.size());
  std::string text;
  if (firstExponent >= -5 && firstExponent < 0) {
    text.append("0.").append(static_cast<size_t>(-firstExponent - 1), '0').append(digits);
  } else if (firstExponent >= 0 && firstExponent <= 9) {
    const auto whole = static_cast<size_t>(firstExponent + 1);
    text.append(digits, 0, whole);
    if (count <= firstExponent + 1) text.append(whole - digits.size(), '0');
    else text.append(".").append(digits, whole);
  } else {
    text.append(digits, 0, 1);
    if (count > 1) text.append(".").append(digits, 1);
    text.append("e").append(std::to_string(firstExponent));
  }
  return text;
}

}  // namespace

std::string TrackValueText(float value) {
  if (std::isnan(value)) return "nan";
  const std::string sign = std::signbit(value) ? "-" : "";
  if (std::isinf(value)) return sign + "inf";
  if (value == 0) return sign + "0";
  int firstExponent = 0;
  const std::string exact = ExactDigits(value, firstExponent);
  std::string text;
  // Nine digits always read back as the same float; fewer often do.
  for (size_t count = 1; count <= 9; ++count) {
    std::string digits = exact.substr(0, count);
    int first = firstExponent;
    if (count < exact.size() && exact[count] >= '5') {
      size_t i = digits.size();
      while (i > 0 && digits[i - 1] == '9') digits[--i] = '0';
      if (i == 0) {
        digits.insert(digits.begin(), '1');
        digits.pop_back();
        ++first;
      } else {
        ++digits[i - 1];
      }
    }
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
    text = sign + Written(digits, first);
    float back = 0;
    if (ParseTrackValue(text, back) && FloatBits(back) == FloatBits(value)) break;
  }
  return text;
}
