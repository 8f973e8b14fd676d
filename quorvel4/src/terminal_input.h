// Sorts what a terminal sends the program into key presses and answers to the program's own
// questions (the palette queries, OSC 4, and the device-attributes query, CSI c, that follows it
// so that a terminal which ignores the first still answers something; the latter is asked
// again after frames, to learn when the terminal has drawn them). An answer is never taken
// for a key, however it arrives: split across reads, late, or between key presses.
//
// Only bytes that can still become an awaited answer are held back; everything else is a key
// at once. A held beginning that gets no further byte within kPatienceMs (the Escape key alone
// looks like the start of an answer) is a key after all. Key bytes are kept, never dropped:
// KeyWaiting stays true once a key has come, as the terminal's own "input waiting" would,
// until a program that reads keys takes them.
//
// Pure: bytes and times in, answers and keys out; the back end reads the terminal.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "quorvel4/palette.h"

class TerminalInput {
 public:
  static constexpr int64_t kPatienceMs = 500;

  // The program has asked both questions (the palette's for one or more entries): their
  // answers are awaited from now on. The palette's answers of an earlier round are forgotten.
  void AwaitAnswers();
  // The program has asked for the device attributes alone (again): one more answer is awaited.
  void AwaitAttributes() { ++mAttributesAwaited; }

  // Bytes read from the terminal at `nowMs` (a steady clock, in milliseconds).
  void Feed(std::string_view bytes, int64_t nowMs);
  // Time passes: a held beginning that has waited kPatienceMs becomes key bytes.
  void Tick(int64_t nowMs);

  bool KeyWaiting() const { return !mKeys.empty(); }
  const std::string& Keys() const { return mKeys; }
  // The key bytes come so far, no longer kept.
  std::string TakeKeys() { return std::exchange(mKeys, {}); }

  // The terminal answered a palette query: it knows OSC 4. The colours it named, by entry
  // (ANSI numbering); entry 0's alone.
  bool PaletteAnswered() const;
  const std::array<std::optional<Rgb>, 16>& PaletteEntries() const { return mPalette; }
  std::optional<Rgb> PaletteColor() const { return mPalette[0]; }
  // The device-attributes answer of every round came. Terminals answer in order, so no palette
  // answer follows it: the questions are settled either way.
  bool Settled() const { return mAttributesAnswered && mPaletteRounds == 0; }
  // The device-attributes answers come since the last call, in the order they were asked for.
  int TakeAttributeAnswers();

 private:
  enum class Match { kNo, kPrefix, kWhole };
  Match Classify(std::string_view bytes, size_t* length) const;
  void Sort(int64_t nowMs);

  int mPaletteRounds = 0;  // rounds of questions whose device-attributes answer is still to come
  int mAttributesAwaited = 0;
  bool mAttributesAnswered = false;
  int mAttributeAnswersUntaken = 0;
  std::array<std::optional<Rgb>, 16> mPalette;
  std::string mHeld;
  int64_t mHeldSince = 0;
  std::string mKeys;
};
