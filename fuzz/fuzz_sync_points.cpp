// The sync-point file reader and the lookups after it, on any bytes. The reader keeps no more
// points than the file has lines, and the lookups agree with the times it kept.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <vector>

#include "support.h"
#include "quorvel4/debug.h"
#include "quorvel4/sync_points.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const ScratchFile scratch("sync_points");
  // The reader's notes would go to standard error with every input.
  static const bool quiet = (SetDebugSink([](const char*) {}), true);
  (void)quiet;
  const std::string_view file(reinterpret_cast<const char*>(data), size);
  scratch.Write(file);
  const int32_t count = LoadSyncPoints(scratch.Path().c_str());
  FUZZ_CHECK(count >= 0);
  FUZZ_CHECK(count == SyncPointCount());
  FUZZ_CHECK(static_cast<size_t>(count) <= static_cast<size_t>(std::count(file.begin(), file.end(), '\n')));
  const int32_t* times = SyncPointTimes();
  FUZZ_CHECK((times == nullptr) == (count == 0));
  std::vector<int32_t> probes = {INT32_MIN, -1, 0, 1, INT32_MAX};
  for (int32_t i = 0; i < count && i < 64; ++i) {
    probes.push_back(times[i]);
    if (times[i] > INT32_MIN) probes.push_back(times[i] - 1);
    if (times[i] < INT32_MAX) probes.push_back(times[i] + 1);
  }
  for (const int32_t time : probes) {
    const int32_t index = FindSyncPoint(time);
    FUZZ_CHECK(index >= -1 && index < std::max(count, 1));
    // The point found lies before `time`, and the one after it (if any) does not.
    if (index >= 0) FUZZ_CHECK(times[index] < time);
    if (index + 1 < count) FUZZ_CHECK(times[index + 1] >= time);
    const int32_t wait = TimeToNextSyncPoint(time);
    FUZZ_CHECK(wait >= -1);
    if (wait >= 0) FUZZ_CHECK(std::any_of(times, times + count, [&](int32_t t) { return t >= time; }));
    else FUZZ_CHECK(std::none_of(times, times + count, [&](int32_t t) { return t >= time; }));
  }
  return 0;
}
