#include "quorvel4/sync_tracks.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "float_bits.h"

namespace {

bool KnownInterpolation(TrackInterpolation interpolation) {
  return static_cast<uint8_t>(interpolation) < kTrackInterpolationCount;
}

bool UsableKey(const TrackKey& key) {
  return key.row >= 0 && std::isfinite(key.value) && KnownInterpolation(key.interpolation);
}

std::vector<TrackKey>::const_iterator FirstAtOrAfter(const std::vector<TrackKey>& keys, int32_t row) {
  return std::lower_bound(keys.begin(), keys.end(), row, [](const TrackKey& k, int32_t r) { return k.row < r; });
}

void AppendLittleEndian32(std::string& out, uint32_t v) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>((v >> shift) & 0xFF));
}

uint32_t LittleEndian32(std::string_view bytes, size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(bytes[at + i]);
  return v;
}

}  // namespace

bool SyncTrack::SetKey(const TrackKey& key) {
  if (!UsableKey(key)) return false;
  const auto at = FirstAtOrAfter(keys_, key.row);
  if (at != keys_.end() && at->row == key.row) {
    keys_[at - keys_.begin()] = key;
  } else {
    keys_.insert(at, key);
  }
  return true;
}

bool SyncTrack::DeleteKey(int32_t row) {
  const auto at = FirstAtOrAfter(keys_, row);
  if (at == keys_.end() || at->row != row) return false;
  keys_.erase(at);
  return true;
}

bool SyncTrack::SetKeys(std::vector<TrackKey> keys) {
  for (size_t i = 0; i < keys.size(); ++i) {
    if (!UsableKey(keys[i]) || (i > 0 && keys[i].row <= keys[i - 1].row)) return false;
  }
  keys_ = std::move(keys);
  return true;
}

const TrackKey* SyncTrack::KeyAt(int32_t row) const {
  const auto at = FirstAtOrAfter(keys_, row);
  return at != keys_.end() && at->row == row ? &*at : nullptr;
}

double SyncTrack::ValueAt(double row) const {
  if (keys_.empty()) return 0;
  // A row that is not a number holds the first key's value, like any row before it.
  if (!(row >= keys_.front().row)) return keys_.front().value;
  const auto next = std::upper_bound(keys_.begin(), keys_.end(), row, [](double r, const TrackKey& k) { return r < k.row; });
  if (next == keys_.end()) return keys_.back().value;
  const TrackKey& k0 = *(next - 1);
  const TrackKey& k1 = *next;
  const double v0 = k0.value;
  const double span = static_cast<double>(k1.value) - v0;
  const double t = (row - k0.row) / (static_cast<double>(k1.row) - k0.row);
  switch (k0.interpolation) {
    case TrackInterpolation::kStep: return v0;
    case TrackInterpolation::kLinear: return v0 + span * t;
    case TrackInterpolation::kSmooth: return v0 + span * (t * t * (3 - 2 * t));
    case TrackInterpolation::kRamp: return v0 + span * (t * t);
  }
  return v0;
}

double RowAtMilliseconds(double ms, double bpm, int32_t rowsPerBeat) {
  return ms / 1000 * bpm / 60 * rowsPerBeat;
}

std::string TrackFileName(std::string_view base, std::string_view trackName) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string name(base);
  name += '_';
  size_t component = 0;  // where the current '/'-separated part of the name starts
  for (size_t i = 0; i <= trackName.size(); ++i) {
    if (i < trackName.size() && trackName[i] != '/') continue;
    const std::string_view part = trackName.substr(component, i - component);
    // A part of nothing but dots would be "." or ".." (or, on Windows, read as one of them) and
    // would lead the file out of the folder it is meant for: its dots are written as codes.
    const bool onlyDots = component > 0 && !part.empty() && part.find_first_not_of('.') == std::string_view::npos;
    for (const char ch : part) {
      const auto c = static_cast<unsigned char>(ch);
      const bool kept = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
                        (c == '.' && !onlyDots);
      if (kept) {
        name += ch;
      } else {
        name += '-';
        name += kHex[c >> 4];
        name += kHex[c & 0xF];
      }
    }
    if (i < trackName.size()) name += '/';
    component = i + 1;
  }
  name += ".track";
  return name;
}

namespace {
constexpr size_t kTrackFileKeyBytes = 9;
}

std::string EncodeTrackFile(const std::vector<TrackKey>& keys) {
  std::string out;
  out.reserve(4 + keys.size() * kTrackFileKeyBytes);
  AppendLittleEndian32(out, static_cast<uint32_t>(keys.size()));
  for (const TrackKey& key : keys) {
    AppendLittleEndian32(out, static_cast<uint32_t>(key.row));
    AppendLittleEndian32(out, FloatBits(key.value));
    out.push_back(static_cast<char>(key.interpolation));
  }
  return out;
}

bool DecodeTrackFile(std::string_view bytes, std::vector<TrackKey>& keys, std::string& error) {
  keys.clear();
  if (bytes.size() < 4) {
    error = "the file is " + std::to_string(bytes.size()) + " bytes, too short for the key count";
    return false;
  }
  const auto count = static_cast<int32_t>(LittleEndian32(bytes, 0));
  if (count < 0) {
    error = "the key count " + std::to_string(count) + " (byte 0) is negative";
    return false;
  }
  // Checked before anything is allocated: the count is what the file claims, the size what it has.
  const uint64_t needed = 4 + uint64_t{kTrackFileKeyBytes} * static_cast<uint64_t>(count);
  if (needed != bytes.size()) {
    error = "the key count " + std::to_string(count) + " (byte 0) needs " + std::to_string(needed) +
            " bytes, the file has " + std::to_string(bytes.size());
    return false;
  }
  std::vector<TrackKey> read;
  read.reserve(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) {
    const size_t at = 4 + static_cast<size_t>(i) * kTrackFileKeyBytes;
    const auto fault = [&](size_t byte, const std::string& what) {
      error = "key " + std::to_string(i) + " (byte " + std::to_string(byte) + "): " + what;
      return false;
    };
    TrackKey key;
    key.row = static_cast<int32_t>(LittleEndian32(bytes, at));
    key.value = FloatFromBits(LittleEndian32(bytes, at + 4));
    const auto interpolation = static_cast<uint8_t>(bytes[at + 8]);
    if (key.row < 0) return fault(at, "row " + std::to_string(key.row) + " is negative");
    if (!read.empty() && key.row <= read.back().row)
      return fault(at, "row " + std::to_string(key.row) + " is not after row " + std::to_string(read.back().row));
    if (!std::isfinite(key.value)) return fault(at + 4, "the value is not finite");
    if (interpolation >= kTrackInterpolationCount)
      return fault(at + 8, "interpolation " + std::to_string(interpolation) + " is not 0-3");
    key.interpolation = static_cast<TrackInterpolation>(interpolation);
    read.push_back(key);
  }
  keys = std::move(read);
  return true;
}
