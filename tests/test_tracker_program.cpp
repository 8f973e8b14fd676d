// quorvel4-tracker in a real pseudo-terminal, read back through libvterm: keys in, the screen
// and the files out, a show's side of the protocol (the show's own SyncClient) on loopback, the
// recovery file after a signal, and the terminal given back on every way out.
#if defined(QVL_HAVE_VTERM) && defined(QVL_TRACKER_PROGRAM)
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "capture_run.h"
#include "demo/sync_client.h"
#include "demo_test_support.h"
#include "pty_session.h"
#include "quorvel4/sync_tracks.h"
#include "vterm_screen.h"

namespace {

namespace fs = std::filesystem;

// What xterm sends in the keypad mode that ncurses turns on.
const std::string kUp = "\033OA", kDown = "\033OB", kLeft = "\033OD", kRight = "\033OC";
const std::string kShiftDown = "\033[1;2B", kShiftRight = "\033[1;2C";
const std::string kDelete = "\033[3~", kHome = "\033OH", kPageDown = "\033[6~";
const std::string kAltPageUp = "\033[5;3~", kAltPageDown = "\033[6;3~";
const std::string kCtrlUp = "\033[1;5A", kCtrlShiftDown = "\033[1;6B";
const std::string kCtrlC = "\x03", kCtrlV = "\x16", kCtrlZ = "\x1a", kCtrlY = "\x19", kCtrlS = "\x13", kCtrlE = "\x05",
                  kCtrlQ = "\x11";

// The tracker in a pseudo-terminal of its own, started in `dir` (where an untitled project's
// files go).
struct TrackerRun {
  int width, height;
  PtySession session;
  std::unique_ptr<VtScreen> vt;
  size_t fed = 0;

  TrackerRun(const fs::path& dir, std::vector<std::string> args, int width = 80, int height = 24)
      : width(width), height(height), session("/bin/sh", Command(dir, std::move(args)), width, height, {"TERM=xterm-256color"}),
        vt(std::make_unique<VtScreen>(width, height)) {}

  static std::vector<std::string> Command(const fs::path& dir, std::vector<std::string> args) {
    args.insert(args.begin(), {"-c", "cd \"$0\" && exec \"$@\"", dir.string(), QVL_TRACKER_PROGRAM});
    return args;
  }

  std::string Line(int y) const { return vt->RowText(y, width); }
  std::string Status() const { return Line(height - 2); }
  std::string Bottom() const { return Line(height - 1); }
  std::string Screen() const {
    std::string text;
    for (int y = 0; y < height; ++y) text += Line(y) + "\n";
    return text;
  }
  // The nine cells of a track's column on a grid line (the rows from 0 while the first is on
  // screen: row R is line 2 + R).
  std::string Cell(int track, int row) const { return vt->Utf8Text(2 + row, 6 + 10 * track, 9); }

  void Type(const std::string& keys) { session.Type(keys); }
  template <typename Done>
  testing::AssertionResult Until(Done done, const std::string& what, int timeoutMs = PtySession::kPatienceMs) {
    testing::AssertionResult result = session.ReadUntilDone(
        [&](const std::string& output) {
          vt->Feed(std::string_view(output).substr(fed));
          fed = output.size();
          return done();
        },
        what, timeoutMs);
    if (!result) result << "\nthe screen shows\n" << Screen();
    return result;
  }
  testing::AssertionResult UntilScreenHas(const std::string& words) {
    return Until([&] { return Screen().find(words) != std::string::npos; }, "\"" + words + "\" on the screen");
  }
  testing::AssertionResult UntilCellIs(int track, int row, const std::string& text) {
    return Until([&] { return Cell(track, row) == text; }, "\"" + text + "\" in track " + std::to_string(track) + ", row " + std::to_string(row));
  }
  testing::AssertionResult UntilSaved() {
    return Until([&] { return Status().find("p.rocket*") == std::string::npos; }, "p.rocket saved");
  }
  testing::AssertionResult UntilRow(int row) {
    return Until([&] { return Status().starts_with("row " + std::to_string(row) + " "); }, "the cursor on row " + std::to_string(row));
  }
  void Resize(int columns, int rows) {
    session.DrainNow();
    width = columns, height = rows;
    vt = std::make_unique<VtScreen>(columns, rows);
    // The redraw after the resize is all a new screen needs, on the alternate screen the
    // terminal is on (whose end restores the cursor as it was before it).
    vt->Feed("\033[?1049h");
    fed = session.Output().size();
    session.Resize(columns, rows);
  }

