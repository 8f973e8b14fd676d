#include "tracker/tracker_server.h"

#include <algorithm>
#include <deque>
#include <limits>

namespace {

// Each GET_TRACK of a new name adds a track to the document: a show that asks for more than a
// project holds is not a show.
constexpr size_t kMostTracksAsked = 65536;
// Connections taken from the listener in one poll, so that a crowd cannot hold up the loop.
constexpr int kMostAcceptsAPoll = 16;
constexpr int64_t kAnsweredWhole = std::numeric_limits<int64_t>::max();

}  // namespace

struct TrackerServer::Connection {
  std::unique_ptr<TcpLink> link;
  SyncReader reader{SyncSide::kEditor};
  std::string outgoing;
  size_t sent = 0;  // of `outgoing`, already taken by the system
  // The connection's track numbers: the document's track of each.
  std::vector<size_t> trackOf;
  // The numbers of each document track (a name asked twice has two).
  std::vector<std::vector<uint32_t>> numbersOf;
  // Per number, the rows below which its keys have been sent: a change there is sent, one
  // above is not (the answer still to come carries it).
  std::vector<int64_t> answeredBelow;
  std::deque<uint32_t> answers;  // numbers whose keys are not all queued yet, in order
  bool owePauseAndRow = false;

  size_t Waiting() const { return outgoing.size() - sent; }
};

TrackerServer::TrackerServer(TrackerDocument& document) : document_(document) {}
TrackerServer::~TrackerServer() = default;

bool TrackerServer::Listen(const TcpAddress& address, std::string& error) {
  show_.reset();
  listener_ = TcpListener::Listen(address, error);
  if (!listener_) return false;
  const size_t colon = address.text.rfind(':');
  listenText_ = (colon == std::string::npos ? address.text : address.text.substr(0, colon)) + ":" +
                std::to_string(listener_->Port());
  return true;
}

uint16_t TrackerServer::Port() const { return listener_ ? listener_->Port() : 0; }

bool TrackerServer::Connected() const { return show_ && show_->reader.Greeted(); }

std::string TrackerServer::Status() const {
  if (!listener_) return lastProblem_.empty() ? "not listening" : "not listening: " + lastProblem_;
  if (Connected()) return "show " + show_->link->Peer();
  if (show_) return "show " + show_->link->Peer() + " greeting";
  return "listening on " + listenText_ + (lastProblem_.empty() ? "" : " (" + lastProblem_ + ")");
}

void TrackerServer::Drop(const std::string& why, std::vector<Event>* events) {
  if (!show_) return;
  show_.reset();
  lastProblem_ = why;
  (events != nullptr ? *events : later_).push_back({Event::Kind::kDisconnected, why, 0});
}

void TrackerServer::Disconnect(const std::string& why) { Drop(why, nullptr); }

void TrackerServer::Accept(std::vector<Event>& events) {
  for (int i = 0; i < kMostAcceptsAPoll; ++i) {
    std::string error;
    std::unique_ptr<TcpLink> link = listener_->Accept(error);
    if (!link) {
      if (!error.empty()) lastProblem_ = "cannot accept: " + error;
      return;
    }
    if (show_) {
      events.push_back({Event::Kind::kTurnedAway, link->Peer(), 0});
      continue;  // the link closes as it goes
    }
    show_ = std::make_unique<Connection>();
    show_->link = std::move(link);
  }
}

void TrackerServer::Flush(std::vector<Event>* events) {
  while (show_ && show_->Waiting() > 0) {
    std::string error;
    const long taken = show_->link->Send(show_->outgoing.data() + show_->sent, show_->Waiting(), error);
    if (taken < 0) {
      Drop("the connection broke: " + error, events);
      return;
    }
    if (taken == 0) break;
    show_->sent += static_cast<size_t>(taken);
  }
  // What has gone out is let go of once it is most of what is held.
  if (show_ && show_->sent > 0 && show_->sent >= show_->Waiting()) {
    show_->outgoing.erase(0, show_->sent);
    show_->sent = 0;
  }
}

bool TrackerServer::Queue(const std::string& bytes) {
  if (!Connected() || bytes.empty()) return false;
  if (show_->Waiting() > kMostWaitingBytes) {
    Drop("the show reads nothing of what the tracker sends", nullptr);
    return false;
  }
  show_->outgoing += bytes;
  Flush(nullptr);
  return true;
}

