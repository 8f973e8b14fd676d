#include "demo/sync_client.h"

#include <algorithm>

#include "demo/number_text.h"

std::optional<SyncAddress> ParseSyncAddress(const std::string& text, uint16_t lowestPort) {
  SyncAddress address;
  std::string port = text;
  if (!text.empty() && text.front() == '[') {
    const size_t close = text.find("]:");
    if (close == std::string::npos || close == 1) return std::nullopt;
    address.host = text.substr(1, close - 1);
    port = text.substr(close + 2);
  } else if (const size_t colon = text.rfind(':'); colon != std::string::npos) {
    address.host = text.substr(0, colon);
    port = text.substr(colon + 1);
    if (address.host.empty() || address.host.find(':') != std::string::npos) return std::nullopt;
  }
  const std::optional<int64_t> number = ParseWholeNumber(port);
  if (!number || *number < lowestPort || *number > 65535) return std::nullopt;
  address.port = static_cast<uint16_t>(*number);
  return address;
}

SyncClient::SyncClient(TcpAddress address, Milliseconds now) : address_(std::move(address)), now_(std::move(now)) {}

void SyncClient::TryToConnect() {
  const int64_t now = now_();
  if (lastTryMs_ && now - *lastTryMs_ < kRetryEveryMs) return;
  lastTryMs_ = now;
  std::string error;
  link_ = TcpLink::Connect(address_, error);
  if (!link_) {
    problem_ = error;
    return;
  }
  state_ = State::kConnecting;
}

void SyncClient::Drop(std::string why) {
  link_.reset();
  state_ = State::kWaiting;
  reader_ = SyncReader(SyncSide::kDemo);
  outgoing_.clear();
  asked_.clear();
  showIndex_.clear();
  problem_ = std::move(why);
  lastTryMs_ = now_();
}

void SyncClient::Flush() {
  while (link_ && !outgoing_.empty()) {
    std::string error;
    const long sent = link_->Send(outgoing_.data(), outgoing_.size(), error);
    if (sent < 0) {
      Drop("the connection broke: " + error);
      return;
    }
    if (sent == 0) break;
    outgoing_.erase(0, static_cast<size_t>(sent));
  }
  if (outgoing_.size() > kMostWaitingBytes) Drop("the editor does not read what the show sends");
}

// The editor's keys replace every key the show holds: a track the editor has none for is 0.
void SyncClient::Greeted(std::vector<SyncTrack>& tracks, Asked& asked) {
  state_ = State::kOpen;
  everConnected_ = true;
  problem_.clear();
  lastRow_.reset();
  fromEditor_.clear();
  for (SyncTrack& track : tracks) {
    track.ClearKeys();
    fromEditor_.emplace(track.Name(), SyncTrack(track.Name()));
    asked_.push_back(track.Name());
    AppendGetTrack(outgoing_, track.Name());
  }
  asked.keysChanged = true;
}

SyncTrack* SyncClient::ShowTrack(std::vector<SyncTrack>& tracks, size_t index) {
  // The show's tracks may be another show's since the last poll (a reload, or a failed one put
  // back): the names are matched again, once a poll, and only when a key comes.
  if (showIndex_.size() != asked_.size()) {
    showIndex_.assign(asked_.size(), -1);
    for (size_t i = 0; i < asked_.size(); ++i)
      for (size_t j = 0; j < tracks.size(); ++j)
        if (tracks[j].Name() == asked_[i]) showIndex_[i] = static_cast<int32_t>(j);
  }
  const int32_t at = showIndex_[index];
  return at >= 0 && static_cast<size_t>(at) < tracks.size() ? &tracks[static_cast<size_t>(at)] : nullptr;
}