  // The program ends with `status`, the terminal's modes as they were and its cursor shown.
  void ExpectEndsGivingTheTerminalBack(int status) {
    EXPECT_EQ(session.Wait(), status);
    const termios now = session.CurrentModes(), was = session.InitialModes();
    EXPECT_EQ(now.c_lflag, was.c_lflag);
    EXPECT_EQ(now.c_iflag, was.c_iflag);
    EXPECT_EQ(now.c_oflag, was.c_oflag);
    vt->Feed(std::string_view(session.Output()).substr(fed));
    EXPECT_TRUE(vt->CursorVisible()) << testing::PrintToString(session.Output().substr(session.Output().size() - std::min<size_t>(session.Output().size(), 200)));
    // Mouse reports off again: ncurses' own modes and the drag mode of ours.
    const std::string& out = session.Output();
    EXPECT_NE(out.rfind("\033[?1002l"), std::string::npos);
    EXPECT_GT(out.rfind("\033[?1002l"), out.rfind("\033[?1002h"));
  }
};

SyncProject ReadProject(const std::string& path) {
  SyncProject project;
  std::string error;
  EXPECT_TRUE(ReadSyncProject(ReadAll(path), project, error)) << path << ": " << error;
  return project;
}

void WriteText(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// The tracker on `xml`, written as p.rocket, listening on a free port.
std::unique_ptr<TrackerRun> StartOn(const ScratchDirectory& scratch, const std::string& xml, int width = 80, int height = 24) {
  WriteText(scratch.File("p.rocket"), xml);
  auto tracker = std::make_unique<TrackerRun>(scratch.path(), std::vector<std::string>{"--listen", "127.0.0.1:0", "p.rocket"},
                                              width, height);
  EXPECT_TRUE(tracker->UntilScreenHas("listening"));
  return tracker;
}

const char kTwoTracks[] = R"(<?xml version="1.0" encoding="utf-8"?>
<sync rows="64">
  <tracks>
    <track name="cam:x"/>
    <track name="cam:y"/>
  </tracks>
</sync>
)";

TEST(TrackerProgram, AValueTypedAndSavedIsInTheProjectAndUndoAndRedoFollowIt) {
  ScratchDirectory scratch;
  const std::unique_ptr<TrackerRun> started = StartOn(scratch, kTwoTracks);
  TrackerRun& tracker = *started;
  EXPECT_NE(tracker.Line(0).find("cam"), std::string::npos) << tracker.Screen();

  tracker.Type("0.5");
  ASSERT_TRUE(tracker.UntilCellIs(0, 0, "0.5_"));
  tracker.Type("\r");
  ASSERT_TRUE(tracker.UntilCellIs(0, 0, "   0.500="));
  // Escape drops a number half typed.
  tracker.Type(kDown + "9\033");
  ASSERT_TRUE(tracker.Until([&] { return tracker.Cell(0, 1) == "     ---" && tracker.Status().starts_with("row 1 "); },
                            "row 1 as it was"));
  tracker.Type("-2\r");
  ASSERT_TRUE(tracker.UntilCellIs(0, 1, "  -2.000="));
  EXPECT_NE(tracker.Status().find("p.rocket*"), std::string::npos) << tracker.Status();

  tracker.Type(kCtrlS);
  ASSERT_TRUE(tracker.UntilSaved());
  std::vector<TrackKey> both = {{0, 0.5f, TrackInterpolation::kStep}, {1, -2.0f, TrackInterpolation::kStep}};
  EXPECT_EQ(ReadProject(scratch.File("p.rocket")).tracks.at(0).Keys(), both);
  EXPECT_FALSE(fs::exists(scratch.File("p.rocket.recovery")));

  tracker.Type(kCtrlZ);
  ASSERT_TRUE(tracker.UntilCellIs(0, 1, "     ---"));
  tracker.Type(kCtrlZ);
  ASSERT_TRUE(tracker.UntilCellIs(0, 0, "     ---"));
  tracker.Type(kCtrlY);
  ASSERT_TRUE(tracker.UntilCellIs(0, 0, "   0.500="));
  tracker.Type("\033[27;6;90~");  // Ctrl+Shift+Z, as xterm sends it with modifyOtherKeys
  ASSERT_TRUE(tracker.UntilCellIs(0, 1, "  -2.000="));
  tracker.Type(kCtrlS);
  ASSERT_TRUE(tracker.UntilSaved());
  EXPECT_EQ(ReadProject(scratch.File("p.rocket")).tracks.at(0).Keys(), both);

  tracker.Type(kCtrlQ);  // nothing unsaved: no question
  tracker.ExpectEndsGivingTheTerminalBack(0);
}

TEST(TrackerProgram, BlocksAreCopiedPastedNudgedAndBookmarksJumpedTo) {
  ScratchDirectory scratch;
  const std::unique_ptr<TrackerRun> started = StartOn(scratch, R"(<sync rows="64"><tracks>
      <track name="cam:x"><key row="0" value="1" interpolation="1"/><key row="4" value="3" interpolation="0"/></track>
      <track name="cam:y"><key row="2" value="5" interpolation="0"/></track>
    </tracks></sync>)");
  TrackerRun& tracker = *started;
  ASSERT_TRUE(tracker.UntilCellIs(0, 2, "   2.000")) << "between two keys, the value there";

  // Rows 0-4 of both tracks, to row 8.
  tracker.Type(kShiftDown + kShiftDown + kShiftDown + kShiftDown + kShiftRight + kCtrlC);
  ASSERT_TRUE(tracker.UntilScreenHas("copied 5 rows of 2 tracks"));
  tracker.Type(kHome);
  for (int k = 0; k < 8; ++k) tracker.Type(kDown);
  tracker.Type(kLeft + kCtrlV);
  ASSERT_TRUE(tracker.UntilCellIs(0, 8, "   1.000/"));
  ASSERT_TRUE(tracker.UntilCellIs(0, 12, "   3.000="));
  ASSERT_TRUE(tracker.UntilCellIs(1, 10, "   5.000="));

  // The pasted row 12 nudged: +1, -0.1 twice.
  for (int k = 0; k < 4; ++k) tracker.Type(kDown);
  tracker.Type(kCtrlUp + kCtrlShiftDown + kCtrlShiftDown);
  ASSERT_TRUE(tracker.UntilCellIs(0, 12, "   3.800="));
  tracker.Type("i");
  ASSERT_TRUE(tracker.UntilCellIs(0, 12, "   3.800/"));
  tracker.Type("k");
  ASSERT_TRUE(tracker.Until([&] { return tracker.vt->Utf8Text(2 + 12, 4, 1) == "*"; }, "the bookmark's mark"));
  tracker.Type(kHome + kAltPageDown);
  ASSERT_TRUE(tracker.UntilRow(12));
  tracker.Type(kAltPageUp);
  ASSERT_TRUE(tracker.UntilScreenHas("no bookmark before this row"));

  // Cut rows 8-9 of cam:x, and Delete what is left at 12.
  tracker.Type(kHome);
  for (int k = 0; k < 8; ++k) tracker.Type(kDown);
  tracker.Type(kShiftDown + "\x18");
  ASSERT_TRUE(tracker.UntilCellIs(0, 8, "   3.000")) << "held from the step key at row 4";
  tracker.Type(kDown + kDown + kDown + kDelete);
  ASSERT_TRUE(tracker.UntilCellIs(0, 12, "     ---"));

  tracker.Type(kCtrlS);
  ASSERT_TRUE(tracker.UntilSaved());
  const SyncProject saved = ReadProject(scratch.File("p.rocket"));
  EXPECT_EQ(saved.tracks.at(0).Keys(),
            (std::vector<TrackKey>{{0, 1.0f, TrackInterpolation::kLinear}, {4, 3.0f, TrackInterpolation::kStep}}));
  EXPECT_EQ(saved.tracks.at(1).Keys(),
            (std::vector<TrackKey>{{2, 5.0f, TrackInterpolation::kStep}, {10, 5.0f, TrackInterpolation::kStep}}));
  EXPECT_EQ(saved.bookmarks, std::vector<int32_t>{12});
  tracker.Type(kCtrlQ);
  tracker.ExpectEndsGivingTheTerminalBack(0);
}

TEST(TrackerProgram, TheMouseMovesTheCursorAndADragSelectsABlock) {
  ScratchDirectory scratch;
  const std::unique_ptr<TrackerRun> started = StartOn(scratch, R"(<sync rows="64"><tracks>
      <track name="a"><key row="3" value="1" interpolation="0"/><key row="5" value="2" interpolation="0"/></track>
      <track name="b"><key row="4" value="3" interpolation="0"/></track>
    </tracks></sync>)");
  TrackerRun& tracker = *started;
  // SGR reports count from 1: row R of track T is at column 7 + 10 T, line 3 + R.
  tracker.Type("\033[<0;8;10M\033[<0;8;10m");
  ASSERT_TRUE(tracker.UntilRow(7));
  tracker.Type("\033[<0;8;6M\033[<32;18;7M\033[<0;18;8m" + kDelete);  // rows 3-5 of both
  ASSERT_TRUE(tracker.UntilCellIs(0, 3, "     ---"));
  ASSERT_TRUE(tracker.UntilCellIs(0, 5, "     ---"));
  ASSERT_TRUE(tracker.UntilCellIs(1, 4, "     ---"));
  tracker.Type(kCtrlQ);
  ASSERT_TRUE(tracker.UntilScreenHas("Unsaved changes"));
  tracker.Type("d");
  tracker.ExpectEndsGivingTheTerminalBack(0);
  EXPECT_FALSE(fs::exists(scratch.File("p.rocket.recovery")));
}

TEST(TrackerProgram, AResizeRedrawsTheGridToTheNewSize) {
  ScratchDirectory scratch;
  std::string xml = "<sync><tracks>";
  for (int k = 0; k < 10; ++k) xml += "<track name=\"grp:t" + std::to_string(k) + "\"/>";
  const std::unique_ptr<TrackerRun> started = StartOn(scratch, xml + "</tracks></sync>");
  TrackerRun& tracker = *started;
  EXPECT_NE(tracker.Line(1).find("t6"), std::string::npos) << tracker.Screen();
  EXPECT_EQ(tracker.Line(1).find("t7"), std::string::npos) << "seven tracks fit 80 columns";
  EXPECT_NE(tracker.Line(21).find("  19 "), std::string::npos) << "twenty rows fit 24 lines";

  tracker.Resize(120, 40);
  ASSERT_TRUE(tracker.Until(
      [&] {
        return tracker.Line(1).find("t9") != std::string::npos && tracker.Line(37).starts_with("  35") &&
               tracker.Status().find("listening") != std::string::npos && tracker.Bottom().find("^Q:quit") != std::string::npos;
      },
      "ten tracks, 36 rows, the status and help lines"));

  tracker.Resize(80, 24);
  ASSERT_TRUE(tracker.Until([&] { return tracker.Line(21).starts_with("  19") && tracker.Status().find("listening") != std::string::npos; },
                            "back to 80 x 24"));
  EXPECT_EQ(tracker.Line(1).find("t7"), std::string::npos) << tracker.Screen();
  tracker.Type("?");
  ASSERT_TRUE(tracker.UntilScreenHas("Ctrl+PgUp/PgDn"));
  tracker.Type("x");
  ASSERT_TRUE(tracker.UntilScreenHas("listening"));
  tracker.Type(kCtrlQ);
  tracker.ExpectEndsGivingTheTerminalBack(0);
}

// The show's own client on loopback, with a clock that lets it try again at once.
struct Show {
  std::vector<SyncTrack> tracks;
  int64_t clock = 0;
  std::unique_ptr<SyncClient> client;
  SyncClient::Asked asked;  // the last of each thing asked

