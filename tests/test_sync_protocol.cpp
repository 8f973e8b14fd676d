#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "quorvel4/sync_protocol.h"

namespace {

using I = TrackInterpolation;

std::string Bytes(std::initializer_list<int> bytes) {
  std::string out;
  for (const int b : bytes) out.push_back(static_cast<char>(b));
  return out;
}

bool Feed(SyncReader& reader, const std::string& bytes, std::vector<SyncMessage>& messages) {
  return reader.Feed(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), messages);
}

SyncMessage Message(SyncCommand command) {
  SyncMessage m;
  m.command = command;
  return m;
}

// What the editor says to the demo, written from the protocol's table.
const std::string kEditorTalk = "hello, demo!" +
                                Bytes({0, 0, 0, 0, 2, 0, 0, 0, 0x10, 0x3F, 0xC0, 0, 0, 2}) +  // SET_KEY 2, row 16, 1.5, smooth
                                Bytes({1, 0, 0, 0, 2, 0, 0, 0, 0x10}) +                       // DELETE_KEY 2, row 16
                                Bytes({3, 0, 0, 1, 0}) +                                       // SET_ROW 256
                                Bytes({4, 1, 4, 0}) +                                          // PAUSE, play
                                Bytes({5}) +                                                   // SAVE_TRACKS
                                Bytes({0, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0xFF, 0xC0, 0, 0, 0, 0});

std::vector<SyncMessage> EditorMessages() {
  SyncMessage setKey = Message(SyncCommand::kSetKey);
  setKey.track = 2;
  setKey.key = {16, 1.5f, I::kSmooth};
  SyncMessage deleteKey = Message(SyncCommand::kDeleteKey);
  deleteKey.track = 2;
  deleteKey.key.row = 16;
  SyncMessage setRow = Message(SyncCommand::kSetRow);
  setRow.key.row = 256;
  SyncMessage pause = Message(SyncCommand::kPause);
  pause.pause = true;
  SyncMessage last = Message(SyncCommand::kSetKey);
  last.track = 0xFFFFFFFF;
  last.key = {INT32_MAX, -2.0f, I::kStep};
  return {setKey, deleteKey, setRow, pause, Message(SyncCommand::kPause), Message(SyncCommand::kSaveTracks), last};
}

// What the demo says to the editor.
const std::string kDemoTalk = "hello, synctracker!" + Bytes({2, 0, 0, 0, 12}) + "camera:rot.y" +
                              Bytes({3, 0, 0, 0, 42}) + Bytes({2, 0, 0, 0, 2, 0xC3, 0xA9});

std::vector<SyncMessage> DemoMessages() {
  SyncMessage camera = Message(SyncCommand::kGetTrack);
  camera.name = "camera:rot.y";
  SyncMessage setRow = Message(SyncCommand::kSetRow);
  setRow.key.row = 42;
  SyncMessage accent = Message(SyncCommand::kGetTrack);
  accent.name = "\xC3\xA9";
  return {camera, setRow, accent};
}

// The conversation read whole, in two pieces cut at every place, and a byte at a time.
void ReadsTheSameHoweverCut(SyncSide side, const std::string& talk, const std::vector<SyncMessage>& expected) {
  for (size_t cut = 0; cut <= talk.size(); ++cut) {
    SyncReader reader(side);
    std::vector<SyncMessage> messages;
    ASSERT_TRUE(Feed(reader, talk.substr(0, cut), messages)) << reader.Error();
    ASSERT_TRUE(Feed(reader, talk.substr(cut), messages)) << reader.Error();
    EXPECT_EQ(messages, expected) << "cut at " << cut;
    EXPECT_FALSE(reader.InTheMiddle());
  }
  SyncReader reader(side);
  std::vector<SyncMessage> messages;
  for (const char byte : talk) {
    ASSERT_TRUE(Feed(reader, std::string(1, byte), messages)) << reader.Error();
    EXPECT_LE(reader.Held(), 4101u);
  }
  EXPECT_EQ(messages, expected);
  EXPECT_TRUE(reader.Greeted());
}

TEST(SyncProtocol, TheDemoReadsTheEditorHoweverTheBytesAreCut) {
  ReadsTheSameHoweverCut(SyncSide::kDemo, kEditorTalk, EditorMessages());
}

