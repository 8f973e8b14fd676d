// The few words of text a scripted run is given (a seed, lists of times), read the same way
// by the offline renderer and the web page.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "quorvel4/options.h"  // ParseWholeNumber, the one reading of a number

// A time in milliseconds: a whole number (ParseWholeNumber) that fits 32 bits.
std::optional<int32_t> ParseMilliseconds(const std::string& text);

// The pieces between the separators (an empty text is one empty piece).
std::vector<std::string> SplitText(const std::string& text, char separator);

// The most frames a scripted run may ask for: a frame every millisecond of the show eight
// times over, and still little memory.
inline constexpr int64_t kMaxScriptedFrames = 1000000;

// The times of a scripted run: T0:T1:STEP (T0, T0 + STEP, ... up to T1) or T,T,... in the
// order given. On bad input the result is empty and `error` says why, naming the setting as
// `name` ("--times").
std::vector<int32_t> ParseTimeList(const std::string& text, const std::string& name, std::string& error);