  Show(uint16_t port, std::vector<std::string> names) {
    for (const std::string& name : names) tracks.emplace_back(name);
    TcpAddress address;
    std::string error;
    EXPECT_TRUE(LookUpTcpAddress("127.0.0.1", port, address, error)) << error;
    client = std::make_unique<SyncClient>(address, [this] { return clock += SyncClient::kRetryEveryMs; });
  }
  void Poll() {
    const SyncClient::Asked now = client->Poll(tracks);
    if (now.pause) asked.pause = now.pause;
    if (now.row) asked.row = now.row;
    asked.save |= now.save;
  }
};

// The port the tracker listens on, from its status line.
uint16_t ListeningPort(const TrackerRun& tracker) {
  std::smatch port;
  const std::string status = tracker.Status();
  return std::regex_search(status, port, std::regex(R"(127\.0\.0\.1:(\d+))")) ? static_cast<uint16_t>(std::stoi(port[1])) : 0;
}

TEST(TrackerProgram, AShowGetsTheKeysSetAndFollowsPlayPauseAndTheCursorAndTheCursorFollowsIt) {
  ScratchDirectory scratch;
  const std::unique_ptr<TrackerRun> started = StartOn(
      scratch, R"(<sync rows="64"><tracks><track name="cam:x"><key row="0" value="1" interpolation="1"/></track></tracks></sync>)", 120, 30);
  TrackerRun& tracker = *started;
  const uint16_t port = ListeningPort(tracker);
  ASSERT_NE(port, 0) << tracker.Status();

  Show show(port, {"cam:x", "fx:glow"});
  const auto both = [&](const std::function<bool()>& done, const std::string& what) {
    return tracker.Until(
        [&] {
          show.Poll();
          return done();
        },
        what);
  };
  ASSERT_TRUE(both([&] { return show.client->Connected() && show.tracks[0].Keys().size() == 1 && show.asked.pause; },
                   "the show connected, given its keys and paused"));
  EXPECT_EQ(show.tracks[0].Keys()[0], (TrackKey{0, 1.0f, TrackInterpolation::kLinear}));
  EXPECT_EQ(show.asked.pause, true);
  ASSERT_TRUE(tracker.UntilScreenHas("glow")) << "the show's new track is a column";

  tracker.Type("0.25\r");
  ASSERT_TRUE(both([&] { return show.tracks[0].Keys() == std::vector<TrackKey>{{0, 0.25f, TrackInterpolation::kLinear}}; },
                   "the show's key changed"));
  tracker.Type(kRight + "4\r");
  ASSERT_TRUE(both([&] { return show.tracks[1].Keys() == std::vector<TrackKey>{{0, 4.0f, TrackInterpolation::kStep}}; },
                   "a key on the new track"));
  tracker.Type(kDelete);
  ASSERT_TRUE(both([&] { return show.tracks[1].Keys().empty(); }, "the key deleted"));

  // Paused, the show follows the cursor.
  tracker.Type(kDown + kDown + kDown);
  ASSERT_TRUE(both([&] { return show.asked.row == 3u; }, "the show asked to row 3"));
  tracker.Type(" ");
  ASSERT_TRUE(both([&] { return show.asked.pause == false; }, "the show asked to play"));
  ASSERT_TRUE(tracker.UntilScreenHas("playing"));
  // Playing, the cursor follows the show.
  show.client->Playing(37);
  ASSERT_TRUE(both([&] { return tracker.Status().starts_with("row 37 "); }, "the cursor on the show's row"));
  tracker.Type(" ");
  ASSERT_TRUE(both([&] { return show.asked.pause == true; }, "the show asked to pause"));
  tracker.Type(kCtrlE);
  ASSERT_TRUE(both([&] { return show.asked.save; }, "the show asked to save its tracks"));

  show.client.reset();
  ASSERT_TRUE(tracker.UntilScreenHas("the show went away"));
  tracker.Type(kCtrlQ);
  ASSERT_TRUE(tracker.UntilScreenHas("Unsaved changes"));
  tracker.Type("d");
  tracker.ExpectEndsGivingTheTerminalBack(0);
}

TEST(TrackerProgram, AProjectWrittenByHandIsSavedAsTheSameProject) {
  ScratchDirectory scratch;
  const std::string text = R"(<?xml version="1.0" encoding="utf-8"?>
<!-- written by hand -->
<sync rows="512" rowsPerBeat="8" other="kept out">
  <tracks>
    <track name="camera:rot.y" folded="1">
      <key row="64" value="3.1415927" interpolation="0"/>
      <key row="0" value="0" interpolation="2"/>
    </track>
    <track name="fx/glow"><key row="7" value="-1e-3" interpolation="3"/><key row="9" value="250" interpolation="1"/></track>
    <track name="empty"/>
  </tracks>
  <bookmarks><bookmark row="64"/><bookmark row="8"/></bookmarks>
</sync>
)";
  WriteText(scratch.File("hand.rocket"), text);
  TrackerRun tracker(scratch.path(), {"--listen", "127.0.0.1:0", "hand.rocket"});
  ASSERT_TRUE(tracker.UntilScreenHas("listening"));
  tracker.Type(kCtrlS);
  ASSERT_TRUE(tracker.UntilScreenHas("saved hand.rocket"));
  tracker.Type(kCtrlQ);
  tracker.ExpectEndsGivingTheTerminalBack(0);
  SyncProject original;
  std::string error;
  ASSERT_TRUE(ReadSyncProject(text, original, error)) << error;
  EXPECT_EQ(ReadProject(scratch.File("hand.rocket")), original);
}

