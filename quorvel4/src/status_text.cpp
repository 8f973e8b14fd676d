#include "status_text.h"

#include "utf8_read.h"

namespace {

// The blocks of characters a terminal draws two columns wide, roughly; a character counted
// wide that is not only cuts the line a little short.
bool IsWide(char32_t c) {
  return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3) ||
         (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
         (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x1F300 && c <= 0x1F64F) || (c >= 0x1F900 && c <= 0x1F9FF) ||
         (c >= 0x20000 && c <= 0x3FFFD);
}

bool IsControl(char32_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

}  // namespace

std::string StatusText(std::string_view text, int columns) {
  std::string shown;
  int used = 0;
  while (!text.empty()) {
    const Utf8Step step = ReadUtf8(text);
    if (step.read == Utf8Read::kIncomplete) break;  // cut off at the end: nothing to show
    if (step.read == Utf8Read::kCharacter && !IsControl(step.code)) {
      const int width = IsWide(step.code) ? 2 : 1;
      if (used + width > columns) break;
      used += width;
      shown.append(text.substr(0, step.length));
    }
    text.remove_prefix(step.length);
  }
  return shown;
}

std::string AsciiOnly(std::string_view text) {
  std::string ascii;
  while (!text.empty()) {
    const Utf8Step step = ReadUtf8(text);
    if (step.read == Utf8Read::kIncomplete) break;
    ascii += step.read == Utf8Read::kCharacter && step.code < 0x80 ? static_cast<char>(step.code) : '?';
    text.remove_prefix(step.length);
  }
  return ascii;
}

std::string StatusAndTitle(const std::string& status, const std::string& title) {
  if (status.empty()) return title;
  if (title.empty()) return status;
  return status + " - " + title;
}
