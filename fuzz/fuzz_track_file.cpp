// The track file's reader on any bytes. What it reads are keys a track takes (rows 0 or more,
// strictly increasing, values finite, interpolations known) and they are written back as the
// very bytes read; what it refuses leaves no keys and says why.
#include <cstdint>
#include <string>
#include <vector>

#include "quorvel4/sync_tracks.h"
#include "support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::vector<TrackKey> keys = {{1, 1.0f, TrackInterpolation::kStep}};
  std::string error;
  if (DecodeTrackFile(bytes, keys, error)) {
    FUZZ_CHECK(EncodeTrackFile(keys) == bytes);
    SyncTrack track("t");
    FUZZ_CHECK(track.SetKeys(keys));
    for (const TrackKey& key : keys) FUZZ_CHECK(track.ValueAt(key.row) == key.value);
  } else {
    FUZZ_CHECK(keys.empty());
    FUZZ_CHECK(!error.empty());
  }
  return 0;
}