TEST(TrackerProgram, ASigtermKeepsTheEditsInTheRecoveryFileWhichTheNextStartOffersBack) {
  ScratchDirectory scratch;
  WriteText(scratch.File("p.rocket"), kTwoTracks);
  const std::string recovery = scratch.File("p.rocket.recovery");
  const auto recoveredKeys = [&] {
    SyncProject project;
    std::string error;
    return ReadSyncProject(ReadAll(recovery), project, error) ? project.tracks.at(0).Keys() : std::vector<TrackKey>{};
  };
  {
    TrackerRun tracker(scratch.path(), {"--listen", "127.0.0.1:0", "p.rocket"});
    ASSERT_TRUE(tracker.UntilScreenHas("listening"));
    tracker.Type("7\r");
    // Within a second, and with no signal.
    ASSERT_TRUE(tracker.Until([&] { return recoveredKeys().size() == 1; }, "the recovery file with the key"));
    tracker.Type(kDown + "8\r");
    ASSERT_TRUE(tracker.UntilCellIs(0, 1, "   8.000="));
    kill(tracker.session.ProgramPid(), SIGTERM);
    tracker.ExpectEndsGivingTheTerminalBack(128 + SIGTERM);
    EXPECT_NE(tracker.session.Output().find("the unsaved changes are in"), std::string::npos);
  }
  EXPECT_EQ(recoveredKeys(), (std::vector<TrackKey>{{0, 7.0f, TrackInterpolation::kStep}, {1, 8.0f, TrackInterpolation::kStep}}));
  EXPECT_TRUE(ReadProject(scratch.File("p.rocket")).tracks.at(0).Keys().empty()) << "the project is as it was";

  TrackerRun again(scratch.path(), {"--listen", "127.0.0.1:0", "p.rocket"});
  ASSERT_TRUE(again.UntilScreenHas("recovery file"));
  again.Type("r");
  ASSERT_TRUE(again.UntilCellIs(0, 1, "   8.000="));
  ASSERT_TRUE(again.UntilScreenHas("listening on"));
  EXPECT_NE(again.Status().find("p.rocket*"), std::string::npos) << "recovered, not saved";
  // A hangup (the terminal's window closed) keeps them too.
  again.Type(kDown + kDown + "9\r");
  ASSERT_TRUE(again.UntilCellIs(0, 2, "   9.000="));
  kill(again.session.ProgramPid(), SIGHUP);
  again.ExpectEndsGivingTheTerminalBack(128 + SIGHUP);
  EXPECT_EQ(recoveredKeys().size(), 3u);
}

