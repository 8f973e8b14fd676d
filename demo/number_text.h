// The few words of text a scripted run is given (a seed, lists of times), read the same way
// by the offline renderer and the web page.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// A whole decimal number filling all of `text`; nothing for empty text, other characters or
// a value beyond 64 bits.
std::optional<int64_t> ParseWholeNumber(const std::string& text);

// A time in milliseconds: a whole number that fits 32 bits.
std::optional<int32_t> ParseMilliseconds(const std::string& text);

// The pieces between the separators (an empty text is one empty piece).
std::vector<std::string> SplitText(const std::string& text, char separator);
