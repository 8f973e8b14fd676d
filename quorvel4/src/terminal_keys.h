// Turns the key bytes a terminal sends (what TerminalInput has left after taking out the answers
// to the program's own questions) into key strokes: characters in UTF-8, control characters,
// and the escape sequences of the cursor and editing keys in the forms xterm, VTE, rxvt, the
// Linux console and their followers send, modifiers included.
//
// The Escape key alone is the first byte of every sequence, so a lone ESC waits: it becomes
// Escape once kEscapeWaitMs pass with nothing after it. A beginning of a sequence held that long
// resolves too: ESC and one byte is Alt and that key, anything longer was cut short and is
// dropped. Sequences no key sends (mouse reports, paste markers, focus reports, answers nobody
// asked for) are consumed whole and give nothing, so a stray report never acts as a command.
//
// Memory stays bounded whatever arrives: a sequence longer than kMaxSequence (no key's is) is
// dropped and the rest of it skipped, until its end or a quiet moment, and at most kMaxWaiting strokes wait to be taken (the newest beyond
// are dropped, as a keyboard's full buffer drops them).
//
// Characters follow one rule on every display: a character without Ctrl comes as typed ('A',
// '['), without `shift`; with Ctrl, a letter comes in lower case and `shift` says whether Shift
// was held (a terminal can tell only where it reports modifiers, CSI u). Named keys carry all
// three modifiers.
//
// Pure: bytes and times in, strokes out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

#include "quorvel4/keys.h"

class TerminalKeys {
 public:
  static constexpr int64_t kEscapeWaitMs = 50;
  static constexpr size_t kMaxSequence = 64;
  static constexpr size_t kMaxWaiting = 256;

  // Key bytes read at `nowMs` (a steady clock, in milliseconds).
  void Feed(std::string_view bytes, int64_t nowMs);
  // Time passes: a beginning held for kEscapeWaitMs resolves.
  void Tick(int64_t nowMs);

  // The oldest stroke waiting; false when none is.
  bool Take(KeyStroke& key);
  bool StrokeWaiting() const { return !mStrokes.empty(); }
  // Bytes that may still become a stroke are held.
  bool Holding() const { return !mHeld.empty(); }
  size_t HeldBytes() const { return mHeld.size(); }

 private:
  enum class Parse { kStroke, kNothing, kIncomplete };
  struct Result {
    Parse parse;
    size_t length;  // bytes consumed (kStroke, kNothing)
    KeyStroke key;
  };

  void Decode();
  Result ParseAt(std::string_view bytes) const;
  Result ParseEscape(std::string_view bytes) const;
  void Push(const KeyStroke& key);
  void StartSkipping(size_t length);
  // Skips a byte of the rest of a sequence that outgrew kMaxSequence, or ends the skip; false
  // when it must wait for the next byte.
  bool SkipRunaway();

  std::string mHeld;
  int64_t mHeldSince = 0;
  // The dropped sequence's bytes that may still arrive: a control sequence's parameters and
  // intermediates (until its final byte), or a string's text (until its terminator).
  enum class Skip { kNone, kControl, kString };
  Skip mSkip = Skip::kNone;
  bool mSkipRxvt = false;  // a CSI, which rxvt may end with '$'
  bool mSkipParameters = false;
  bool mSkipIntermediates = false;
  std::deque<KeyStroke> mStrokes;
};
