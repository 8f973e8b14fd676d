// Reading UTF-8, the one decoder of the show's texts (text files and the script's strings).
#pragma once

#include <cstddef>
#include <string_view>

// Decodes the character at `at` into `cp` and moves `at` past it; false, leaving `at` where it
// was, where the bytes there are not UTF-8 (a stray continuation byte, a cut sequence, an
// over-long two-byte form).
inline bool DecodeUtf8(std::string_view text, size_t& at, char32_t& cp) {
  const auto lead = static_cast<unsigned char>(text[at]);
  const int extra = lead < 0x80 ? 0 : (lead & 0xE0) == 0xC0 ? 1 : (lead & 0xF0) == 0xE0 ? 2 : (lead & 0xF8) == 0xF0 ? 3 : -1;
  if (extra < 0 || (extra == 1 && lead < 0xC2)) return false;
  char32_t value = extra == 0 ? lead : lead & (0x3F >> extra);
  for (int k = 1; k <= extra; ++k) {
    if (at + k >= text.size()) return false;
    const auto next = static_cast<unsigned char>(text[at + k]);
    if ((next & 0xC0) != 0x80) return false;
    value = value << 6 | (next & 0x3F);
  }
  cp = value;
  at += static_cast<size_t>(extra) + 1;
  return true;
}
