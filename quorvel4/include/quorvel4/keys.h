// Key strokes as a program that reads keys sees them, whatever the display: a terminal's bytes
// (escape sequences, control characters, UTF-8) and a window's key events both become these.
#pragma once

#include <cstdint>

enum class Key : uint8_t {
  kNone,
  kCharacter,  // a printable character, Space included: KeyStroke::character
  kEnter,
  kEscape,
  kTab,
  kBackspace,
  kInsert,
  kDelete,
  kUp,
  kDown,
  kLeft,
  kRight,
  kPageUp,
  kPageDown,
  kHome,
  kEnd,
};

struct KeyStroke {
  Key key = Key::kNone;
  // For kCharacter: the Unicode code point as typed ('a', 'A', '[', ' '). A control character
  // comes as its letter in lower case with `ctrl` set: Ctrl-C is {kCharacter, 'c', ctrl}.
  char32_t character = 0;
  bool shift = false;
  bool ctrl = false;
  bool alt = false;

  bool operator==(const KeyStroke&) const = default;
};

// A plain character key.
constexpr KeyStroke CharacterKey(char32_t c) { return {Key::kCharacter, c, false, false, false}; }
// A named key with modifiers.
constexpr KeyStroke NamedKey(Key key, bool shift = false, bool ctrl = false, bool alt = false) {
  return {key, 0, shift, ctrl, alt};
}

// A typed character under modifiers, as every display reports it: without Ctrl, the character
// as typed ('A', '['), without `shift` (the layout has already applied it); with Ctrl, a letter
// in lower case with `shift` saying whether Shift was held (Ctrl-Shift-Z is {'z', shift, ctrl}).
constexpr KeyStroke TypedCharacter(char32_t c, bool shift, bool ctrl, bool alt) {
  if (!ctrl) {
    if (shift && c >= U'a' && c <= U'z') c -= U'a' - U'A';
    return {Key::kCharacter, c, false, false, alt};
  }
  if (c >= U'A' && c <= U'Z') c += U'a' - U'A';
  return {Key::kCharacter, c, shift, true, alt};
}