TEST(TrackerProgram, QuittingWithUnsavedChangesAsksAndANewProjectAsksForItsName) {
  ScratchDirectory scratch;
  TrackerRun tracker(scratch.path(), {"--listen", "127.0.0.1:0"});
  ASSERT_TRUE(tracker.UntilScreenHas("listening"));
  EXPECT_NE(tracker.Status().find("untitled"), std::string::npos) << tracker.Status();
  // No tracks until a show asks for them.
  tracker.Type("1");
  ASSERT_TRUE(tracker.UntilScreenHas("no tracks yet"));
  Show show(ListeningPort(tracker), {"a"});
  ASSERT_TRUE(tracker.Until(
      [&] {
        show.Poll();
        return show.client->Connected() && tracker.Line(1).find('a') != std::string::npos;
      },
      "the show's track"));
  tracker.Type("1\r");
  ASSERT_TRUE(tracker.UntilCellIs(0, 0, "   1.000="));
  tracker.Type(kCtrlQ);
  ASSERT_TRUE(tracker.UntilScreenHas("Unsaved changes"));
  tracker.Type("c");
  ASSERT_TRUE(tracker.Until([&] { return tracker.Bottom().find("Unsaved") == std::string::npos; }, "back to the grid"));
  tracker.Type(kDown + "2\r");
  ASSERT_TRUE(tracker.UntilCellIs(0, 1, "   2.000="));
  tracker.Type(kCtrlQ);
  ASSERT_TRUE(tracker.UntilScreenHas("Unsaved changes"));
  tracker.Type("s");
  ASSERT_TRUE(tracker.UntilScreenHas("Save as: untitled.rocket"));
  tracker.Type("\b\b\b\b\b\bshow.rocket\r");
  tracker.ExpectEndsGivingTheTerminalBack(0);
  EXPECT_EQ(ReadProject(scratch.File("untitled.show.rocket")).tracks.at(0).Keys(),
            (std::vector<TrackKey>{{0, 1.0f, TrackInterpolation::kStep}, {1, 2.0f, TrackInterpolation::kStep}}));
  EXPECT_FALSE(fs::exists(scratch.File("untitled.rocket.recovery")));
}

