#include "quorvel4/sync_protocol.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "float_bits.h"
#include "utf8_read.h"

namespace {

constexpr size_t kCommandBytes = 1;
constexpr size_t kNameStart = kCommandBytes + 4;  // GET_TRACK's name, after its length

const char* CommandName(SyncCommand command) {
  switch (command) {
    case SyncCommand::kSetKey: return "SET_KEY";
    case SyncCommand::kDeleteKey: return "DELETE_KEY";
    case SyncCommand::kGetTrack: return "GET_TRACK";
    case SyncCommand::kSetRow: return "SET_ROW";
    case SyncCommand::kPause: return "PAUSE";
    case SyncCommand::kSaveTracks: return "SAVE_TRACKS";
  }
  return "?";
}

bool ReadBy(SyncSide side, SyncCommand command) {
  if (command == SyncCommand::kSetRow) return true;
  return (command == SyncCommand::kGetTrack) == (side == SyncSide::kEditor);
}

// A message's length from its command byte (known to be a command), and for GET_TRACK from its
// name length once that has come; 0 where the length is not known yet.
size_t FixedLength(SyncCommand command) {
  switch (command) {
    case SyncCommand::kSetKey: return kCommandBytes + 4 + 4 + 4 + 1;
    case SyncCommand::kDeleteKey: return kCommandBytes + 4 + 4;
    case SyncCommand::kGetTrack: return kNameStart;
    case SyncCommand::kSetRow: return kCommandBytes + 4;
    case SyncCommand::kPause: return kCommandBytes + 1;
    case SyncCommand::kSaveTracks: return kCommandBytes;
  }
  return kCommandBytes;
}

uint32_t BigEndian32(const std::string& bytes, size_t at) {
  uint32_t v = 0;
  for (size_t i = 0; i < 4; ++i) v = (v << 8) | static_cast<uint8_t>(bytes[at + i]);
  return v;
}

void AppendBigEndian32(std::string& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>((v >> shift) & 0xFF));
}

bool IsUtf8(std::string_view text) {
  while (!text.empty()) {
    const Utf8Step step = ReadUtf8(text);
    if (step.read != Utf8Read::kCharacter) return false;
    text.remove_prefix(step.length);
  }
  return true;
}

}  // namespace

