// The live show following a sync-tracker over a real loopback connection: an editor of the
// test's own speaks the protocol byte for byte as written down for it, and the show's frames
// are those an export with the same keys in its track files shows.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "demo/live_show.h"
#include "demo/show_script.h"
#include "demo/sync_client.h"
#include "live_show_support.h"
#include "scripted_editor.h"

namespace {

namespace fs = std::filesystem;

// 120 beats a minute, 4 rows a beat: 8 rows a second. The swarm and the count make every frame
// depend on those before it, as a real show's do.
const std::string kScript =
    "Title('sync');\nTempo(120, 4);\nvar frames = 0;\n"
    "Scene(0, 6000, 1, function (t) {\n"
    "  frames++; MoveSwarm(); DrawSwarm(); Convert2x2();\n"
    "  PrintAt(0, 0, 'x=' + track('cam:x').toFixed(3) + ' y=' + track('cam:y').toFixed(3) + ' ' + frames);\n"
    "  return true;\n});\n";

struct Synced {
  ScriptedEditor editor;
  LiveFolder folder{kScript};
  std::unique_ptr<Live> live;

  explicit Synced(uint16_t port = 0) : editor(port) {
    LiveSettings settings;
    settings.edit = true;
    settings.sync = SyncAddress{"127.0.0.1", editor.Port()};
    live = std::make_unique<Live>(folder.dir.string(), settings);
  }
  ScriptedEditor::Pump Pump() {
    return [this] { live->Tick(); };
  }
  // The greeting both ways, and the show asking for its two tracks in the order they appear.
  void Greet() {
    ASSERT_TRUE(editor.Accept(Pump()));
    ASSERT_EQ(editor.Read(19, Pump()), "hello, synctracker!");
    ASSERT_TRUE(editor.Send("hello, demo!"));
    const std::string asked = GetTrack("cam:x") + GetTrack("cam:y");
    ASSERT_EQ(editor.Read(asked.size(), Pump()), asked);
  }
  // Sends, then waits until the show's end has every byte (acknowledged, so in its socket):
  // the show's next tick then reads them all.
  void SendAndLand(const std::string& bytes) {
    ASSERT_TRUE(editor.Send(bytes));
    ASSERT_TRUE(editor.Until(nullptr, 10, [this] { return editor.Unacknowledged() == 0; }));
  }
  std::string Top() const { return live->TopLine(40); }
};

}  // namespace

// The editor's first words after the greeting, as the family's editors send them: each track's
// keys, a pause and the cursor's row. The show stops on that row's first frame, exactly the
// frame an export with those keys in its track files ends on there.
TEST(SyncClient, TheEditorsKeysPauseAndRowGiveTheExportsFrameWithThoseKeys) {
  Synced synced;
  synced.Greet();
  synced.SendAndLand(SetKey(0, 0, 1.5f, 1) + SetKey(0, 16, 3.5f, 0) + SetKey(1, 8, -2.0f, 2) + Pause(true) +
                     SetRow(12));
  synced.live->Tick();
  // Row 12 is 1.5 s; x is linear from 1.5 at row 0 to 3.5 at row 16, y has one key.
  EXPECT_TRUE(synced.live->show.Paused());
  EXPECT_EQ(synced.live->show.ShownTime(), 1500);
  EXPECT_EQ(synced.Top().substr(0, 16), "x=3.000 y=-2.000");
  EXPECT_NE(synced.live->show.Status().find("sync 127.0.0.1:" + std::to_string(synced.editor.Port())),
            std::string::npos)
      << synced.live->show.Status();
  const uint64_t shown = synced.live->Shown();

  LiveFolder exported(kScript);
  std::ofstream(exported.dir / "sync_cam-3Ax.track", std::ios::binary)
      << EncodeTrackFile({{0, 1.5f, TrackInterpolation::kLinear}, {16, 3.5f, TrackInterpolation::kStep}});
  std::ofstream(exported.dir / "sync_cam-3Ay.track", std::ios::binary)
      << EncodeTrackFile({{8, -2.0f, TrackInterpolation::kSmooth}});
  EXPECT_EQ(exported.Export().at(1500), shown);
}

