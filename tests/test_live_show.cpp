// The show made live: every stop the controls make (a start, a pause, a step, a seek, a scene
// jump, the loop's jump back, the end, a reload) shows the frame an export of the 60 fps grid
// from 0 ends on; saves reload the show at the same time, a save that fails keeps the last good
// version, and the keys are commands.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "demo/frame.h"
#include "demo/live_show.h"
#include "demo/show_script.h"
#include "demo/show_session.h"
#include "demo_test_support.h"
#include "live_show_support.h"

namespace {

namespace fs = std::filesystem;

// Every frame carries over what the frames before it did: a count in the script's global, the
// generator's draws and the swarm's moves; a wrong replay shows in the count.
std::string CountingScript(const std::string& word, const std::string& more = "") {
  return "Title('live');\nTempo(120, 4);\nvar frames = 0;\n"
         "Scene(0, 3000, 1, function (t) {\n"
         "  frames++; MoveSwarm(); DrawSwarm(); Convert2x2();\n"
         "  PrintAt(0, 0, '" + word + " ' + frames + ' ' + Math.floor(Math.random() * 1000));\n"
         "  return true;\n});\n"
         "Scene(3000, 6000, 2, function (t) { " + more + " DrawPlasma(t + frames); });\n";
}

LiveSettings Settings(bool edit, std::optional<int32_t> start = {}, std::optional<LoopSpan> loop = {}) {
  LiveSettings settings;
  settings.edit = edit;
  settings.startMs = start;
  settings.loop = loop;
  return settings;
}
LiveSettings Edit() { return Settings(true); }

TEST(LiveGrid, SceneStartsAreEachRowsFirstFrameOnTheGridWhereItIsTheRowThatDraws) {
  EXPECT_EQ(GridTimeAtOrBefore(-5), 0);
  EXPECT_EQ(GridTimeAtOrBefore(16), 0);
  EXPECT_EQ(GridTimeAtOrBefore(17), 17);
  EXPECT_EQ(GridTimeAfter(700), 717);
  EXPECT_EQ(GridTimeAtOrBefore(61000), 61000);  // whole seconds are on the grid
  // The third row starts where the second lets it; the last never draws.
  const std::vector<ShowSceneRow> rows{{0, 701, 0, {}}, {11134, 13425, 6, {}}, {13245, 16086, 7, {}}, {100, 200, 3, {}}};
  EXPECT_EQ(SceneStarts(rows), (std::vector<int32_t>{17, 11150, 13433}));
  // Windows that run to the clock's last time end the search there.
  EXPECT_EQ(SceneStarts({{0, INT32_MAX, 0, {}}, {5, INT32_MAX, 1, {}}}), (std::vector<int32_t>{17}));
}

TEST(LiveKeys, TheKeysOfTheLiveMode) {
  EXPECT_EQ(CommandOfKey(CharacterKey(' ')), LiveCommand::kPlayPause);
  EXPECT_EQ(CommandOfKey(NamedKey(Key::kRight, true)), LiveCommand::kForwardLong);
  EXPECT_EQ(CommandOfKey(NamedKey(Key::kLeft)), LiveCommand::kBack);
  EXPECT_EQ(CommandOfKey(NamedKey(Key::kPageDown)), LiveCommand::kNextScene);
  EXPECT_EQ(CommandOfKey({Key::kCharacter, 'c', false, true, false}), LiveCommand::kQuit);
  EXPECT_EQ(CommandOfKey(NamedKey(Key::kEscape)), LiveCommand::kQuit);
  EXPECT_EQ(CommandOfKey(CharacterKey('x')), LiveCommand::kNone) << "other keys neither end nor do anything";
  EXPECT_EQ(CommandOfKey({Key::kCharacter, 'r', false, true, false}), LiveCommand::kNone);
  EXPECT_EQ(ParseLoopSpan("1000:2500")->to, 2500);
  EXPECT_FALSE(ParseLoopSpan("2500:1000") || ParseLoopSpan("-1:5") || ParseLoopSpan("1000") || ParseLoopSpan("a:b"));
  EXPECT_EQ(ClockText(83456), "1:23.456");
}

TEST(LiveShow, EveryStopOfTheControlsIsTheExportsFrame) {
  LiveFolder folder(CountingScript("A"));
  const std::map<int32_t, uint64_t> exported = folder.Export();
  Live live(folder.dir.string(), Settings(true, 1010));
  EXPECT_EQ(live.show.ShownTime(), 1000) << "a start lands on the grid's frame at or before it";
  EXPECT_EQ(live.Shown(), exported.at(1000));
  for (int i = 0; i < 10; ++i) ASSERT_TRUE(live.Tick(17));  // live frames, off the grid
  live.show.Do(LiveCommand::kPlayPause);
  ASSERT_TRUE(live.show.Paused());
  const int32_t paused = live.show.ShownTime();
  EXPECT_GT(paused, 1000);
  EXPECT_EQ(live.Shown(), exported.at(paused)) << "the paused picture is the grid's";
  // Paused, time stands still and nothing is drawn.
  const int presented = live.screen->PresentCount();
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(live.Tick(100));
  EXPECT_EQ(live.clock.MusicTime(), paused);
  EXPECT_EQ(live.screen->PresentCount(), presented);
  // Steps, seeks and jumps, each checked against the export.
  const struct {
    LiveCommand command;
    int32_t time;
  } stops[] = {{LiveCommand::kStepFrame, GridTimeAfter(paused)},
               {LiveCommand::kStepFrame, GridTimeAfter(GridTimeAfter(paused))},
               {LiveCommand::kForward, GridTimeAtOrBefore(GridTimeAfter(GridTimeAfter(paused)) + 1000)},
               {LiveCommand::kNextScene, GridTimeAfter(3000)},
               {LiveCommand::kBack, GridTimeAtOrBefore(GridTimeAfter(3000) - 1000)},
               {LiveCommand::kPreviousScene, 17},
               {LiveCommand::kHome, 0},
               {LiveCommand::kForwardLong, 6000}};  // past the end: the show's last frame
  for (const auto& stop : stops) {
    live.show.Do(stop.command);
    EXPECT_EQ(live.show.ShownTime(), stop.time) << static_cast<int>(stop.command);
    EXPECT_EQ(live.Shown(), exported.at(stop.time)) << stop.time << " ms";
    EXPECT_EQ(live.clock.MusicTime(), stop.time) << "the clock stands at the frame shown";
  }
  EXPECT_TRUE(live.show.AtEnd());
  EXPECT_TRUE(live.Tick()) << "in edit mode the end waits for a key";
  live.show.Do(LiveCommand::kPlayPause);
  EXPECT_EQ(live.show.ShownTime(), 0) << "played from the end, the show starts again";
  EXPECT_FALSE(live.show.Paused());
  ASSERT_TRUE(live.Tick());
  EXPECT_GT(live.show.ShownTime(), 0);
}

TEST(LiveShow, TheLoopJumpsBackToItsStartAsTheExportShowsIt) {
  LiveFolder folder(CountingScript("A"));
  const std::map<int32_t, uint64_t> exported = folder.Export();
  // From the command line, also outside edit mode; the loop's end may lie past the show's.
  for (const LoopSpan span : {LoopSpan{1000, 1300}, LoopSpan{5900, 9000}}) {
    Live live(folder.dir.string(), Settings(false, {}, span));
    EXPECT_EQ(live.show.ShownTime(), span.from);
    int jumps = 0;
    for (int i = 0; i < 100 && jumps < 2; ++i) {
      ASSERT_TRUE(live.Tick(15));
      ASSERT_LT(live.show.ShownTime(), span.to) << "nothing is shown past the loop";
      if (live.show.ShownTime() == span.from) {
        ++jumps;
        EXPECT_EQ(live.Shown(), exported.at(span.from));
      }
    }
    EXPECT_EQ(jumps, 2) << span.from;
  }
  // Set with [ and ], turned on with l.
  Live live(folder.dir.string(), Settings(true, 2000));
  live.show.Do(LiveCommand::kLoopOnOff);
  EXPECT_FALSE(live.show.Looping()) << "no loop until both ends are set";
  live.show.Do(LiveCommand::kLoopFrom);
  live.show.Do(LiveCommand::kForward);
  live.show.Do(LiveCommand::kLoopTo);
  live.show.Do(LiveCommand::kLoopOnOff);
  ASSERT_TRUE(live.show.Looping());
  EXPECT_NE(live.show.Status().find("loop 0:02.000-0:03.000"), std::string::npos) << live.show.Status();
  ASSERT_TRUE(live.Tick());
  EXPECT_EQ(live.show.ShownTime(), 2000);
  EXPECT_EQ(live.Shown(), exported.at(2000));
}

TEST(LiveShow, ASaveReloadsAtTheSameTimeAndABrokenSaveKeepsTheLastGoodVersion) {
  const std::map<int32_t, uint64_t> exportedB = LiveFolder(CountingScript("B")).Export();  // before the live console
  LiveFolder folder(CountingScript("A"));
  Live live(folder.dir.string(), Settings(true, 2500));
  live.show.Do(LiveCommand::kPlayPause);
  EXPECT_EQ(live.TopLine().substr(0, 2), "A ");
  folder.Write(CountingScript("B"));
  ASSERT_TRUE(live.Tick(60));
  EXPECT_EQ(live.show.ShownTime(), 2500);
  EXPECT_EQ(live.TopLine().substr(0, 2), "B ") << "the new version, at the same time";
  EXPECT_EQ(live.Shown(), exportedB.at(2500)) << "replayed from the start";

  // A syntax error, then a scene that throws before the time shown: the last good frames stay.
  for (const std::string& broken : {CountingScript("C").substr(0, 60), CountingScript("C", "if (t > 10) nothing();")}) {
    live.show.Do(LiveCommand::kNextScene);
    live.show.Do(LiveCommand::kPreviousScene);  // back at 17 ms: the throwing scene is not reached...
    live.show.Do(LiveCommand::kForward);
    live.show.Do(LiveCommand::kForward);
    live.show.Do(LiveCommand::kForward);  // ...until 3017 ms
    const uint64_t before = live.Shown();
    folder.Write(broken);
    ASSERT_TRUE(live.Tick(60));
    EXPECT_NE(live.show.LastError().find("show.js:"), std::string::npos) << live.show.LastError();
    EXPECT_NE(live.show.Status().find("error: "), std::string::npos) << live.show.Status();
    EXPECT_EQ(live.screen->StatusLine(), live.show.Status());
    EXPECT_EQ(live.Shown(), before) << broken;
    live.show.Do(LiveCommand::kHome);
    live.show.Do(LiveCommand::kForward);
    EXPECT_EQ(live.TopLine().substr(0, 2), "B ") << "still the last good version";
  }
  folder.Write(CountingScript("B"));
  ASSERT_TRUE(live.Tick(60));
  EXPECT_EQ(live.show.LastError(), "");
  live.show.Do(LiveCommand::kForward);
  live.show.Do(LiveCommand::kForward);
  live.show.Do(LiveCommand::kBack);
  EXPECT_EQ(live.show.ShownTime(), 2000);
  EXPECT_EQ(live.Shown(), exportedB.at(2000));
}

TEST(LiveShow, AFailingSceneHoldsTheShowUntilTheNextSave) {
  LiveFolder folder(CountingScript("A", "if (t > 4000) nothing();"));
  Live live(folder.dir.string(), Settings(true, 3990));
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(live.Tick(20)) << "a failure in edit mode does not end the show";
  EXPECT_TRUE(live.show.Paused());
  EXPECT_NE(live.show.LastError().find("nothing"), std::string::npos) << live.show.LastError();
  folder.Write(CountingScript("A"));
  ASSERT_TRUE(live.Tick(60));
  EXPECT_EQ(live.show.LastError(), "");
  live.show.Do(LiveCommand::kPlayPause);
  ASSERT_TRUE(live.Tick(20));
  EXPECT_GT(live.show.ShownTime(), 4000);
  // Outside edit mode the failure ends the show, as it always has.
  LiveFolder failing(CountingScript("A", "if (t > 4000) nothing();"));
  Live plain(failing.dir.string(), Settings(false, 3990));
  bool ended = false;
  for (int i = 0; i < 5 && !ended; ++i) ended = !plain.Tick(20);
  EXPECT_TRUE(ended);
  EXPECT_EQ(plain.session.Report().end, ShowEnd::kFailed);
}

TEST(LiveShow, KeysAreCommandsAndOnlyTheQuittingOnesEndTheShow) {
  LiveFolder folder(CountingScript("A"));
  Live live(folder.dir.string(), Edit());
  for (const KeyStroke key : {CharacterKey('x'), NamedKey(Key::kUp), CharacterKey(' ')}) live.screen->PushKey(key);
  ASSERT_TRUE(live.Tick());
  EXPECT_TRUE(live.show.Paused());
  EXPECT_NE(live.screen->StatusLine().find("paused"), std::string::npos) << live.screen->StatusLine();
  live.screen->PushKey(NamedKey(Key::kRight));
  ASSERT_TRUE(live.Tick());
  EXPECT_EQ(live.show.ShownTime(), 1000);
  EXPECT_NE(live.screen->StatusLine().find("0:01.000  paused  scene 1 0-3000  beat 2.00  row 8"), std::string::npos)
      << live.screen->StatusLine();
  live.screen->PushKey(CharacterKey('q'));
  EXPECT_FALSE(live.Tick());
  EXPECT_EQ(live.session.Report().end, ShowEnd::kStopped);
  // A lost display or a signal ends it too.
  Live other(folder.dir.string(), Edit());
  other.screen->PressKey();
  EXPECT_FALSE(other.Tick());
  // Outside edit mode any key ends the show.
  Live plain(folder.dir.string(), Settings(false, 100));
  plain.screen->PushKey(CharacterKey(' '));
  EXPECT_FALSE(plain.Tick());
  EXPECT_EQ(plain.session.Report().end, ShowEnd::kKey);
}

}  // namespace