TEST(TrackerProgram, AMalformedProjectIsRefusedWithItsPlaceAndNeverSavedOverUnasked) {
  ScratchDirectory scratch;
  const std::string cut = "<sync rows=\"64\">\n  <tracks>\n    <track name=\"a\"><key row=\"1\" value=";
  WriteText(scratch.File("cut.rocket"), cut);
  TrackerRun tracker(scratch.path(), {"--listen", "127.0.0.1:0", "cut.rocket"});
  ASSERT_TRUE(tracker.UntilScreenHas("cut.rocket"));
  ASSERT_TRUE(tracker.Until([&] { return tracker.Bottom().find("line 3") != std::string::npos; }, "the place named"))
      << tracker.Bottom();
  EXPECT_EQ(tracker.Line(1), "row") << "no tracks";
  tracker.Type(kCtrlS);
  ASSERT_TRUE(tracker.UntilScreenHas("Save as: cut.rocket"));
  tracker.Type("\033");
  ASSERT_TRUE(tracker.UntilScreenHas("not saved"));
  EXPECT_EQ(ReadAll(scratch.File("cut.rocket")), cut);
  tracker.Type(kCtrlQ);
  tracker.ExpectEndsGivingTheTerminalBack(0);
  EXPECT_EQ(ReadAll(scratch.File("cut.rocket")), cut);
}

