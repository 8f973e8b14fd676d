// Reading UTF-8 from bytes that come from outside (a terminal's keys, a program's status line),
// where a character may be cut off by the end of a read and anything may be malformed.
#pragma once

#include <cstddef>
#include <string_view>

enum class Utf8Read {
  kCharacter,   // `code`, `length` bytes
  kIncomplete,  // a beginning that more bytes may complete
  kMalformed,   // `length` bytes that are no character (the byte that broke a sequence off is not among them)
};

struct Utf8Step {
  Utf8Read read;
  size_t length;
  char32_t code;
};

// The character that starts `bytes` (not empty), in the shortest form only, and never a
// surrogate or past U+10FFFF.
inline Utf8Step ReadUtf8(std::string_view bytes) {
  const auto lead = static_cast<unsigned char>(bytes[0]);
  if (lead < 0x80) return {Utf8Read::kCharacter, 1, lead};
  const size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                        : lead >= 0xE0 && lead <= 0xEF ? 3
                        : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                       : 0;
  if (length == 0) return {Utf8Read::kMalformed, 1, 0};
  char32_t code = lead & (0x7F >> length);
  for (size_t i = 1; i < length; ++i) {
    if (i >= bytes.size()) return {Utf8Read::kIncomplete, 0, 0};
    const auto next = static_cast<unsigned char>(bytes[i]);
    if ((next & 0xC0) != 0x80) return {Utf8Read::kMalformed, i, 0};
    code = (code << 6) | (next & 0x3F);
  }
  constexpr char32_t kShortest[5] = {0, 0, 0x80, 0x800, 0x10000};
  if (code < kShortest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
    return {Utf8Read::kMalformed, length, 0};
  }
  return {Utf8Read::kCharacter, length, code};
}
