#include "window_keys.h"

#include "../utf8_read.h"

namespace {

// The named keys, and the keypad's without Num Lock, when it moves the cursor.
std::optional<Key> NamedKeyOf(SDL_Keycode sym, bool numLock) {
  switch (sym) {
    case SDLK_UP: return Key::kUp;
    case SDLK_DOWN: return Key::kDown;
    case SDLK_LEFT: return Key::kLeft;
    case SDLK_RIGHT: return Key::kRight;
    case SDLK_PAGEUP: return Key::kPageUp;
    case SDLK_PAGEDOWN: return Key::kPageDown;
    case SDLK_HOME: return Key::kHome;
    case SDLK_END: return Key::kEnd;
    case SDLK_INSERT: return Key::kInsert;
    case SDLK_DELETE: return Key::kDelete;
    case SDLK_RETURN:
    case SDLK_KP_ENTER: return Key::kEnter;
    case SDLK_ESCAPE: return Key::kEscape;
    case SDLK_TAB: return Key::kTab;
    case SDLK_BACKSPACE: return Key::kBackspace;
    default: break;
  }
  if (numLock) return std::nullopt;
  switch (sym) {
    case SDLK_KP_8: return Key::kUp;
    case SDLK_KP_2: return Key::kDown;
    case SDLK_KP_4: return Key::kLeft;
    case SDLK_KP_6: return Key::kRight;
    case SDLK_KP_9: return Key::kPageUp;
    case SDLK_KP_3: return Key::kPageDown;
    case SDLK_KP_7: return Key::kHome;
    case SDLK_KP_1: return Key::kEnd;
    case SDLK_KP_0: return Key::kInsert;
    case SDLK_KP_PERIOD: return Key::kDelete;
    default: return std::nullopt;
  }
}

// A key that types a character: SDL names such keys by their Unicode code point; every other
// key's code has the scancode bit.
bool Types(SDL_Keycode sym) { return sym >= SDLK_SPACE && sym != SDLK_DELETE && (sym & SDLK_SCANCODE_MASK) == 0; }

bool IsKeypadCharacter(SDL_Keycode sym) {
  return (sym >= SDLK_KP_DIVIDE && sym <= SDLK_KP_PLUS) || (sym >= SDLK_KP_1 && sym <= SDLK_KP_PERIOD);
}

}  // namespace

bool AltIn(Uint16 mod) { return (mod & KMOD_ALT) != 0 && (mod & KMOD_MODE) == 0; }

KeyDownMeaning MeaningOfKeyDown(SDL_Keycode sym, Uint16 mod) {
  const bool shift = (mod & KMOD_SHIFT) != 0, ctrl = (mod & KMOD_CTRL) != 0, alt = AltIn(mod);
  if (const std::optional<Key> named = NamedKeyOf(sym, (mod & KMOD_NUM) != 0)) {
    return {NamedKey(*named, shift, ctrl, alt), false};
  }
  if (Types(sym)) {
    if (!ctrl) return {std::nullopt, true};
    return {TypedCharacter(static_cast<char32_t>(sym), shift, ctrl, alt), false};
  }
  // The keypad's characters (with Num Lock) come as text like any other.
  return {std::nullopt, IsKeypadCharacter(sym) && !ctrl};
}

std::vector<KeyStroke> KeysOfText(std::string_view utf8, bool alt) {
  std::vector<KeyStroke> keys;
  while (!utf8.empty()) {
    const Utf8Step step = ReadUtf8(utf8);
    if (step.read == Utf8Read::kIncomplete) break;
    const bool control = step.code < 0x20 || (step.code >= 0x7F && step.code <= 0x9F);
    if (step.read == Utf8Read::kCharacter && !control) keys.push_back(TypedCharacter(step.code, false, false, alt));
    utf8.remove_prefix(step.length);
  }
  return keys;
}