bool TrackerServer::Take(const SyncMessage& message, std::vector<Event>& events) {
  Connection& show = *show_;
  if (message.command == SyncCommand::kSetRow) {
    events.push_back({Event::Kind::kRow, "", static_cast<uint32_t>(message.key.row)});
    return true;
  }
  if (message.command != SyncCommand::kGetTrack) return true;  // the reader refuses the editor's own
  if (show.trackOf.size() >= kMostTracksAsked) {
    Drop("the show asked for more than " + std::to_string(kMostTracksAsked) + " tracks", &events);
    return false;
  }
  const size_t track = document_.AddTrack(message.name);
  const auto number = static_cast<uint32_t>(show.trackOf.size());
  show.trackOf.push_back(track);
  if (show.numbersOf.size() <= track) show.numbersOf.resize(track + 1);
  show.numbersOf[track].push_back(number);
  show.answeredBelow.push_back(0);
  show.answers.push_back(number);
  show.owePauseAndRow = true;
  return true;
}

void TrackerServer::Read(std::vector<Event>& events) {
  uint8_t buffer[16384];
  size_t taken = 0;
  std::vector<SyncMessage> messages;
  // While answers wait to be sent, the show's further requests wait in its socket.
  while (show_ && taken < kMostBytesAPoll && show_->Waiting() < kAnswerWhileBelow) {
    std::string error;
    const long got = show_->link->Receive(buffer, sizeof buffer, error);
    if (got == 0) break;
    if (got < 0) {
      if (!error.empty()) {
        Drop("the connection broke: " + error, &events);
      } else {
        Drop(show_->reader.InTheMiddle() ? "the show closed the connection in the middle of a message"
                                         : "the show closed the connection",
             &events);
      }
      return;
    }
    taken += static_cast<size_t>(got);
    const bool wasGreeted = show_->reader.Greeted();
    messages.clear();
    const bool good = show_->reader.Feed(buffer, static_cast<size_t>(got), messages);
    if (!wasGreeted && show_->reader.Greeted()) {
      AppendEditorGreeting(show_->outgoing);
      events.push_back({Event::Kind::kConnected, show_->link->Peer(), 0});
    }
    for (const SyncMessage& message : messages)
      if (!Take(message, events)) return;
    if (!good) {
      Drop("the show " + show_->link->Peer() + " was dropped: " + show_->reader.Error(), &events);
      return;
    }
    AnswerTracks();
  }
}

// Queues the keys of the tracks asked for, in order, while little waits: a project of many keys
// goes out as the show takes it.
void TrackerServer::AnswerTracks() {
  Connection& show = *show_;
  while (!show.answers.empty() && show.Waiting() < kAnswerWhileBelow) {
    const uint32_t number = show.answers.front();
    if (show.trackOf[number] >= document_.TrackCount()) {
      // The document was replaced without Disconnect: its numbers mean nothing to this show.
      Drop("the project was replaced while the show was connected", nullptr);
      return;
    }
    const std::vector<TrackKey>& keys = document_.Track(show.trackOf[number]).Keys();
    const int64_t from = show.answeredBelow[number];
    auto key = std::lower_bound(keys.begin(), keys.end(), from, [](const TrackKey& k, int64_t row) { return k.row < row; });
    for (; key != keys.end() && show.Waiting() < kAnswerWhileBelow; ++key) AppendSetKey(show.outgoing, number, *key);
    if (key == keys.end()) {
      show.answeredBelow[number] = kAnsweredWhole;
      show.answers.pop_front();
    } else {
      show.answeredBelow[number] = key->row;
    }
  }
}

std::vector<TrackerServer::Event> TrackerServer::Poll(bool paused, uint32_t cursorRow) {
  std::vector<Event> events = std::move(later_);
  later_.clear();
  if (!listener_) return events;
  Accept(events);
  Flush(&events);
  if (show_) Read(events);
  if (show_) AnswerTracks();
  if (show_ && show_->answers.empty() && show_->owePauseAndRow) {
    show_->owePauseAndRow = false;
    AppendPause(show_->outgoing, paused);
    AppendSetRow(show_->outgoing, cursorRow);
  }
  Flush(&events);
  for (Event& event : later_) events.push_back(std::move(event));
  later_.clear();
  return events;
}

void TrackerServer::SendChanges(const KeyChanges& changes) {
  if (!Connected()) return;
  std::string bytes;
  for (const KeyChange& change : changes) {
    if (change.track >= show_->numbersOf.size()) continue;
    for (const uint32_t number : show_->numbersOf[change.track]) {
      if (change.row >= show_->answeredBelow[number]) continue;
      if (change.after) {
        AppendSetKey(bytes, number, *change.after);
      } else {
        AppendDeleteKey(bytes, number, static_cast<uint32_t>(change.row));
      }
    }
  }
  Queue(bytes);
}

void TrackerServer::SendRow(uint32_t row) {
  std::string bytes;
  AppendSetRow(bytes, row);
  Queue(bytes);
}

void TrackerServer::SendPause(bool pause) {
  std::string bytes;
  AppendPause(bytes, pause);
  Queue(bytes);
}

void TrackerServer::SendSaveTracks() {
  std::string bytes;
  AppendSaveTracks(bytes);
  Queue(bytes);
}