bool SyncReader::Feed(const uint8_t* data, size_t size, std::vector<SyncMessage>& messages) {
  if (!error_.empty()) return false;
  const auto fault = [this](std::string what) {
    error_ = std::move(what);
    pending_.clear();
    return false;
  };
  const std::string_view greeting = side_ == SyncSide::kDemo ? kSyncEditorGreeting : kSyncClientGreeting;
  size_t at = 0;
  for (; !greeted_ && at < size; ++at) {
    if (static_cast<char>(data[at]) != greeting[greetingSeen_]) {
      return fault("greeting: byte " + std::to_string(greetingSeen_) + " differs from \"" + std::string(greeting) + "\"");
    }
    greeted_ = ++greetingSeen_ == greeting.size();
  }
  while (at < size) {
    if (pending_.empty()) {
      const uint8_t byte = data[at];
      if (byte > static_cast<uint8_t>(SyncCommand::kSaveTracks)) {
        return fault("an unknown command byte " + std::to_string(byte));
      }
      if (!ReadBy(side_, static_cast<SyncCommand>(byte))) {
        return fault(std::string(CommandName(static_cast<SyncCommand>(byte))) + ": a command from the wrong side");
      }
    }
    const auto command = static_cast<SyncCommand>(pending_.empty() ? data[at] : pending_[0]);
    size_t length = FixedLength(command);
    if (command == SyncCommand::kGetTrack && pending_.size() >= kNameStart) {
      length = kNameStart + BigEndian32(pending_, kCommandBytes);
    }
    const size_t take = std::min(length - pending_.size(), size - at);
    pending_.append(reinterpret_cast<const char*>(data + at), take);
    at += take;
    if (pending_.size() < length) continue;
    const char* name = CommandName(command);
    SyncMessage message;
    message.command = command;
    if (command == SyncCommand::kGetTrack) {
      if (pending_.size() == kNameStart) {
        // The length alone has come: judged now, before any of the name is waited for or kept.
        const uint32_t nameBytes = BigEndian32(pending_, kCommandBytes);
        if (nameBytes == 0) return fault("GET_TRACK: the name is empty");
        if (nameBytes > kMostTrackNameBytes) {
          return fault("GET_TRACK: name length " + std::to_string(nameBytes) + " is above " +
                       std::to_string(kMostTrackNameBytes));
        }
        continue;
      }
      message.name = pending_.substr(kNameStart);
      if (!IsUtf8(message.name)) return fault("GET_TRACK: the name is not UTF-8");
    } else if (command == SyncCommand::kPause) {
      const auto byte = static_cast<uint8_t>(pending_[1]);
      if (byte > 1) return fault("PAUSE: byte " + std::to_string(byte) + " is not 0 or 1");
      message.pause = byte == 1;
    } else if (command != SyncCommand::kSaveTracks) {
      // SET_KEY and DELETE_KEY: a track, then a row; SET_ROW: a row.
      const bool hasTrack = command != SyncCommand::kSetRow;
      const size_t rowAt = hasTrack ? kCommandBytes + 4 : kCommandBytes;
      if (hasTrack) message.track = BigEndian32(pending_, kCommandBytes);
      const uint32_t row = BigEndian32(pending_, rowAt);
      if (row > static_cast<uint32_t>(INT32_MAX)) {
        return fault(std::string(name) + ": row " + std::to_string(row) + " is beyond 2147483647");
      }
      message.key.row = static_cast<int32_t>(row);
      if (command == SyncCommand::kSetKey) {
        message.key.value = FloatFromBits(BigEndian32(pending_, rowAt + 4));
        const auto interpolation = static_cast<uint8_t>(pending_[rowAt + 8]);
        if (!std::isfinite(message.key.value)) return fault("SET_KEY: the value is not finite");
        if (interpolation >= kTrackInterpolationCount) {
          return fault("SET_KEY: interpolation " + std::to_string(interpolation) + " is not 0-3");
        }
        message.key.interpolation = static_cast<TrackInterpolation>(interpolation);
      }
    }
    messages.push_back(std::move(message));
    pending_.clear();
  }
  return true;
}

bool SyncReader::InTheMiddle() const {
  return error_.empty() && ((!greeted_ && greetingSeen_ > 0) || !pending_.empty());
}

void AppendClientGreeting(std::string& out) { out += kSyncClientGreeting; }
void AppendEditorGreeting(std::string& out) { out += kSyncEditorGreeting; }

void AppendSetKey(std::string& out, uint32_t track, const TrackKey& key) {
  out.push_back(static_cast<char>(SyncCommand::kSetKey));
  AppendBigEndian32(out, track);
  AppendBigEndian32(out, static_cast<uint32_t>(key.row));
  AppendBigEndian32(out, FloatBits(key.value));
  out.push_back(static_cast<char>(key.interpolation));
}

void AppendDeleteKey(std::string& out, uint32_t track, uint32_t row) {
  out.push_back(static_cast<char>(SyncCommand::kDeleteKey));
  AppendBigEndian32(out, track);
  AppendBigEndian32(out, row);
}

void AppendGetTrack(std::string& out, std::string_view name) {
  out.push_back(static_cast<char>(SyncCommand::kGetTrack));
  AppendBigEndian32(out, static_cast<uint32_t>(name.size()));
  out += name;
}

void AppendSetRow(std::string& out, uint32_t row) {
  out.push_back(static_cast<char>(SyncCommand::kSetRow));
  AppendBigEndian32(out, row);
}

void AppendPause(std::string& out, bool pause) {
  out.push_back(static_cast<char>(SyncCommand::kPause));
  out.push_back(pause ? 1 : 0);
}

void AppendSaveTracks(std::string& out) { out.push_back(static_cast<char>(SyncCommand::kSaveTracks)); }
