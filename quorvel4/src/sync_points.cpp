#include "quorvel4/sync_points.h"

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

#include "quorvel4/debug.h"

namespace {

std::vector<int32_t>& Times() {
  static std::vector<int32_t> times;
  return times;
}

void SkipWhitespace(FILE* f) {
  int c;
  while ((c = std::getc(f)) != EOF && std::isspace(c)) {
  }
  if (c != EOF) std::ungetc(c, f);
}

// A decimal number with an optional sign after any whitespace, and the whitespace after it
// (the "%d\n" of scanf, but refusing numbers beyond int32_t instead of misreading them).
std::optional<int32_t> ReadNumber(FILE* f) {
  SkipWhitespace(f);
  int c = std::getc(f);
  const bool negative = c == '-';
  if (c == '-' || c == '+') c = std::getc(f);
  if (c == EOF || !std::isdigit(c)) {
    if (c != EOF) std::ungetc(c, f);
    return std::nullopt;
  }
  int64_t value = 0;
  bool overflow = false;
  for (; c != EOF && std::isdigit(c); c = std::getc(f)) {
    value = value * 10 + (c - '0');
    if (value > int64_t{std::numeric_limits<int32_t>::max()} + 1) {
      overflow = true;
      value = 0;
    }
  }
  if (c != EOF) std::ungetc(c, f);
  if (negative) value = -value;
  if (overflow || value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max())
    return std::nullopt;
  SkipWhitespace(f);
  return static_cast<int32_t>(value);
}

// Drops the rest of the line, however long, with its newline. False at the end of the file.
bool SkipLine(FILE* f) {
  int c = std::getc(f);
  if (c == EOF) return false;
  while (c != '\n' && c != EOF) c = std::getc(f);
  return true;
}

// Opens only what can be read as a text file: a directory would read as empty, and opening a
// FIFO would wait for a writer. The type is looked up by name, which never waits.
FILE* OpenSyncFile(const char* path) {
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(path, error);
  if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) return nullptr;
  return std::fopen(path, "r");
}

}  // namespace

int32_t LoadSyncPoints(const char* path) {
  FILE* f = OpenSyncFile(path);
  if (f == nullptr) {
    DebugPrint("shite");
    return -1;
  }
  const int32_t declared = ReadNumber(f).value_or(0);
  const int32_t count = declared < 0 ? 0 : declared;
  DebugPrint("numpoints=%d\n", count);

  // Grows with the records really read, never with the count the file claims.
  std::vector<int32_t> times;
  for (int32_t i = 0; i < count; ++i) {
    if (!SkipLine(f)) break;
    const std::optional<int32_t> time = ReadNumber(f);
    if (!time) break;
    times.push_back(*time);
    DebugPrint("%d  %d \n", *time, i);
  }
  const bool readFailed = std::ferror(f) != 0;
  std::fclose(f);
  if (readFailed) {
    DebugPrint("shite");
    return -1;
  }

  Times() = std::move(times);
  return static_cast<int32_t>(Times().size());
}

void ClearSyncPoints() { Times().clear(); }

void SetSyncPoints(const int32_t* times, int32_t count) {
  if (times == nullptr || count < 1) {
    ClearSyncPoints();
    return;
  }
  Times().assign(times, times + count);
}

int32_t SyncPointCount() { return static_cast<int32_t>(Times().size()); }

const int32_t* SyncPointTimes() { return Times().empty() ? nullptr : Times().data(); }

int32_t FindSyncPoint(int32_t time) {
  const std::vector<int32_t>& times = Times();
  for (size_t i = 0; i < times.size(); ++i)
    if (times[i] >= time) return static_cast<int32_t>(i) - 1;
  return static_cast<int32_t>(times.size()) - 1;
}

int32_t TimeToNextSyncPoint(int32_t time) {
  for (const int32_t t : Times()) {
    if (t < time) continue;
    const int64_t wait = int64_t{t} - time;  // may exceed int32_t for far-apart times
    return wait > std::numeric_limits<int32_t>::max() ? std::numeric_limits<int32_t>::max()
                                                      : static_cast<int32_t>(wait);
  }
  return -1;
}

signed char OnStreamEvent(void* /*stream*/, void* data, int /*length*/, void* /*user*/) {
  if (data != nullptr) {
    DebugPrint("\nSYNCHPOINT : \"%s\"\n", static_cast<const char*>(data));
  } else {
    std::printf("\nSTREAM ENDED!!\n");
    std::fflush(stdout);
  }
  return 1;
}