bool SyncClient::Take(const SyncMessage& message, std::vector<SyncTrack>& tracks, Asked& asked) {
  switch (message.command) {
    case SyncCommand::kSetKey:
    case SyncCommand::kDeleteKey: {
      const char* what = message.command == SyncCommand::kSetKey ? "SET_KEY" : "DELETE_KEY";
      if (message.track >= asked_.size()) {
        Drop(std::string(what) + ": track " + std::to_string(message.track) + ", but the show asked for " +
             std::to_string(asked_.size()));
        return false;
      }
      SyncTrack& kept = fromEditor_[asked_[message.track]];
      SyncTrack* shown = ShowTrack(tracks, message.track);
      if (message.command == SyncCommand::kSetKey) {
        kept.SetKey(message.key);
        if (shown) shown->SetKey(message.key);
      } else {
        if (!kept.DeleteKey(message.key.row)) {
          Drop(std::string(what) + ": the track \"" + asked_[message.track] + "\" has no key at row " +
               std::to_string(message.key.row));
          return false;
        }
        if (shown) shown->DeleteKey(message.key.row);
      }
      asked.keysChanged = true;
      return true;
    }
    case SyncCommand::kSetRow:
      asked.row = static_cast<uint32_t>(message.key.row);
      lastRow_ = asked.row;
      return true;
    case SyncCommand::kPause:
      asked.pause = message.pause;
      return true;
    case SyncCommand::kSaveTracks:
      asked.save = true;
      return true;
    case SyncCommand::kGetTrack:
      break;  // the reader refuses the demo's own commands
  }
  return true;
}

SyncClient::Asked SyncClient::Poll(std::vector<SyncTrack>& tracks) {
  Asked asked;
  if (state_ == State::kWaiting) TryToConnect();
  if (state_ == State::kConnecting) {
    std::string error;
    const TcpLink::State now = link_->Poll(error);
    if (now == TcpLink::State::kClosed) {
      Drop(error.empty() ? "no editor" : "no editor (" + error + ")");
    } else if (now == TcpLink::State::kOpen) {
      state_ = State::kGreeting;
      AppendClientGreeting(outgoing_);
    }
  }
  if (state_ != State::kGreeting && state_ != State::kOpen) return asked;
  showIndex_.clear();
  Flush();
  uint8_t buffer[16384];
  size_t taken = 0;
  std::vector<SyncMessage> messages;
  while (link_ && taken < kMostBytesAPoll) {
    std::string error;
    const long got = link_->Receive(buffer, std::min(sizeof buffer, kMostBytesAPoll - taken), error);
    if (got == 0) break;
    if (got < 0) {
      if (!error.empty()) {
        Drop("the connection broke: " + error);
      } else {
        Drop(reader_.InTheMiddle() ? "the editor closed the connection in the middle of a message"
                                   : "the editor closed the connection");
      }
      break;
    }
    taken += static_cast<size_t>(got);
    const bool wasGreeted = reader_.Greeted();
    messages.clear();
    const bool good = reader_.Feed(buffer, static_cast<size_t>(got), messages);
    if (!wasGreeted && reader_.Greeted()) Greeted(tracks, asked);
    for (const SyncMessage& message : messages)
      if (!Take(message, tracks, asked)) break;
    if (link_ && !good) Drop(reader_.Error());
  }
  if (link_) Flush();
  return asked;
}

void SyncClient::Adopt(std::vector<SyncTrack>& tracks) {
  if (!everConnected_) return;
  for (SyncTrack& track : tracks) {
    const auto kept = fromEditor_.find(track.Name());
    if (kept != fromEditor_.end()) {
      track.SetKeys(kept->second.Keys());
    } else if (state_ == State::kOpen) {
      track.ClearKeys();
      fromEditor_.emplace(track.Name(), SyncTrack(track.Name()));
    }
    if (state_ == State::kOpen && std::find(asked_.begin(), asked_.end(), track.Name()) == asked_.end()) {
      asked_.push_back(track.Name());
      AppendGetTrack(outgoing_, track.Name());
    }
  }
  Flush();
}

void SyncClient::Playing(uint32_t row) {
  if (state_ != State::kOpen || lastRow_ == row) return;
  lastRow_ = row;
  AppendSetRow(outgoing_, row);
  Flush();
}

std::string SyncClient::Status() const {
  switch (state_) {
    case State::kOpen:
      return "sync " + address_.text;
    case State::kGreeting:
      return "sync: greeting " + address_.text;
    case State::kConnecting:
    case State::kWaiting:
      break;
  }
  if (problem_.empty()) return "sync: connecting to " + address_.text;
  return "sync " + address_.text + ": " + problem_ + "; trying again every second";
}