// The command's exit status and what it wrote to standard error.
struct Ran {
  int status;
  std::string errors;
};
Ran RunTrackerCommand(const std::string& args, const ScratchDirectory& scratch) {
  const std::string errors = scratch.File("errors.txt");
  const int raw = std::system(("cd " + scratch.path().string() + " && " + QVL_TRACKER_PROGRAM + " " + args +
                               " </dev/null >/dev/null 2>" + errors)
                                  .c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadAll(errors)};
}

TEST(TrackerProgram, ExportWritesEveryTracksFileAndRefusesWhatItCannotRead) {
  ScratchDirectory scratch;
  WriteText(scratch.File("p.rocket"), R"(<sync><tracks>
      <track name="cam:x"><key row="0" value="1" interpolation="1"/><key row="16" value="2" interpolation="0"/></track>
      <track name="fx/glow"/></tracks></sync>)");
  Ran ran = RunTrackerCommand("--export out --base demo p.rocket", scratch);
  ASSERT_EQ(ran.status, 0) << ran.errors;
  EXPECT_EQ(ReadAll(scratch.File("out/demo_cam-3Ax.track")),
            EncodeTrackFile({{0, 1.0f, TrackInterpolation::kLinear}, {16, 2.0f, TrackInterpolation::kStep}}));
  EXPECT_EQ(ReadAll(scratch.File("out/demo_fx/glow.track")), EncodeTrackFile({}));

  WriteText(scratch.File("bad.rocket"), "<sync>\n<tracks><track name=\"a\"><key row=\"x\"/></track></tracks></sync>");
  ran = RunTrackerCommand("--export out bad.rocket", scratch);
  EXPECT_EQ(ran.status, 1);
  EXPECT_NE(ran.errors.find("quorvel4-tracker: "), std::string::npos) << ran.errors;
  EXPECT_NE(ran.errors.find("line 2"), std::string::npos) << ran.errors;
  ran = RunTrackerCommand("--export out missing.rocket", scratch);
  EXPECT_EQ(ran.status, 1);
  EXPECT_NE(ran.errors.find("missing.rocket"), std::string::npos) << ran.errors;
  ran = RunTrackerCommand("--export out", scratch);
  EXPECT_EQ(ran.status, 2) << ran.errors;
  // The editor itself needs a terminal.
  ran = RunTrackerCommand("p.rocket", scratch);
  EXPECT_EQ(ran.status, 1);
  EXPECT_NE(ran.errors.find("needs a terminal"), std::string::npos) << ran.errors;
  ran = RunTrackerCommand("--listen 127.0.0.1:99999 p.rocket", scratch);
  EXPECT_EQ(ran.status, 2) << ran.errors;
}

