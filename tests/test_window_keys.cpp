// The window's key events as key strokes: the keysym for named keys and for Ctrl with a key,
// the text event for the character the layout made.
#include <gtest/gtest.h>

#include <vector>

#include "backends/window_keys.h"
#include "status_text.h"

namespace {

struct KeyDown {
  const char* name;
  SDL_Keycode sym;
  Uint16 mod;
  std::optional<KeyStroke> key;
  bool textFollows;
};
void PrintTo(const KeyDown& k, std::ostream* os) { *os << k.name; }

const std::vector<KeyDown> kKeyDowns = {
    {"Right", SDLK_RIGHT, KMOD_NONE, NamedKey(Key::kRight), false},
    {"Shift-Right", SDLK_RIGHT, KMOD_LSHIFT, NamedKey(Key::kRight, true), false},
    {"Ctrl-Left", SDLK_LEFT, KMOD_RCTRL, NamedKey(Key::kLeft, false, true), false},
    {"Alt-Page Up", SDLK_PAGEUP, KMOD_LALT, NamedKey(Key::kPageUp, false, false, true), false},
    {"Delete", SDLK_DELETE, KMOD_NONE, NamedKey(Key::kDelete), false},
    {"Enter on the keypad", SDLK_KP_ENTER, KMOD_NONE, NamedKey(Key::kEnter), false},
    {"Ctrl-Backspace", SDLK_BACKSPACE, KMOD_LCTRL, NamedKey(Key::kBackspace, false, true), false},
    {"Shift-Tab", SDLK_TAB, KMOD_RSHIFT, NamedKey(Key::kTab, true), false},
    {"keypad 8 without Num Lock moves up", SDLK_KP_8, KMOD_NONE, NamedKey(Key::kUp), false},
    {"keypad 8 with Num Lock types", SDLK_KP_8, KMOD_NUM, std::nullopt, true},
    {"a letter types through text", SDLK_a, KMOD_NONE, std::nullopt, true},
    {"Shift and a digit types through text", SDLK_8, KMOD_LSHIFT, std::nullopt, true},
    {"AltGr and a digit types through text", SDLK_8, KMOD_MODE, std::nullopt, true},
    {"Alt and a letter types through text", SDLK_x, KMOD_LALT, std::nullopt, true},
    {"Ctrl-C", SDLK_c, KMOD_LCTRL, TypedCharacter('c', false, true, false), false},
    {"Ctrl-Shift-Z", SDLK_z, KMOD_LCTRL | KMOD_RSHIFT, TypedCharacter('z', true, true, false), false},
    {"Ctrl-Alt-Delete is Delete", SDLK_DELETE, KMOD_LCTRL | KMOD_LALT, NamedKey(Key::kDelete, false, true, true), false},
    {"F5 is no key", SDLK_F5, KMOD_NONE, std::nullopt, false},
};

class WindowKeyDown : public ::testing::TestWithParam<KeyDown> {};

TEST_P(WindowKeyDown, MeansTheKeyOrTheTextThatFollows) {
  const KeyDownMeaning meaning = MeaningOfKeyDown(GetParam().sym, GetParam().mod);
  EXPECT_EQ(meaning.key, GetParam().key);
  EXPECT_EQ(meaning.textFollows, GetParam().textFollows);
}

INSTANTIATE_TEST_SUITE_P(Keys, WindowKeyDown, ::testing::ValuesIn(kKeyDowns),
                         [](const auto& info) { return "Key" + std::to_string(info.index); });

TEST(WindowText, GivesTheLayoutsCharactersWithAltButNotAltGr) {
  const std::vector<KeyStroke> typed = {CharacterKey('['), CharacterKey('('), CharacterKey(U'\u00e9'), CharacterKey(' ')};
  EXPECT_EQ(KeysOfText("[(\xc3\xa9 ", false), typed);
  EXPECT_EQ(KeysOfText("x", AltIn(KMOD_LALT)), std::vector<KeyStroke>{TypedCharacter('x', false, false, true)});
  EXPECT_FALSE(AltIn(KMOD_RALT | KMOD_MODE)) << "AltGr on X is Mode, sometimes with Alt: it made the character";
  // A text event from outside (an input method) is still text: controls and broken bytes go.
  EXPECT_EQ(KeysOfText("a\x1b\x7f\xc3z", false), (std::vector<KeyStroke>{CharacterKey('a'), CharacterKey('z')}));
}

// The title a window shows is ASCII (see the back end's ShowTitle): any other character stands
// as '?', so a new status line never leaves the old one showing.
TEST(WindowTitle, CarriesTheStatusLineInAscii) {
  EXPECT_EQ(AsciiOnly(StatusAndTitle("t 1:02 \xc3\xa9t\xc3\xa9 \xe2\x99\xaa", "show")), "t 1:02 ?t? ? - show");
  EXPECT_EQ(StatusAndTitle("", "show"), "show");
  EXPECT_EQ(StatusAndTitle("status", ""), "status");
}

}  // namespace
