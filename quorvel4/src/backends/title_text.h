// A window or terminal title as it may be shown.
#pragma once

#include <string>

// The title without its control characters, which could end a terminal's title early and
// smuggle in escape sequences, and mean nothing in a window's.
inline std::string PrintableTitle(const char* title) {
  std::string text;
  for (const char* p = title; *p; ++p) {
    const auto c = static_cast<unsigned char>(*p);
    if (c >= 0x20 && c != 0x7F) text += static_cast<char>(c);
  }
  return text;
}