TEST(SyncProtocol, TheEditorReadsTheDemoHoweverTheBytesAreCut) {
  ReadsTheSameHoweverCut(SyncSide::kEditor, kDemoTalk, DemoMessages());
}

TEST(SyncProtocol, WritersGiveTheTablesBytes) {
  std::string editor;
  AppendEditorGreeting(editor);
  AppendSetKey(editor, 2, {16, 1.5f, I::kSmooth});
  AppendDeleteKey(editor, 2, 16);
  AppendSetRow(editor, 256);
  AppendPause(editor, true);
  AppendPause(editor, false);
  AppendSaveTracks(editor);
  AppendSetKey(editor, 0xFFFFFFFF, {INT32_MAX, -2.0f, I::kStep});
  EXPECT_EQ(editor, kEditorTalk);

  std::string demo;
  AppendClientGreeting(demo);
  AppendGetTrack(demo, "camera:rot.y");
  AppendSetRow(demo, 42);
  AppendGetTrack(demo, "\xC3\xA9");
  EXPECT_EQ(demo, kDemoTalk);
}

// The error of bytes that must be refused after the greeting.
std::string Fault(SyncSide side, const std::string& bytes, size_t* read = nullptr) {
  SyncReader reader(side);
  std::vector<SyncMessage> messages;
  std::string talk;
  if (side == SyncSide::kDemo) AppendEditorGreeting(talk);
  else AppendClientGreeting(talk);
  talk += bytes;
  EXPECT_FALSE(Feed(reader, talk, messages));
  EXPECT_FALSE(reader.Error().empty());
  EXPECT_EQ(reader.Held(), 0u);
  EXPECT_FALSE(reader.InTheMiddle());
  const size_t before = messages.size();
  if (read != nullptr) *read = before;
  // Nothing more is taken, good or not, and the first fault stays the one said.
  const std::string error = reader.Error();
  std::string more;
  AppendSetRow(more, 1);
  EXPECT_FALSE(Feed(reader, more, messages));
  EXPECT_EQ(messages.size(), before);
  EXPECT_EQ(reader.Error(), error);
  return error;
}

TEST(SyncProtocol, RefusesWhatTheOtherSideMayNotSay) {
  const SyncSide demo = SyncSide::kDemo;
  const SyncSide editor = SyncSide::kEditor;
  EXPECT_EQ(Fault(demo, Bytes({6})), "an unknown command byte 6");
  EXPECT_EQ(Fault(editor, Bytes({0xFF})), "an unknown command byte 255");
  EXPECT_EQ(Fault(demo, Bytes({2, 0, 0, 0, 1, 'a'})), "GET_TRACK: a command from the wrong side");
  EXPECT_EQ(Fault(editor, Bytes({0})), "SET_KEY: a command from the wrong side");
  EXPECT_EQ(Fault(editor, Bytes({1})), "DELETE_KEY: a command from the wrong side");
  EXPECT_EQ(Fault(editor, Bytes({4})), "PAUSE: a command from the wrong side");
  EXPECT_EQ(Fault(editor, Bytes({5})), "SAVE_TRACKS: a command from the wrong side");

  EXPECT_EQ(Fault(demo, Bytes({0, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 4})), "SET_KEY: interpolation 4 is not 0-3");
  EXPECT_EQ(Fault(demo, Bytes({0, 0, 0, 0, 1, 0, 0, 0, 1, 0x7F, 0xC0, 0, 0, 0})), "SET_KEY: the value is not finite");
  EXPECT_EQ(Fault(demo, Bytes({0, 0, 0, 0, 1, 0, 0, 0, 1, 0xFF, 0x80, 0, 0, 0})), "SET_KEY: the value is not finite");
  EXPECT_EQ(Fault(demo, Bytes({4, 2})), "PAUSE: byte 2 is not 0 or 1");
  EXPECT_EQ(Fault(demo, Bytes({3, 0x80, 0, 0, 0})), "SET_ROW: row 2147483648 is beyond 2147483647");
  EXPECT_EQ(Fault(editor, Bytes({3, 0xFF, 0xFF, 0xFF, 0xFF})), "SET_ROW: row 4294967295 is beyond 2147483647");
  EXPECT_EQ(Fault(demo, Bytes({0, 0, 0, 0, 1, 0x80, 0, 0, 0, 0, 0, 0, 0, 0})), "SET_KEY: row 2147483648 is beyond 2147483647");
  EXPECT_EQ(Fault(demo, Bytes({1, 0, 0, 0, 1, 0x80, 0, 0, 0})), "DELETE_KEY: row 2147483648 is beyond 2147483647");

  EXPECT_EQ(Fault(editor, Bytes({2, 0, 0, 0, 0})), "GET_TRACK: the name is empty");
  EXPECT_EQ(Fault(editor, Bytes({2, 0, 0, 0, 1, 0xFF})), "GET_TRACK: the name is not UTF-8");
  EXPECT_EQ(Fault(editor, Bytes({2, 0, 0, 0, 1, 0xC3})), "GET_TRACK: the name is not UTF-8");  // cut short
  EXPECT_EQ(Fault(editor, Bytes({2, 0, 0, 0, 3, 0xED, 0xA0, 0x80})), "GET_TRACK: the name is not UTF-8");  // a surrogate

  // The messages before a fault are read; the one at it is not.
  size_t read = 0;
  EXPECT_EQ(Fault(demo, Bytes({5, 3, 0, 0, 0, 7, 4, 9}), &read), "PAUSE: byte 9 is not 0 or 1");
  EXPECT_EQ(read, 2u);
}