// Figures, not checks: QVL_TRACKER_MEASURE=1 prints how long a keystroke takes to reach the
// tracker's screen and a show's tracks, and a Page Down through a large project.
TEST(TrackerProgram, MeasuresKeystrokesToTheScreenAndToTheShow) {
  if (getenv("QVL_TRACKER_MEASURE") == nullptr) GTEST_SKIP() << "QVL_TRACKER_MEASURE=1 measures";
  using Clock = std::chrono::steady_clock;
  const auto report = [](const char* what, std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    std::printf("%s: median %.2f ms, worst %.2f ms of %zu\n", what, ms[ms.size() / 2], ms.back(), ms.size());
  };
  ScratchDirectory scratch;
  const std::unique_ptr<TrackerRun> started =
      StartOn(scratch, R"(<sync rows="64"><tracks><track name="cam:x"/></tracks></sync>)", 120, 40);
  TrackerRun& tracker = *started;
  std::vector<double> screen, show;
  for (int k = 0; k < 100; ++k) {
    const auto start = Clock::now();
    tracker.Type(k % 2 ? kUp : kDown);
    ASSERT_TRUE(tracker.UntilRow(k % 2 ? 0 : 1));
    screen.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  report("keystroke to the tracker's screen", screen);

  Show client(ListeningPort(tracker), {"cam:x"});
  ASSERT_TRUE(tracker.Until([&] { return client.Poll(), client.client->Connected(); }, "the show connected"));
  for (int k = 0; k < 100; ++k) {
    const std::string digit = std::to_string(k % 10);
    tracker.Type(digit);
    ASSERT_TRUE(tracker.UntilCellIs(0, 0, digit + "_"));
    const auto start = Clock::now();
    tracker.Type("\r");
    ASSERT_TRUE(tracker.Until(
        [&] {
          client.Poll();
          return client.tracks[0].Keys().size() == 1 && client.tracks[0].Keys()[0].value == float(k % 10);
        },
        "the show's key"));
    show.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    client.tracks[0].ClearKeys();
  }
  report("Enter to the show's tracks over loopback", show);
  tracker.Type(kCtrlQ + "d");
  tracker.session.Wait();

  // 100 tracks of 10,000 rows, 50,000 keys.
  std::string xml = "<sync rows=\"10000\"><tracks>";
  for (int t = 0; t < 100; ++t) {
    xml += "<track name=\"g" + std::to_string(t / 10) + ":t" + std::to_string(t) + "\">";
    for (int k = 0; k < 500; ++k)
      xml += "<key row=\"" + std::to_string(k * 20 + t % 20) + "\" value=\"" + std::to_string(k % 17) + "\" interpolation=\"" +
             std::to_string(k % 4) + "\"/>";
    xml += "</track>";
  }
  ScratchDirectory large;
  const auto loading = Clock::now();
  const std::unique_ptr<TrackerRun> big = StartOn(large, xml + "</tracks></sync>", 120, 40);
  std::printf("a project of 100 tracks, 10,000 rows, 50,000 keys (%zu bytes): on screen after %.0f ms\n", xml.size(),
              std::chrono::duration<double, std::milli>(Clock::now() - loading).count());
  std::vector<double> pages;
  for (int k = 1; k <= 100; ++k) {
    const auto start = Clock::now();
    big->Type(kPageDown);
    ASSERT_TRUE(big->UntilRow(36 * k));
    pages.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  report("Page Down to the tracker's screen, large project", pages);
  big->Type(kCtrlQ);
  big->session.Wait();
}

}  // namespace
#endif
