// The terminal's input sorted into keys and answers: an answer is never a key, whichever way
// it arrives, and no key byte is lost or held for long.
#include <gtest/gtest.h>

#include <string>

#include "terminal_input.h"

namespace {

const std::string kPaletteAnswer = "\x1b]4;0;rgb:0000/0000/0000\x1b\\";
const std::string kPaletteAnswerBel = "\x1b]4;0;rgb:ff/ff/ff\x07";
const std::string kAttributes = "\x1b[?64;1;2;6;22c";

TEST(TerminalInput, AnswersWholeSplitOrMixedWithKeysAreNeverKeys) {
  const std::string both = kPaletteAnswer + kAttributes;
  // Every way to cut the two answers in two reads.
  for (size_t cut = 0; cut <= both.size(); ++cut) {
    TerminalInput input;
    input.AwaitAnswers();
    input.Feed(both.substr(0, cut), 0);
    input.Feed(both.substr(cut), 10);
    input.Tick(10);
    EXPECT_FALSE(input.KeyWaiting()) << "cut at " << cut << ": " << input.Keys();
    EXPECT_TRUE(input.PaletteAnswered()) << cut;
    EXPECT_TRUE(input.Settled()) << cut;
  }
  // One byte a read, keys before, between and after.
  TerminalInput input;
  input.AwaitAnswers();
  const std::string stream = "a" + kPaletteAnswerBel + "\x1b[A" + kAttributes + "q";
  for (size_t i = 0; i < stream.size(); ++i) input.Feed(stream.substr(i, 1), static_cast<int64_t>(i));
  input.Tick(static_cast<int64_t>(stream.size()));
  EXPECT_EQ(input.Keys(), "a\x1b[Aq");
  ASSERT_TRUE(input.PaletteColor().has_value());
  EXPECT_EQ(input.PaletteColor()->r, 0xFF);
}

// rxvt-unicode ends its palette answer with a lone ESC, and its device attributes follow at
// once: neither is a key, and the colour is read.
TEST(TerminalInput, APaletteAnswerEndedByALoneEscapeIsNoKey) {
  const std::string both = std::string("\x1b]4;0;rgb:aaaa/5555/0000\x1b") + "\x1b[?1;2c";
  for (size_t cut = 0; cut <= both.size(); ++cut) {
    TerminalInput input;
    input.AwaitAnswers();
    input.Feed(both.substr(0, cut), 0);
    input.Feed(both.substr(cut), 10);
    input.Tick(10 + TerminalInput::kPatienceMs);
    EXPECT_FALSE(input.KeyWaiting()) << "cut at " << cut << ": " << input.Keys();
    ASSERT_TRUE(input.PaletteColor().has_value()) << cut;
    EXPECT_EQ(input.PaletteColor()->g, 0x55) << cut;
    EXPECT_TRUE(input.Settled()) << cut;
  }
}

// The 16 entries asked one by one: each answer, whatever it ends with, fills its own entry;
// an entry the terminal does not name stays unknown.
TEST(TerminalInput, EveryPaletteEntryIsReadFromItsOwnAnswer) {
  TerminalInput input;
  input.AwaitAnswers();
  input.Feed("\x1b]4;1;rgb:cdcd/0000/0000\x07\x1b]4;15;rgb:ff/ff/ff\x1b\\\x1b]4;8;rgb:7f7f/7f7f/7f7f\x1b", 0);
  input.Feed("\x1b]4;16;rgb:11/22/33\x07" + kAttributes, 1);
  input.Tick(1 + TerminalInput::kPatienceMs);
  EXPECT_FALSE(input.KeyWaiting()) << input.Keys();
  const auto& entries = input.PaletteEntries();
  ASSERT_TRUE(entries[1] && entries[15] && entries[8]);
  EXPECT_EQ(entries[1]->r, 0xCD);
  EXPECT_EQ(entries[15]->b, 0xFF);
  EXPECT_EQ(entries[8]->g, 0x7F);
  for (int entry : {0, 2, 7, 14}) EXPECT_FALSE(entries[entry]) << entry;
}

TEST(TerminalInput, LateAnswerAfterTheDeadlineIsSwallowed) {
  TerminalInput input;
  input.AwaitAnswers();
  input.Tick(5000);  // the show went on in 24-bit colour long ago
  input.Feed(kPaletteAnswer.substr(0, 9), 6000);
  input.Tick(6000 + TerminalInput::kPatienceMs - 1);
  EXPECT_FALSE(input.KeyWaiting());
  input.Feed(kPaletteAnswer.substr(9) + kAttributes, 6000 + TerminalInput::kPatienceMs - 1);
  EXPECT_FALSE(input.KeyWaiting()) << input.Keys();
  EXPECT_TRUE(input.Settled());
}

TEST(TerminalInput, EscapeAloneBecomesAKeyAfterThePatienceAndStaysWaiting) {
  TerminalInput input;
  input.AwaitAnswers();
  input.Feed("\x1b", 100);
  EXPECT_FALSE(input.KeyWaiting()) << "an answer may be starting";
  input.Tick(100 + TerminalInput::kPatienceMs);
  EXPECT_EQ(input.Keys(), "\x1b");
  input.Tick(100000);
  EXPECT_TRUE(input.KeyWaiting()) << "testing for a key does not take it";
}

TEST(TerminalInput, KeysThatStartLikeAnswersAreKeysAtOnce) {
  TerminalInput input;
  input.AwaitAnswers();
  input.Feed("\x1b[A\x1b]x\x1bOP", 0);  // an arrow, Alt+], F1
  EXPECT_EQ(input.Keys(), "\x1b[A\x1b]x\x1bOP");
  // Once the attributes have answered, nothing more is awaited: even Escape is a key at once.
  input.Feed(kAttributes + "\x1b", 1);
  EXPECT_EQ(input.Keys(), "\x1b[A\x1b]x\x1bOP\x1b");
  EXPECT_FALSE(input.PaletteAnswered());
}

TEST(TerminalInput, NothingAwaitedMeansEverythingIsAKey) {
  TerminalInput input;
  input.Feed(kPaletteAnswer, 0);
  EXPECT_EQ(input.Keys(), kPaletteAnswer);
  EXPECT_FALSE(input.PaletteAnswered());
}

}  // namespace

// The question asked again after frames: every answer is counted, in any split, between keys,
// and an answer nobody asked for is typed keys, as before.
TEST(TerminalInput, AnswersToRepeatedQuestionsAreCountedAndNeverKeys) {
  const std::string stream = "x" + kAttributes + kAttributes + "\x1b[B" + kAttributes + "y";
  for (size_t cut = 0; cut <= stream.size(); ++cut) {
    TerminalInput input;
    for (int k = 0; k < 3; ++k) input.AwaitAttributes();
    input.Feed(stream.substr(0, cut), 0);
    const int first = input.TakeAttributeAnswers();
    input.Feed(stream.substr(cut), 10);
    input.Tick(10);
    EXPECT_EQ(first + input.TakeAttributeAnswers(), 3) << "cut at " << cut;
    EXPECT_EQ(input.Keys(), "x\x1b[By") << "cut at " << cut;
  }
  TerminalInput input;
  input.AwaitAttributes();
  input.Feed(kAttributes + kAttributes, 0);
  input.Tick(TerminalInput::kPatienceMs);
  EXPECT_EQ(input.TakeAttributeAnswers(), 1);
  EXPECT_EQ(input.Keys(), kAttributes) << "one question, one answer";
}
