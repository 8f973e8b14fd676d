// Short names of key strokes for the test programs' output: "x", "C-c", "S-Right", "A-PageUp".
#pragma once

#include <string>

#include "quorvel4/cp437.h"
#include "quorvel4/keys.h"

inline std::string KeyName(const KeyStroke& key) {
  static constexpr const char* kNames[] = {"None", "", "Enter", "Esc", "Tab", "Backspace", "Insert", "Delete", "Up",
                                           "Down", "Left", "Right", "PageUp", "PageDown", "Home", "End"};
  std::string name = std::string(key.ctrl ? "C-" : "") + (key.alt ? "A-" : "") + (key.shift ? "S-" : "");
  if (key.key != Key::kCharacter) return name + kNames[static_cast<int>(key.key)];
  char utf8[4];
  return name + std::string(utf8, static_cast<size_t>(Utf8Encode(key.character, utf8)));
}
