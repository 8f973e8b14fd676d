// The terminal's input reader, on any bytes in any pieces.
//
// First, however the same bytes are cut into reads, at one moment, the reader sorts them the
// same: the keys, the palette's colour and whether the questions are settled do not depend on
// where a read ended. Then, an answer to the palette query put among key bytes (that hold no
// escape, so nothing else can be taken for an answer), followed by the device-attributes
// answers to every time that question was asked, is never reported as keys, however the
// stream is cut: the keys are exactly the key bytes, in order, and every answer is counted.
#include <cstdint>
#include <string>
#include <vector>

#include "support.h"
#include "terminal_input.h"

namespace {

struct Sorted {
  std::string keys;
  bool palette = false, settled = false;
  Rgb colour{};
  int attributeAnswers = 0;
};

Sorted Result(TerminalInput& input) {
  Sorted sorted{input.Keys(), input.PaletteAnswered(), input.Settled(), {}, input.TakeAttributeAnswers()};
  if (const std::optional<Rgb> colour = input.PaletteColor()) sorted.colour = *colour;
  return sorted;
}

bool Same(const Sorted& a, const Sorted& b) {
  return a.keys == b.keys && a.palette == b.palette && a.settled == b.settled &&
         a.attributeAnswers == b.attributeAnswers && a.colour.r == b.colour.r &&
         a.colour.g == b.colour.g && a.colour.b == b.colour.b;
}

// Feeds `stream` in pieces whose lengths come from `cuts` (1 to 16 bytes each).
void FeedInPieces(TerminalInput& input, std::string_view stream, std::string_view cuts, int64_t nowMs) {
  size_t at = 0;
  for (size_t k = 0; at < stream.size(); ++k) {
    const size_t length = k < cuts.size() ? static_cast<uint8_t>(cuts[k]) % 16 + 1 : stream.size() - at;
    input.Feed(stream.substr(at, length), nowMs);
    at += length;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzBytes bytes(data, size);
  const uint8_t questions = bytes.Byte();
  const bool awaiting = questions & 1;
  const int askedAgain = (questions >> 1) & 3;  // device attributes asked again after frames
  const std::string_view cuts = bytes.Take(bytes.Byte());
  const std::string_view stream = bytes.Rest();

  // The same bytes, whole and in pieces.
  TerminalInput whole, pieces;
  if (awaiting) {
    whole.AwaitAnswers();
    pieces.AwaitAnswers();
  }
  for (int k = 0; k < askedAgain; ++k) {
    whole.AwaitAttributes();
    pieces.AwaitAttributes();
  }
  whole.Feed(stream, 0);
  FeedInPieces(pieces, stream, cuts, 0);
  FUZZ_CHECK(Same(Result(whole), Result(pieces)));
  // Once patience runs out, nothing is held back any longer.
  whole.Tick(TerminalInput::kPatienceMs);
  pieces.Tick(TerminalInput::kPatienceMs);
  FUZZ_CHECK(Same(Result(whole), Result(pieces)));

  // The answers among keys, at a place the stream's first byte chooses.
  std::string keys;
  for (const char c : stream)
    if (c != '\x1b') keys += c;
  const size_t place = keys.empty() ? 0 : static_cast<uint8_t>(stream.empty() ? 0 : stream[0]) % (keys.size() + 1);
  const std::string answer = "\x1b]4;0;rgb:aaaa/5555/0000\x1b\\";
  std::string answers = answer;
  for (int k = 0; k <= askedAgain; ++k) answers += "\x1b[?62;22c";
  const std::string mixed = keys.substr(0, place) + answers + keys.substr(place);
  TerminalInput reader;
  reader.AwaitAnswers();
  for (int k = 0; k < askedAgain; ++k) reader.AwaitAttributes();
  FeedInPieces(reader, mixed, cuts, 0);
  reader.Tick(TerminalInput::kPatienceMs);
  FUZZ_CHECK(reader.Keys() == keys);
  FUZZ_CHECK(reader.PaletteAnswered());
  FUZZ_CHECK(reader.TakeAttributeAnswers() == 1 + askedAgain);
  const std::optional<Rgb> colour = reader.PaletteColor();
  FUZZ_CHECK(colour && colour->r == 0xAA && colour->g == 0x55 && colour->b == 0x00);
  return 0;
}
