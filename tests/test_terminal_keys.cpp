// The terminal's key decoder: the sequences terminals send, however the reads cut them, the
// Escape key alone, and garbage that must give no command and hold no memory.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "terminal_keys.h"

namespace {

constexpr KeyStroke Shift(Key key) { return NamedKey(key, true); }
constexpr KeyStroke Ctrl(Key key) { return NamedKey(key, false, true); }
constexpr KeyStroke Alt(Key key) { return NamedKey(key, false, false, true); }
constexpr KeyStroke CtrlChar(char32_t c) { return TypedCharacter(c, false, true, false); }
constexpr KeyStroke AltChar(char32_t c) { return TypedCharacter(c, false, false, true); }

std::vector<KeyStroke> TakeAll(TerminalKeys& keys) {
  std::vector<KeyStroke> taken;
  for (KeyStroke key; keys.Take(key);) taken.push_back(key);
  return taken;
}

// The strokes of `bytes` fed at once, after the wait for a lone Escape.
std::vector<KeyStroke> Decode(std::string_view bytes) {
  TerminalKeys keys;
  keys.Feed(bytes, 0);
  keys.Tick(TerminalKeys::kEscapeWaitMs);
  return TakeAll(keys);
}

std::string Describe(const KeyStroke& k) {
  return "{key " + std::to_string(static_cast<int>(k.key)) + " U+" + std::to_string(k.character) +
         (k.shift ? " shift" : "") + (k.ctrl ? " ctrl" : "") + (k.alt ? " alt" : "") + "}";
}

std::string Describe(const std::vector<KeyStroke>& keys) {
  std::string text;
  for (const KeyStroke& k : keys) text += Describe(k);
  return text.empty() ? "nothing" : text;
}

struct Sequence {
  const char* name;
  std::string bytes;
  std::vector<KeyStroke> keys;
};
void PrintTo(const Sequence& s, std::ostream* os) { *os << s.name; }

const std::vector<Sequence> kSequences = {
    {"letters, digits, punctuation, space", "aZ5[]. ", {CharacterKey('a'), CharacterKey('Z'), CharacterKey('5'),
                                                        CharacterKey('['), CharacterKey(']'), CharacterKey('.'),
                                                        CharacterKey(' ')}},
    {"UTF-8 of two, three and four bytes", "\xc3\xa9\xe2\x82\xac\xf0\x9f\x8e\xb5",
     {CharacterKey(U'\u00e9'), CharacterKey(U'\u20ac'), CharacterKey(U'\U0001F3B5')}},
    {"Enter as CR or LF, Tab, both Backspaces", "\r\n\t\x7f\x08",
     {NamedKey(Key::kEnter), NamedKey(Key::kEnter), NamedKey(Key::kTab), NamedKey(Key::kBackspace),
      NamedKey(Key::kBackspace)}},
    {"Ctrl with letters", "\x01\x03\x1a", {CtrlChar('a'), CtrlChar('c'), CtrlChar('z')}},
    {"cursor keys, CSI and SS3", "\x1b[A\x1b[B\x1bOC\x1bOD",
     {NamedKey(Key::kUp), NamedKey(Key::kDown), NamedKey(Key::kRight), NamedKey(Key::kLeft)}},
    {"Home and End in every form", "\x1b[H\x1b[F\x1bOH\x1bOF\x1b[1~\x1b[4~\x1b[7~\x1b[8~",
     {NamedKey(Key::kHome), NamedKey(Key::kEnd), NamedKey(Key::kHome), NamedKey(Key::kEnd), NamedKey(Key::kHome),
      NamedKey(Key::kEnd), NamedKey(Key::kHome), NamedKey(Key::kEnd)}},
    {"Insert, Delete, Page Up and Down", "\x1b[2~\x1b[3~\x1b[5~\x1b[6~",
     {NamedKey(Key::kInsert), NamedKey(Key::kDelete), NamedKey(Key::kPageUp), NamedKey(Key::kPageDown)}},
    {"xterm modifiers on arrows", "\x1b[1;2C\x1b[1;3D\x1b[1;5A\x1b[1;6B\x1b[1;8C",
     {Shift(Key::kRight), Alt(Key::kLeft), Ctrl(Key::kUp), NamedKey(Key::kDown, true, true),
      NamedKey(Key::kRight, true, true, true)}},
    {"xterm modifiers on the tilde forms", "\x1b[5;2~\x1b[6;3~\x1b[3;5~\x1b[2;9~",
     {Shift(Key::kPageUp), Alt(Key::kPageDown), Ctrl(Key::kDelete), Alt(Key::kInsert)}},
    {"modifiers after SS3", "\x1bO5C\x1bO2H", {Ctrl(Key::kRight), Shift(Key::kHome)}},
    {"rxvt's modified keys", "\x1b[c\x1bOd\x1b[5^\x1b[6$\x1b[3@\x1b\x1b[A",
     {Shift(Key::kRight), Ctrl(Key::kLeft), Ctrl(Key::kPageUp), Shift(Key::kPageDown),
      NamedKey(Key::kDelete, true, true), Alt(Key::kUp)}},
    {"Shift-Tab", "\x1b[Z", {Shift(Key::kTab)}},
    {"Alt with characters and control keys", "\x1bx\x1b" "X\x1b\x7f\x1b\r\x1b\xc3\xa9",
     {AltChar('x'), AltChar('X'), Alt(Key::kBackspace), Alt(Key::kEnter), AltChar(U'\u00e9')}},
    {"keys by code: CSI u and modifyOtherKeys", "\x1b[122;6u\x1b[27;5;99~\x1b[97;2u\x1b[13;3u",
     {TypedCharacter('z', true, true, false), CtrlChar('c'), CharacterKey('A'), Alt(Key::kEnter)}},
    {"mouse reports, paste markers, focus, unknown finals: nothing", "\x1b[<0;12;7M\x1b[<0;12;7m\x1b[M !!"
     "\x1b[200~\x1b[201~\x1b[I\x1b[O\x1b[15~\x1b[1;5P\x1b[?62;22c\x1b]4;0;rgb:0/0/0\x07\x1bP1$r\x1b\\",
     {}},
    {"a sequence broken off by another keeps the second", "\x1b[1;\x1b[D", {NamedKey(Key::kLeft)}},
    {"malformed UTF-8 and stray C1 bytes are dropped, what follows stays",
     "\xc3(\x9b\xc0\xaf\xed\xa0\x80\xe2\x82z\xc2\x9b", {CharacterKey('('), CharacterKey('z')}},
};

class TerminalKeysTable : public ::testing::TestWithParam<Sequence> {};

TEST_P(TerminalKeysTable, GivesTheKeysOfTheSequence) {
  EXPECT_EQ(Describe(Decode(GetParam().bytes)), Describe(GetParam().keys));
}

// However the reads cut the bytes, the keys are the same: a terminal's write can be split
// anywhere on its way (a slow link, a full buffer), as long as the pieces come within the wait.
TEST_P(TerminalKeysTable, SplitAtEveryByteGivesTheSameKeys) {
  const std::string& bytes = GetParam().bytes;
  for (size_t cut = 1; cut < bytes.size(); ++cut) {
    TerminalKeys keys;
    keys.Feed(std::string_view(bytes).substr(0, cut), 0);
    keys.Tick(TerminalKeys::kEscapeWaitMs - 1);
    keys.Feed(std::string_view(bytes).substr(cut), TerminalKeys::kEscapeWaitMs - 1);
    keys.Tick(2 * TerminalKeys::kEscapeWaitMs);
    EXPECT_EQ(Describe(TakeAll(keys)), Describe(GetParam().keys)) << "cut after byte " << cut;
  }
}

INSTANTIATE_TEST_SUITE_P(Sequences, TerminalKeysTable, ::testing::ValuesIn(kSequences),
                         [](const auto& info) { return "Sequence" + std::to_string(info.index); });

TEST(TerminalKeys, EscapeAloneWaitsForTheNextByteThenIsEscape) {
  TerminalKeys keys;
  KeyStroke key;
  keys.Feed("\x1b", 100);
  keys.Tick(100 + TerminalKeys::kEscapeWaitMs - 1);
  EXPECT_FALSE(keys.Take(key)) << "too early: it may be a sequence's start";
  EXPECT_TRUE(keys.Holding());
  keys.Tick(100 + TerminalKeys::kEscapeWaitMs);
  ASSERT_TRUE(keys.Take(key));
  EXPECT_EQ(key, NamedKey(Key::kEscape));
  EXPECT_FALSE(keys.Holding());

  // Twice, and a held beginning: ESC [ alone is Alt-[ once nothing more comes; longer is dropped.
  EXPECT_EQ(Describe(Decode("\x1b\x1b")), Describe({NamedKey(Key::kEscape), NamedKey(Key::kEscape)}));
  EXPECT_EQ(Describe(Decode("\x1b[")), Describe({AltChar('[')}));
  EXPECT_EQ(Describe(Decode("\x1b[1;5")), "nothing");
  EXPECT_EQ(Describe(Decode("\x1b\xe2\x82")), "nothing");
}

TEST(TerminalKeys, EscapeThenAKeyAfterTheWaitAreTwoKeys) {
  TerminalKeys keys;
  keys.Feed("\x1b", 0);
  keys.Tick(TerminalKeys::kEscapeWaitMs);
  keys.Feed("[A", TerminalKeys::kEscapeWaitMs + 5);
  EXPECT_EQ(Describe(TakeAll(keys)), Describe({NamedKey(Key::kEscape), CharacterKey('['), CharacterKey('A')}));
}

// Bytes from a broken link or a runaway program: whatever they are, memory stays bounded, and
// a sequence that never ends gives no keys from its body; keys after a quiet moment count.
TEST(TerminalKeys, GarbageHoldsBoundedMemoryAndGivesNoKeysFromARunaway) {
  TerminalKeys keys;
  std::string runaway = "\x1b[";
  for (int i = 0; i < 100000; ++i) runaway += "12;";
  keys.Feed(runaway, 0);
  EXPECT_LE(keys.HeldBytes(), 2 * TerminalKeys::kMaxSequence);
  keys.Feed("5~", 1);
  EXPECT_FALSE(keys.StrokeWaiting()) << "the body of a runaway sequence became keys";
  keys.Feed("x", 2);
  EXPECT_EQ(Describe(TakeAll(keys)), Describe({CharacterKey('x')})) << "the key after the runaway's end";

  // Over the limit whether or not its end comes in the same read: no key, only what follows.
  std::string longSequence = "\x1b[";
  for (int i = 0; i < 40; ++i) longSequence += "1;";
  EXPECT_EQ(Describe(Decode(longSequence + "5~x")), Describe({CharacterKey('x')}));

  std::string title = "\x1b]2;";
  title.append(10000, 'q');
  keys.Feed(title, 10);
  EXPECT_LE(keys.HeldBytes(), 2 * TerminalKeys::kMaxSequence);
  EXPECT_FALSE(keys.StrokeWaiting()) << "a string's text became keys";
  keys.Tick(10 + TerminalKeys::kEscapeWaitMs);
  keys.Feed("q", 100);
  EXPECT_EQ(Describe(TakeAll(keys)), Describe({CharacterKey('q')})) << "a quiet moment ends the skip";

  // Keys nobody takes: the oldest are kept, a bounded number.
  keys.Feed(std::string(100000, 'k'), 200);
  size_t waiting = TakeAll(keys).size();
  EXPECT_EQ(waiting, TerminalKeys::kMaxWaiting);
}

}  // namespace