TEST(SyncClient, WhilePlayingTheShowTellsItsRowAndTheNextFrameShowsANewKey) {
  Synced synced;
  synced.Greet();
  for (int i = 0; i < 40; ++i) synced.live->Tick();  // 0.8 s of frames: rows 0 to 6
  const std::string sent = synced.editor.ReadWaiting();
  ASSERT_EQ(sent.size() % 5, 0u) << "only SET_ROW while playing";
  std::vector<uint32_t> rows;
  for (size_t at = 0; at < sent.size(); at += 5) {
    ASSERT_EQ(sent[at], '\x03') << "only SET_ROW while playing";
    rows.push_back(static_cast<uint32_t>(static_cast<uint8_t>(sent[at + 1])) << 24 |
                   static_cast<uint32_t>(static_cast<uint8_t>(sent[at + 2])) << 16 |
                   static_cast<uint32_t>(static_cast<uint8_t>(sent[at + 3])) << 8 | static_cast<uint8_t>(sent[at + 4]));
  }
  ASSERT_FALSE(rows.empty());
  for (size_t i = 1; i < rows.size(); ++i) EXPECT_EQ(rows[i], rows[i - 1] + 1) << "each row once, in order";
  const uint32_t last = rows.back();
  EXPECT_GE(last, 5u);

  synced.SendAndLand(SetKey(0, 0, 7.0f, 0));
  synced.live->Tick();
  EXPECT_EQ(synced.Top().substr(0, 7), "x=7.000");
  synced.SendAndLand(DeleteKey(0, 0));
  synced.live->Tick();
  EXPECT_EQ(synced.Top().substr(0, 7), "x=0.000");

  // Paused by the editor, nothing more is sent, and a key shows on the paused picture at once.
  synced.SendAndLand(Pause(true));
  synced.live->Tick();
  synced.editor.ReadWaiting();
  const int32_t stopped = synced.live->show.ShownTime();
  synced.SendAndLand(SetKey(1, 0, 2.0f, 0));
  synced.live->Tick();
  EXPECT_EQ(synced.Top().substr(0, 15), "x=0.000 y=2.000");
  EXPECT_EQ(synced.live->show.ShownTime(), stopped);
  for (int i = 0; i < 10; ++i) synced.live->Tick();
  EXPECT_EQ(synced.editor.ReadWaiting(), "");
}

