// The sync-tracker protocol, as bytes: what the editor (a TCP server, port 1338 by default) and
// the demo (its client) say to each other. No sockets here: a reader takes whatever bytes have
// arrived, split anywhere, and gives back the messages they complete; the writers append a
// message's bytes to a buffer the caller sends.
//
// The client opens with "hello, synctracker!" and the editor answers "hello, demo!" (no
// terminators). Then each message is a command byte and its payload, integers 32-bit big-endian,
// a float as the big-endian bits of an IEEE-754 single:
//   0 SET_KEY      editor -> demo  track u32, row u32, value f32, interpolation u8 (0-3)
//   1 DELETE_KEY   editor -> demo  track u32, row u32
//   2 GET_TRACK    demo -> editor  name length u32, the name's UTF-8 bytes
//   3 SET_ROW      both ways       row u32
//   4 PAUSE        editor -> demo  u8: 1 pause, 0 play
//   5 SAVE_TRACKS  editor -> demo  no payload
// A track's number is the order of its GET_TRACK on the connection, from 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "quorvel4/sync_tracks.h"

inline constexpr uint16_t kSyncTrackerPort = 1338;
inline constexpr std::string_view kSyncClientGreeting = "hello, synctracker!";
inline constexpr std::string_view kSyncEditorGreeting = "hello, demo!";
// The longest track name a reader takes.
inline constexpr uint32_t kMostTrackNameBytes = 4096;

enum class SyncCommand : uint8_t { kSetKey = 0, kDeleteKey = 1, kGetTrack = 2, kSetRow = 3, kPause = 4, kSaveTracks = 5 };

struct SyncMessage {
  SyncCommand command = SyncCommand::kSetRow;
  uint32_t track = 0;  // SET_KEY, DELETE_KEY
  TrackKey key;        // SET_KEY: row, value, interpolation; DELETE_KEY and SET_ROW: row
  bool pause = false;  // PAUSE
  std::string name;    // GET_TRACK
  bool operator==(const SyncMessage&) const = default;
};

// Which end reads: the demo reads the editor's greeting and messages, the editor the demo's.
enum class SyncSide { kDemo, kEditor };

class SyncReader {
 public:
  explicit SyncReader(SyncSide side) : side_(side) {}

  // Takes the bytes that arrived, split anywhere: first the other side's greeting, then its
  // messages, each one appended to `messages` once whole. False, with Error() set, on the first
  // fault: a greeting that differs, a command byte unknown or of this side's own, an
  // interpolation outside 0-3, a PAUSE byte other than 0 or 1, a value that is not finite, a
  // row beyond 2147483647, a name that is empty, longer than kMostTrackNameBytes or not UTF-8.
  // The messages before the fault are appended; after it the reader takes nothing more.
  bool Feed(const uint8_t* data, size_t size, std::vector<SyncMessage>& messages);

  bool Greeted() const { return greeted_; }
  // Part of a greeting or a message has come and the rest has not: where a connection closes,
  // that is a fault too. False after a fault (Error() says it).
  bool InTheMiddle() const;
  const std::string& Error() const { return error_; }
  // Bytes held for a message not yet whole: never more than the largest message's.
  size_t Held() const { return pending_.size(); }

 private:
  SyncSide side_;
  bool greeted_ = false;
  size_t greetingSeen_ = 0;  // bytes of the greeting matched so far
  std::string pending_;      // the start of a message not yet whole
  std::string error_;
};

// The messages' bytes, appended to `out`.
void AppendClientGreeting(std::string& out);
void AppendEditorGreeting(std::string& out);
void AppendSetKey(std::string& out, uint32_t track, const TrackKey& key);
void AppendDeleteKey(std::string& out, uint32_t track, uint32_t row);
void AppendGetTrack(std::string& out, std::string_view name);
void AppendSetRow(std::string& out, uint32_t row);
void AppendPause(std::string& out, bool pause);
void AppendSaveTracks(std::string& out);
