// The live show's side of the sync-tracker protocol (quorvel4/sync_protocol.h): it connects to
// an editor, asks for the show's tracks, takes the editor's keys into them as they come, and
// tells the show what the editor asks of it (pause or play, a row to go to, a save). Nothing
// here waits: each Poll does what can be done at once. Without an editor, or when the editor
// goes away, the show plays on with the keys it has, and the client tries again every second.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "demo/tcp_link.h"
#include "quorvel4/sync_protocol.h"
#include "quorvel4/sync_tracks.h"

// "[HOST:]PORT" (the host 127.0.0.1 when only a port is given; an IPv6 host in brackets), the
// port from `lowestPort` to 65535; none when it is not that. A show connects to a port from 1
// on; a server may listen on 0, whichever port the system gives it.
struct SyncAddress {
  std::string host = "127.0.0.1";
  uint16_t port = kSyncTrackerPort;
};
std::optional<SyncAddress> ParseSyncAddress(const std::string& text, uint16_t lowestPort = 1);

class SyncClient {
 public:
  // A steady clock in milliseconds, for the tries again; it never reaches a frame.
  using Milliseconds = std::function<int64_t()>;

  // How often a connection is tried while there is none.
  static constexpr int64_t kRetryEveryMs = 1000;
  // The most bytes taken from the editor in one poll, so that a flood of keys cannot hold up a
  // frame; the rest waits for the next poll.
  static constexpr size_t kMostBytesAPoll = size_t{16} << 10;
  // The most bytes waiting to be sent: an editor that reads nothing is dropped, not buffered for.
  static constexpr size_t kMostWaitingBytes = size_t{1} << 20;

  SyncClient(TcpAddress address, Milliseconds now);

  // What the editor asked since the last poll, to be done in this order: the play or pause
  // (the last one asked), then the row to go to (the last one), then the save. `keysChanged`:
  // the tracks' keys are others now.
  struct Asked {
    bool keysChanged = false;
    std::optional<bool> pause;
    std::optional<uint32_t> row;
    bool save = false;
  };

  // One pass: connects when it is time to, sends what waits, reads what has arrived and takes
  // the keys into `tracks` (the show's, by name).
  Asked Poll(std::vector<SyncTrack>& tracks);

  // The show's tracks after it loaded again: those the editor has sent keys for get them; names
  // new to the connection are asked for (and hold no keys until the editor's come).
  void Adopt(std::vector<SyncTrack>& tracks);

  // While the show plays, the row of its frame: sent when it is another than the last one
  // either side named.
  void Playing(uint32_t row);

  bool Connected() const { return state_ == State::kOpen; }
  // A few words for the status line.
  std::string Status() const;

 private:
  enum class State { kWaiting, kConnecting, kGreeting, kOpen };
  void TryToConnect();
  void Drop(std::string why);
  void Flush();
  void Greeted(std::vector<SyncTrack>& tracks, Asked& asked);
  bool Take(const SyncMessage& message, std::vector<SyncTrack>& tracks, Asked& asked);
  SyncTrack* ShowTrack(std::vector<SyncTrack>& tracks, size_t index);

  TcpAddress address_;
  Milliseconds now_;
  State state_ = State::kWaiting;
  std::unique_ptr<TcpLink> link_;
  SyncReader reader_{SyncSide::kDemo};
  std::string outgoing_;
  std::optional<int64_t> lastTryMs_;
  // The names asked for on this connection, in order: the editor's track numbers.
  std::vector<std::string> asked_;
  // Where each of them is among the show's tracks (-1: not there), worked out at most once a
  // poll, by the first key that needs it.
  std::vector<int32_t> showIndex_;
  // The keys the editor has sent, by name: they outlive a connection and a reload.
  std::map<std::string, SyncTrack> fromEditor_;
  std::optional<uint32_t> lastRow_;
  std::string problem_;  // why the last connection ended, or why none could be made
  bool everConnected_ = false;
};