TEST(SyncClient, SavingWritesTheTrackFilesWhichTheShowDoesNotReloadFor) {
  Synced synced;
  synced.Greet();
  synced.SendAndLand(SetKey(0, 4, 0.25f, 3) + SetKey(0, 9, 1.0f, 0) + Pause(true) + SetRow(2));
  synced.live->Tick();
  const ShowScript* before = &synced.live->session.Script();
  synced.SendAndLand(kSaveTracks);
  synced.live->Tick();
  const auto read = [&](const char* name) {
    std::ifstream in(synced.folder.dir / name, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  };
  EXPECT_EQ(read("sync_cam-3Ax.track"),
            EncodeTrackFile({{4, 0.25f, TrackInterpolation::kRamp}, {9, 1.0f, TrackInterpolation::kStep}}));
  EXPECT_EQ(read("sync_cam-3Ay.track"), EncodeTrackFile({}));
  EXPECT_NE(synced.live->show.Status().find("tracks saved: 2 files"), std::string::npos) << synced.live->show.Status();
  for (int i = 0; i < 20; ++i) synced.live->Tick();  // 400 ms: the watcher has looked many times
  EXPECT_EQ(&synced.live->session.Script(), before) << "the show reloaded for its own save";
}

// The editor goes away: the show plays on with its keys and tries again every second; the next
// editor gets the tracks asked for again and its keys replace the old ones.
TEST(SyncClient, WithoutItsEditorTheShowPlaysOnWithItsKeysAndTriesAgainEverySecond) {
  auto synced = std::make_unique<Synced>();
  synced->Greet();
  synced->SendAndLand(SetKey(0, 0, 5.0f, 0));
  synced->live->Tick();
  synced->editor.Finish();
  ASSERT_TRUE(synced->editor.Until(synced->Pump(), 10, [&] {
    return synced->live->show.Status().find("the editor closed the connection; trying again every second") !=
           std::string::npos;
  })) << synced->live->show.Status();
  synced->editor.Hangup();
  const int64_t droppedMs = synced->live->ms;
  const int32_t at = synced->live->show.ShownTime();
  for (int i = 0; i < 5; ++i) synced->live->Tick();
  EXPECT_GT(synced->live->show.ShownTime(), at);
  EXPECT_EQ(synced->Top().substr(0, 7), "x=5.000");

  ASSERT_TRUE(synced->editor.Accept(synced->Pump()));
  EXPECT_GE(synced->live->ms - droppedMs, SyncClient::kRetryEveryMs);
  ASSERT_EQ(synced->editor.Read(19, synced->Pump()), "hello, synctracker!");
  ASSERT_TRUE(synced->editor.Send("hello, demo!"));
  const std::string asked = GetTrack("cam:x") + GetTrack("cam:y");
  ASSERT_EQ(synced->editor.Read(asked.size(), synced->Pump()), asked);
  synced->live->Tick();
  EXPECT_EQ(synced->Top().substr(0, 7), "x=0.000") << "the editor's keys replace the show's";
}

// A reload keeps the editor's keys, and a track new to the script is asked for on the open
// connection, numbered after the others.
TEST(SyncClient, AReloadKeepsTheEditorsKeysAndAsksForATrackTheScriptGained) {
  Synced synced;
  synced.Greet();
  // The folder's own file says otherwise; the editor's keys stand.
  std::ofstream(synced.folder.dir / "sync_cam-3Ax.track", std::ios::binary)
      << EncodeTrackFile({{0, 9.0f, TrackInterpolation::kStep}});
  synced.SendAndLand(SetKey(0, 0, 4.0f, 0) + Pause(true) + SetRow(8));
  synced.live->Tick();
  std::string script = kScript;
  script.replace(script.find("' ' + frames"), 12, "' z=' + track('cam:z')");
  synced.folder.Write(script);
  const std::string sent = synced.editor.ReadThrough(GetTrack("cam:z"), synced.Pump());
  ASSERT_EQ(sent.substr(sent.size() - GetTrack("cam:z").size()), GetTrack("cam:z")) << "after its rows, at most";
  EXPECT_EQ(synced.Top().substr(0, 19), "x=4.000 y=0.000 z=0");
  synced.SendAndLand(SetKey(2, 0, 6.5f, 0));
  synced.live->Tick();
  EXPECT_EQ(synced.Top().substr(0, 21), "x=4.000 y=0.000 z=6.5");
}

// Every peer that does not speak the protocol is dropped with one message on the status line,
// and the show plays on.
TEST(SyncClient, APeerThatSpeaksSomethingElseIsDroppedWithOneMessageAndTheShowPlaysOn) {
  struct Case {
    const char* what;
    bool greet;
    std::string bytes;
    const char* message;
  };
  const std::vector<Case> cases = {
      {"a wrong greeting", false, "hello, world!", "greeting"},
      {"an unknown command", true, std::string("\x09", 1), "unknown command"},
      {"a command of the demo's own", true, GetTrack("cam:x"), "wrong side"},
      {"a track it did not ask for", true, SetKey(2, 0, 1.0f, 0), "SET_KEY: track 2, but the show asked for 2"},
      {"an interpolation out of range", true, SetKey(0, 0, 1.0f, 7), "interpolation 7"},
      {"a DELETE_KEY for no key", true, DeleteKey(1, 3), "DELETE_KEY: the track \"cam:y\" has no key at row 3"},
      {"half a message, then the end", true, SetKey(0, 0, 1.0f, 0).substr(0, 6),
       "the editor closed the connection in the middle of a message"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Synced synced;
    if (c.greet) {
      synced.Greet();
    } else {
      ASSERT_TRUE(synced.editor.Accept(synced.Pump()));
      ASSERT_EQ(synced.editor.Read(19, synced.Pump()), "hello, synctracker!");
    }
    ASSERT_TRUE(synced.editor.Send(c.bytes));
    if (std::string(c.message).find("middle") != std::string::npos) {
      synced.editor.Finish();
    } else {
      EXPECT_TRUE(synced.editor.SeesClose(synced.Pump()));
    }
    ASSERT_TRUE(synced.editor.Until(synced.Pump(), 10, [&] {
      return synced.live->show.Status().find(c.message) != std::string::npos;
    })) << synced.live->show.Status();
    const int32_t at = synced.live->show.ShownTime();
    synced.live->Tick();
    synced.live->Tick();
    EXPECT_GT(synced.live->show.ShownTime(), at);
  }
}

TEST(SyncClient, TheAddressIsAPortWithAnOptionalHost) {
  const auto host = [](const std::string& text) {
    const std::optional<SyncAddress> a = ParseSyncAddress(text);
    return a ? a->host + " " + std::to_string(a->port) : std::string("refused");
  };
  EXPECT_EQ(host("1338"), "127.0.0.1 1338");
  EXPECT_EQ(host("localhost:9000"), "localhost 9000");
  EXPECT_EQ(host("[::1]:1338"), "::1 1338");
  for (const char* bad : {"", "0", "65536", "host:", ":1338", "::1:1338", "[]:1", "1338x", "a:b"})
    EXPECT_EQ(host(bad), "refused") << bad;
}

// Why the live show of `dir` does not begin with `settings`.
std::string BeginError(const std::string& dir, const LiveSettings& settings) {
  int64_t ms = 0;
  UseHeadlessConsole();
  RealTimeClock clock([&] { return ms * 1000000; });
  ShowSession session(SessionSettings(dir, settings.edit, &clock));
  std::string error;
  clock.Start();
  if (!session.Open(error)) return "no session: " + error;
  LiveShow show(session, settings, [&] { return ms; });
  return show.Begin(error) ? "" : error;
}

TEST(SyncClient, TheShowRefusesToSyncWithoutTheEditModeOrATempo) {
  LiveFolder folder(kScript);
  LiveSettings settings;
  settings.sync = SyncAddress{};
  EXPECT_NE(BeginError(folder.dir.string(), settings).find("give --edit too"), std::string::npos);
  folder.Write("Title('no tempo');\nScene(0, 6000, 1, function (t) { DrawPlasma(t); });\n");
  settings.edit = true;
  const std::string error = BeginError(folder.dir.string(), settings);
  EXPECT_NE(error.find("Tempo(BPM, ROWS_PER_BEAT)"), std::string::npos) << error;
}
