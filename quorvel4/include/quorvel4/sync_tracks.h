// Sync tracks: named values key-framed on a grid of rows, as the demoscene's sync-trackers edit
// them. A row is a fraction of a beat (rows per beat at the music's tempo): the row of a music
// time is seconds x bpm / 60 x rows per beat. Each key holds a value and how the value goes on
// from it to the next key (step, linear, smooth or ramp).
//
// Two file formats carry tracks:
// - a track file, one track, the format players read in releases: a little-endian int32 key
//   count, then per key an int32 row, a float32 value and a uint8 interpolation (9 bytes a key),
//   no header; named <base>_<name>.track (TrackFileName);
// - the editor's XML project, every track and the bookmarks:
//   <sync rows="N" rowsPerBeat="B"><tracks><track name="..."><key row="R" value="V" interpolation="0-3"/>...
//   </track>...</tracks><bookmarks><bookmark row="R"/>...</bookmarks></sync>
//
// Readers take untrusted bytes: they check every count and every row against what the bytes
// hold, never read past them, and say what is wrong and where. Values are finite 32-bit floats;
// rows are 0 or more, strictly increasing within a track.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

enum class TrackInterpolation : uint8_t { kStep = 0, kLinear = 1, kSmooth = 2, kRamp = 3 };
inline constexpr int kTrackInterpolationCount = 4;

struct TrackKey {
  int32_t row = 0;
  float value = 0;
  TrackInterpolation interpolation = TrackInterpolation::kStep;
  bool operator==(const TrackKey&) const = default;
};

class SyncTrack {
 public:
  SyncTrack() = default;
  explicit SyncTrack(std::string name) : name_(std::move(name)) {}

  const std::string& Name() const { return name_; }
  // The keys, rows strictly increasing.
  const std::vector<TrackKey>& Keys() const { return keys_; }

  // Sets the key of key.row, replacing the one there; false, and the track as it was, unless
  // the row is 0 or more, the value finite and the interpolation known.
  bool SetKey(const TrackKey& key);
  // Removes the key of `row`; false when there is none.
  bool DeleteKey(int32_t row);
  void ClearKeys() { keys_.clear(); }
  // Replaces every key; false, and the track as it was, unless the rows strictly increase, are
  // 0 or more, the values finite and the interpolations known.
  bool SetKeys(std::vector<TrackKey> keys);
  // The key of `row`, or null.
  const TrackKey* KeyAt(int32_t row) const;

  // The value at a fractional row: 0 without keys; the first key's value before it and the
  // last key's at or after it; between, from k0 (the last key at or before floor(row)) to k1
  // (the next) with t = (row - k0.row) / (k1.row - k0.row): step v0, linear v0 + (v1 - v0) t,
  // smooth v0 + (v1 - v0) t^2 (3 - 2t), ramp v0 + (v1 - v0) t^2, in double precision.
  double ValueAt(double row) const;

  bool operator==(const SyncTrack&) const = default;

 private:
  std::string name_;
  std::vector<TrackKey> keys_;
};

// The row of a music time: ms / 1000 x bpm / 60 x rowsPerBeat.
double RowAtMilliseconds(double ms, double bpm, int32_t rowsPerBeat);

// <base>_<name>.track, every byte of the name other than an ASCII letter, digit, '.', '_' or
// '/' written as '-' and two upper-case hex digits: ("sync", "camera:rot.y") gives
// "sync_camera-3Arot.y.track". The dots of a part after a '/' that is nothing but dots are
// written so too ("a/../b" gives "sync_a/-2E-2E/b.track"), so that a name never leads out of
// the base's folder.
std::string TrackFileName(std::string_view base, std::string_view trackName);

// The track file's bytes of the keys.
std::string EncodeTrackFile(const std::vector<TrackKey>& keys);
// Reads a track file's bytes; false with `error` (which key, which byte) when the count does
// not match the bytes exactly, a row is negative or not after the one before, a value is not
// finite or an interpolation unknown. `keys` is left empty then.
bool DecodeTrackFile(std::string_view bytes, std::vector<TrackKey>& keys, std::string& error);

struct SyncProject {
  int32_t rows = 0;         // the editor's number of rows (0: not given)
  int32_t rowsPerBeat = 0;  // how the editor groups its rows in beats (0: not given)
  std::vector<SyncTrack> tracks;
  std::vector<int32_t> bookmarks;  // rows, increasing
  bool operator==(const SyncProject&) const = default;
};

// The largest project text the reader takes, and the deepest nesting of elements.
inline constexpr size_t kMostSyncProjectBytes = size_t{256} << 20;
inline constexpr int kDeepestSyncProjectNesting = 32;
// The most elements, attributes and texts between them a project may hold: a key is an element
// and three attributes, so four million is a million keys (every row of a hundred tracks of ten
// thousand rows); the parser's nodes for them take a few hundred megabytes at most.
inline constexpr size_t kMostSyncProjectItems = 4000000;

// Reads an XML project; false with `error` naming the line and the column ("line 3, column 7:
// ...") and `project` left empty. Elements and attributes the format does not name are passed
// over; a track named twice, a key row twice in a track, a missing or malformed number, an
// interpolation outside 0-3 are errors. Keys may come in any order (they are sorted).
bool ReadSyncProject(std::string_view text, SyncProject& project, std::string& error);
// The project as XML, which ReadSyncProject reads back equal (values with the fewest digits
// that give the same float) where the names are UTF-8, not empty and each track's own, the rows
// 0 or more and the bookmarks increasing (the bookmarks are written sorted, each row once).
std::string WriteSyncProject(const SyncProject& project);

// A decimal number as the project writes it, read the same way on every platform (no locale,
// no C library): digits with an optional sign, point and exponent, rounded to the nearest
// float. False for anything else, and for a value beyond the float's range.
bool ParseTrackValue(std::string_view text, float& value);
// The fewest digits that ParseTrackValue reads back as `value` (of a finite value: "nan", "inf"
// and "-inf" are not read back).
std::string TrackValueText(float value);
