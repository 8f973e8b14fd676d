// A float's IEEE-754 bits and back, for the formats that carry floats as bits. By memcpy, not
// std::bit_cast: the web build's C++ library has no bit_cast yet.
#pragma once

#include <cstdint>
#include <cstring>

inline uint32_t FloatBits(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

inline float FloatFromBits(uint32_t bits) {
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}