TEST(SyncProtocol, ANameTooLongIsRefusedAtItsLength) {
  SyncReader reader(SyncSide::kEditor);
  std::vector<SyncMessage> messages;
  ASSERT_TRUE(Feed(reader, "hello, synctracker!" + Bytes({2, 0xFF, 0xFF, 0xFF}), messages));
  EXPECT_TRUE(reader.InTheMiddle());
  // The last byte of the length is enough: nothing of the name is waited for or held.
  EXPECT_FALSE(Feed(reader, Bytes({0xFF}), messages));
  EXPECT_EQ(reader.Error(), "GET_TRACK: name length 4294967295 is above 4096");
  EXPECT_EQ(reader.Held(), 0u);

  EXPECT_EQ(Fault(SyncSide::kEditor, Bytes({2, 0, 0, 0x10, 1})), "GET_TRACK: name length 4097 is above 4096");
  SyncReader longest(SyncSide::kEditor);
  ASSERT_TRUE(Feed(longest, "hello, synctracker!" + Bytes({2, 0, 0, 0x10, 0}) + std::string(4096, 'n'), messages))
      << longest.Error();
  EXPECT_EQ(messages.back().name.size(), 4096u);
}

TEST(SyncProtocol, TheGreetingIsCheckedByteByByte) {
  SyncReader reader(SyncSide::kDemo);
  std::vector<SyncMessage> messages;
  EXPECT_FALSE(reader.InTheMiddle());
  EXPECT_FALSE(Feed(reader, "H", messages));  // wrong at once, without waiting for the rest
  EXPECT_EQ(reader.Error(), "greeting: byte 0 differs from \"hello, demo!\"");
  EXPECT_FALSE(reader.Greeted());

  SyncReader editor(SyncSide::kEditor);
  ASSERT_TRUE(Feed(editor, "hello, ", messages));
  EXPECT_TRUE(editor.InTheMiddle());
  EXPECT_FALSE(Feed(editor, "demo!", messages));  // the demo's greeting is the editor's to send
  EXPECT_EQ(editor.Error(), "greeting: byte 7 differs from \"hello, synctracker!\"");

  SyncReader demo(SyncSide::kDemo);
  ASSERT_TRUE(Feed(demo, "hello, demo!", messages));
  EXPECT_TRUE(demo.Greeted());
  EXPECT_FALSE(demo.InTheMiddle());
  ASSERT_TRUE(Feed(demo, Bytes({3, 0}), messages));
  EXPECT_TRUE(demo.InTheMiddle());
  EXPECT_EQ(demo.Held(), 2u);
  ASSERT_TRUE(Feed(demo, Bytes({0, 0, 9}), messages));
  EXPECT_FALSE(demo.InTheMiddle());
  EXPECT_EQ(demo.Held(), 0u);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].key.row, 9);
}

}  // namespace
