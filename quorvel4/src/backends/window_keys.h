// A window's key events as key strokes, for a program that reads keys as commands: pure, from
// the event's fields, so that it can be checked without a display.
//
// A printable character is taken from SDL_TEXTINPUT, not from the key's keysym: the keysym
// names the key of the layout's first level, so Shift-8 would be '8' instead of '(' and
// AltGr-8 on a German keyboard '8' instead of '['; the text event carries the character the
// layout (Shift, AltGr, a dead key) made, which is what a command key like '[' means. Where
// Ctrl is held, no text comes (or none that is the key's): the keysym gives the letter then,
// as a terminal gives Ctrl and a letter. Named keys come from the keysym with all modifiers.
#pragma once

#include <SDL_keyboard.h>

#include <optional>
#include <string_view>
#include <vector>

#include "quorvel4/keys.h"

struct KeyDownMeaning {
  std::optional<KeyStroke> key;  // the stroke the key itself makes, if any
  bool textFollows = false;      // its character comes with the text event after it
};

// What a key going down (or repeating) means; Alt+Enter and F11 are the window's own and
// are not asked about.
KeyDownMeaning MeaningOfKeyDown(SDL_Keycode sym, Uint16 mod);

// The characters of a text event, with Alt when the key that made them was pressed with it
// (AltGr is no Alt: it is part of making the character).
std::vector<KeyStroke> KeysOfText(std::string_view utf8, bool alt);

// Whether Alt (not AltGr) is in `mod`.
bool AltIn(Uint16 mod);
