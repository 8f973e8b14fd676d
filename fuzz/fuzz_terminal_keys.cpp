// The terminal's key decoder, on any bytes in any pieces at any moments.
//
// However the same bytes are cut into reads (all within the Escape key's wait), the decoder
// gives the same strokes; it never holds more than two sequences' worth of bytes nor more than
// its bound of strokes; once the wait is over nothing is held. Printable ASCII after a quiet
// moment always comes through as itself: nothing before it can swallow what is typed later.
#include <cstdint>
#include <string>
#include <vector>

#include "support.h"
#include "terminal_keys.h"

namespace {

std::vector<KeyStroke> TakeAll(TerminalKeys& keys) {
  std::vector<KeyStroke> taken;
  for (KeyStroke key; keys.Take(key);) taken.push_back(key);
  return taken;
}

bool Bounded(const TerminalKeys& keys) { return keys.HeldBytes() <= 2 * TerminalKeys::kMaxSequence; }

// Feeds `stream` in pieces whose lengths come from `cuts` (1 to 16 bytes each), all at `nowMs`.
void FeedInPieces(TerminalKeys& keys, std::string_view stream, std::string_view cuts, int64_t nowMs) {
  size_t at = 0;
  for (size_t k = 0; at < stream.size(); ++k) {
    const size_t length = k < cuts.size() ? static_cast<uint8_t>(cuts[k]) % 16 + 1 : stream.size() - at;
    keys.Feed(stream.substr(at, length), nowMs);
    FUZZ_CHECK(Bounded(keys));
    at += length;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzBytes bytes(data, size);
  const std::string_view cuts = bytes.Take(bytes.Byte());
  const std::string_view stream = bytes.Rest();

  TerminalKeys whole, pieces;
  whole.Feed(stream, 0);
  FUZZ_CHECK(Bounded(whole));
  FeedInPieces(pieces, stream, cuts, 0);
  whole.Tick(TerminalKeys::kEscapeWaitMs);
  pieces.Tick(TerminalKeys::kEscapeWaitMs);
  FUZZ_CHECK(!whole.Holding() && !pieces.Holding());
  const std::vector<KeyStroke> keys = TakeAll(whole);
  FUZZ_CHECK(keys == TakeAll(pieces));
  FUZZ_CHECK(keys.size() <= TerminalKeys::kMaxWaiting);

  // After a quiet moment, typed letters are letters, whatever came before.
  whole.Feed("q.", 2 * TerminalKeys::kEscapeWaitMs);
  const std::vector<KeyStroke> typed = TakeAll(whole);
  FUZZ_CHECK(typed.size() == 2 && typed[0] == CharacterKey('q') && typed[1] == CharacterKey('.'));
  return 0;
}
