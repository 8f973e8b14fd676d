// The sync-tracker's side of the protocol (quorvel4/sync_protocol.h): it listens for a show,
// greets it, answers each GET_TRACK with the document's keys of that track, and passes the
// document's edits, the cursor's row, play and pause and "save" on to the show. One show at a
// time: another that connects meanwhile (even before the first has greeted) is turned away at
// once; Disconnect frees the place. Nothing here waits: each Poll does what can be done now,
// from the tracker's own loop.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "demo/tcp_link.h"
#include "quorvel4/sync_protocol.h"
#include "tracker/tracker_document.h"

class TrackerServer {
 public:
  // The most bytes taken from the show in one poll: a flood cannot hold up the tracker's loop.
  static constexpr size_t kMostBytesAPoll = size_t{256} << 10;
  // The keys of GET_TRACK answers are queued while less than this waits to be sent, so that a
  // large project goes out as the show reads it rather than all at once.
  static constexpr size_t kAnswerWhileBelow = size_t{1} << 20;
  // A show that lets more than this wait when more is to be sent reads nothing: it is dropped.
  static constexpr size_t kMostWaitingBytes = size_t{4} << 20;

  struct Event {
    enum class Kind {
      kConnected,     // a show greeted: `text` its address
      kDisconnected,  // the show went or was dropped: `text` why
      kTurnedAway,    // a second show was closed at once: `text` its address
      kRow,           // the show, playing, is on `row`
    };
    Kind kind = Kind::kConnected;
    std::string text;
    uint32_t row = 0;
  };

  // Serves `document`, which must outlive the server; the tracks the show asks for and the
  // document does not have are added to it.
  explicit TrackerServer(TrackerDocument& document);
  ~TrackerServer();
  TrackerServer(const TrackerServer&) = delete;
  TrackerServer& operator=(const TrackerServer&) = delete;

  // Starts listening at `address` (port 0: any free one); false with `error`.
  bool Listen(const TcpAddress& address, std::string& error);
  bool Listening() const { return listener_ != nullptr; }
  // The port listened on (the one given, or the one the system chose for 0); 0 when not listening.
  uint16_t Port() const;

  // One pass: accepts or turns away, sends what waits, reads what has arrived and answers it.
  // After a poll that answered GET_TRACKs (once every key of them is queued), the show is sent
  // PAUSE `paused` and SET_ROW `cursorRow`, as the family's editors do.
  std::vector<Event> Poll(bool paused, uint32_t cursorRow);

  // An edit's (or an undo's) changes, for the tracks the show asked for on this connection;
  // the others are not sent. Nothing without a greeted show.
  void SendChanges(const KeyChanges& changes);
  void SendRow(uint32_t row);
  void SendPause(bool pause);
  void SendSaveTracks();

  // Ends the connection, say after the document was replaced by another project (its track
  // numbers mean other tracks now): the show connects again and asks for its tracks anew.
  void Disconnect(const std::string& why);

  // A show has greeted and is connected.
  bool Connected() const;
  // A few words for the status line: "listening on 127.0.0.1:1338", "show 127.0.0.1:40712",
  // with why the last show went.
  std::string Status() const;

 private:
  struct Connection;
  void Accept(std::vector<Event>& events);
  void Drop(const std::string& why, std::vector<Event>* events);
  void Flush(std::vector<Event>* events);
  void Read(std::vector<Event>& events);
  bool Take(const SyncMessage& message, std::vector<Event>& events);
  void AnswerTracks();
  bool Queue(const std::string& bytes);

  TrackerDocument& document_;
  std::unique_ptr<TcpListener> listener_;
  std::string listenText_;
  std::unique_ptr<Connection> show_;
  std::string lastProblem_;
  // Events of a drop that happened outside Poll (a send to a show that reads nothing), given
  // with the next Poll.
  std::vector<Event> later_;
};