// An author sees on the status line when the part of the show on the screen flashes too
// often, under which reading and where; a calm part and a jump back clear it.
TEST(LiveShow, TheStatusLineSaysWhenTheShownPartFlashesTooOften) {
  LiveFolder folder(
      "Title('strobe');\nTempo(120, 4);\n"
      "Scene(0, 1000, 0, function (t) { DrawPlasma(t); });\n"
      "Scene(1000, 4000, 1, function (t) {\n"
      "  var light = idiv(t, 50) % 2 === 0 ? 0xFFFFFF : 0;\n"
      "  for (var i = 0; i < 16000; ++i) canvas[i] = light;\n"
      "});\n");
  Live live(folder.dir.string(), Edit());
  while (live.show.ShownTime() < 900) ASSERT_TRUE(live.Tick(20));
  EXPECT_EQ(live.show.Status().find("flashes"), std::string::npos) << live.show.Status();
  while (live.show.ShownTime() < 2000) ASSERT_TRUE(live.Tick(20));
  const std::string status = live.show.Status();
  EXPECT_NE(status.find("too many flashes: "), std::string::npos) << status;
  EXPECT_NE(status.find("luminance, screen"), std::string::npos) << status;
  EXPECT_EQ(live.screen->StatusLine(), status);
  live.show.Do(LiveCommand::kHome);
  EXPECT_EQ(live.show.Status().find("flashes"), std::string::npos) << live.show.Status();
}
