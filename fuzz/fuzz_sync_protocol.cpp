// The sync-tracker protocol's reader, either side, on any bytes in any pieces. The input's first
// byte picks the side (its low bit) and how the rest is cut (the others).
//
// However the bytes are cut, the reader reads the same messages and stops at the same fault;
// it never holds more than one message's bytes; after a fault it takes nothing; and what it
// read, written again by the writers, is the bytes it took, byte for byte.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "quorvel4/sync_protocol.h"
#include "support.h"

namespace {

constexpr size_t kLargestMessage = 1 + 4 + kMostTrackNameBytes;

struct Reading {
  bool ok = true;
  std::vector<SyncMessage> messages;
  std::string error;
  bool greeted = false, middle = false;
  size_t held = 0;
  bool operator==(const Reading&) const = default;
};

Reading Read(SyncSide side, std::string_view stream, uint32_t cuts) {
  SyncReader reader(side);
  Reading reading;
  size_t at = 0;
  while (at < stream.size()) {
    size_t length = stream.size() - at;
    if (cuts != 0) {
      cuts = cuts * 1103515245u + 12345u;
      length = std::min<size_t>(length, (cuts >> 16) % 17 + 1);
    }
    const size_t before = reading.messages.size();
    const bool ok = reader.Feed(reinterpret_cast<const uint8_t*>(stream.data() + at), length, reading.messages);
    FUZZ_CHECK(reader.Held() <= kLargestMessage);
    if (!reading.ok) FUZZ_CHECK(!ok && reading.messages.size() == before);
    if (!ok) FUZZ_CHECK(!reader.Error().empty());
    reading.ok = reading.ok && ok;
    at += length;
  }
  reading.error = reader.Error();
  reading.greeted = reader.Greeted();
  reading.middle = reader.InTheMiddle();
  reading.held = reader.Held();
  return reading;
}

std::string Written(SyncSide side, const std::vector<SyncMessage>& messages) {
  std::string out;
  if (side == SyncSide::kDemo) AppendEditorGreeting(out);
  else AppendClientGreeting(out);
  for (const SyncMessage& m : messages) {
    switch (m.command) {
      case SyncCommand::kSetKey: AppendSetKey(out, m.track, m.key); break;
      case SyncCommand::kDeleteKey: AppendDeleteKey(out, m.track, static_cast<uint32_t>(m.key.row)); break;
      case SyncCommand::kGetTrack: AppendGetTrack(out, m.name); break;
      case SyncCommand::kSetRow: AppendSetRow(out, static_cast<uint32_t>(m.key.row)); break;
      case SyncCommand::kPause: AppendPause(out, m.pause); break;
      case SyncCommand::kSaveTracks: AppendSaveTracks(out); break;
    }
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzBytes bytes(data, size);
  const uint8_t first = bytes.Byte();
  const SyncSide side = (first & 1) != 0 ? SyncSide::kEditor : SyncSide::kDemo;
  const std::string_view stream = bytes.Rest();
  const Reading whole = Read(side, stream, 0);
  const Reading cut = Read(side, stream, (first >> 1) + 1u);
  const Reading byByte = Read(side, stream, 0xFFFFFFFFu);
  FUZZ_CHECK(whole == cut);
  FUZZ_CHECK(whole == byByte);
  if (whole.ok) {
    FUZZ_CHECK(whole.error.empty());
    if (whole.greeted) {
      FUZZ_CHECK(Written(side, whole.messages) == stream.substr(0, stream.size() - whole.held));
    } else {
      FUZZ_CHECK(whole.messages.empty());
      FUZZ_CHECK(whole.middle == !stream.empty());
    }
  } else {
    FUZZ_CHECK(!whole.middle && whole.held == 0);
  }
  return 0;
}
