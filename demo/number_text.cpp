#include "demo/number_text.h"

#include <climits>

std::optional<int32_t> ParseMilliseconds(const std::string& text) {
  const auto value = ParseWholeNumber(text);
  if (!value || *value < INT32_MIN || *value > INT32_MAX) return std::nullopt;
  return static_cast<int32_t>(*value);
}

namespace {

std::vector<int32_t> StepTimes(const std::vector<std::string>& range, const std::string& name, std::string& error) {
  const auto first = ParseMilliseconds(range[0]), last = ParseMilliseconds(range[1]), step = ParseMilliseconds(range[2]);
  if (!first || !last || !step)
    error = name + " T0:T1:STEP needs three whole numbers of milliseconds";
  else if (*step <= 0)
    error = "the step of " + name + " T0:T1:STEP must be positive";
  else if (*last < *first)
    error = name + " T0:T1:STEP needs T0 <= T1";
  else if ((int64_t{*last} - *first) / *step + 1 > kMaxScriptedFrames)
    error = name + " asks for too many frames";
  if (!error.empty()) return {};
  std::vector<int32_t> times;
  for (int64_t t = *first; t <= *last; t += *step) times.push_back(static_cast<int32_t>(t));
  return times;
}

}  // namespace

std::vector<int32_t> ParseTimeList(const std::string& text, const std::string& name, std::string& error) {
  const std::vector<std::string> range = SplitText(text, ':');
  if (range.size() == 3) return StepTimes(range, name, error);
  if (range.size() != 1) {
    error = name + " is T0:T1:STEP or a comma-separated list of milliseconds";
    return {};
  }
  const std::vector<std::string> parts = SplitText(text, ',');
  if (static_cast<int64_t>(parts.size()) > kMaxScriptedFrames) {
    error = name + " asks for too many frames";
    return {};
  }
  std::vector<int32_t> times;
  for (const std::string& part : parts) {
    const auto time = ParseMilliseconds(part);
    if (!time) {
      error = "not a time in milliseconds in " + name + ": \"" + part + "\"";
      return {};
    }
    times.push_back(*time);
  }
  return times;
}

std::vector<std::string> SplitText(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t at; (at = text.find(separator, start)) != std::string::npos; start = at + 1)
    parts.push_back(text.substr(start, at - start));
  parts.push_back(text.substr(start));
  return parts;
}
