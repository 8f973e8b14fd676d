#include "demo/number_text.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

std::optional<int64_t> ParseWholeNumber(const std::string& text) {
  if (text.empty()) return std::nullopt;
  errno = 0;
  char* end = nullptr;
  const long long value = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0') return std::nullopt;
  return value;
}

std::optional<int32_t> ParseMilliseconds(const std::string& text) {
  const auto value = ParseWholeNumber(text);
  if (!value || *value < INT32_MIN || *value > INT32_MAX) return std::nullopt;
  return static_cast<int32_t>(*value);
}

std::vector<std::string> SplitText(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t at; (at = text.find(separator, start)) != std::string::npos; start = at + 1)
    parts.push_back(text.substr(start, at - start));
  parts.push_back(text.substr(start));
  return parts;
}
