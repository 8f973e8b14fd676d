// Live editing in a real pseudo-terminal, read back through libvterm: the keys are commands, a
// stop shows the frame the capture tool ends on at that time (the built-in show and Lanterns),
// a save changes the picture, a broken save keeps the last good one and shows the error on the
// status line under the picture, and every way out gives the terminal back.
#ifdef QVL_HAVE_VTERM
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "capture_run.h"
#include "demo_test_support.h"
#include "pty_session.h"
#include "quorvel4/sync_tracks.h"
#include "scripted_editor.h"
#include "vterm_screen.h"

namespace {

namespace fs = std::filesystem;
const std::string kSource = QVL_SOURCE_DIR;
constexpr int kRows = 51;  // one row under the picture: the status line's
constexpr int kStatusRow = 50;

// The show in edit mode on an 80 x 51 terminal.
struct EditedShow {
  PtySession session;
  VtScreen vt{kScreenWidth, kRows};
  size_t fed = 0;

  explicit EditedShow(std::vector<std::string> args)
      : session(QVL_DEMO_PROGRAM, args, kScreenWidth, kRows,
                {"TERM=xterm-256color", "QVL_COLORS=truecolor", "SDL_AUDIODRIVER=dummy", "QVL_DATA_DIR=" + kSource + "/data"}) {}

  std::string Status() const { return vt.RowText(kStatusRow, kScreenWidth); }

  // Reads until `done` holds for what the terminal shows.
  template <typename Done>
  testing::AssertionResult Until(Done done, const std::string& what) {
    return session.ReadUntilDone(
        [&](const std::string& output) {
          vt.Feed(std::string_view(output).substr(fed));
          fed = output.size();
          return done();
        },
        what + " (the status line says \"" + Status() + "\")");
  }
  testing::AssertionResult UntilStatusHas(const std::string& words) {
    return Until([&] { return Status().find(words) != std::string::npos; }, "\"" + words + "\" on the status line");
  }
  // The time the status line shows, in ms.
  std::optional<int32_t> ShownTime() const {
    std::smatch time;
    const std::string status = Status();
    if (!std::regex_search(status, time, std::regex(R"(^(\d+):(\d\d)\.(\d\d\d))"))) return std::nullopt;
    return std::stoi(time[1]) * 60000 + std::stoi(time[2]) * 1000 + std::stoi(time[3]);
  }
  // Waits until the picture is `cells`.
  testing::AssertionResult UntilPictureIs(const std::vector<Cell>& cells, const std::string& what) {
    std::string wrong;
    testing::AssertionResult shown = Until([&] { return (wrong = FirstWrongCell(vt, cells, ColorMode::kTrueColor)).empty(); }, what);
    return shown ? shown : shown << "; the picture differs " << wrong;
  }
};

// The frame `quorvel4-capture --times 0:T` ends on.
std::vector<Cell> CapturedFrame(const std::string& show, uint32_t seed, int32_t t) {
  ScratchDirectory scratch;
  const std::string out = scratch.File("frames.cells");
  const ToolRun run = Capture(show + " --seed " + std::to_string(seed) + " --times 0:" + std::to_string(t) +
                                  " --format cells --out " + out,
                              scratch);
  EXPECT_EQ(run.status, 0) << run.errors;
  const std::string bytes = ReadAll(out);
  std::vector<Cell> cells(kScreenCells);
  if (bytes.size() >= sizeof(Cell) * kScreenCells)
    std::memcpy(cells.data(), bytes.data() + bytes.size() - sizeof(Cell) * kScreenCells, sizeof(Cell) * kScreenCells);
  return cells;
}

// Pauses and checks that the paused picture is the capture's at the time the status line shows.
void ExpectStopIsTheCapturesFrame(EditedShow& show, const std::string& captureShow, uint32_t seed) {
  ASSERT_TRUE(show.UntilStatusHas("paused"));
  const std::optional<int32_t> t = show.ShownTime();
  ASSERT_TRUE(t) << show.Status();
  EXPECT_TRUE(show.UntilPictureIs(CapturedFrame(captureShow, seed, *t), "the capture's frame at " + std::to_string(*t)));
}

void ExpectTerminalGivenBack(EditedShow& show) {
  EXPECT_EQ(show.session.Wait(), 0);
  const termios now = show.session.CurrentModes(), was = show.session.InitialModes();
  EXPECT_EQ(now.c_lflag, was.c_lflag);
  EXPECT_EQ(now.c_iflag, was.c_iflag);
  EXPECT_EQ(show.session.PendingInput(), 0);
  show.vt.Feed(std::string_view(show.session.Output()).substr(show.fed));
  EXPECT_TRUE(show.vt.CursorVisible());
}

TEST(LiveEditTerminal, TheBuiltInShowsStopsAreTheCapturesFramesAndQGivesTheTerminalBack) {
  EditedShow show({"--edit", "--seed", "7", "--start", "30000"});
  ASSERT_TRUE(show.session.Started());
  ASSERT_TRUE(show.UntilStatusHas("fps"));
  show.session.Type(" ");
  ExpectStopIsTheCapturesFrame(show, "--data " + kSource + "/data", 7);
  const int32_t paused = show.ShownTime().value_or(0);
  // Shift+Right: ten seconds on, still paused; then the next scene's start.
  show.session.Type("\x1b[1;2C");
  ASSERT_TRUE(show.Until([&] { return show.ShownTime() == paused + 10000; }, "ten seconds on"));
  ExpectStopIsTheCapturesFrame(show, "--data " + kSource + "/data", 7);
  show.session.Type("\x1b[6~");
  ASSERT_TRUE(show.Until([&] { return show.ShownTime() > paused + 10000; }, "the next scene"));
  ExpectStopIsTheCapturesFrame(show, "--data " + kSource + "/data", 7);
  // Other keys do nothing; q ends it.
  show.session.Type("x\x1b[A");
  show.session.Type("q");
  ExpectTerminalGivenBack(show);
}

// A copy of Lanterns, and its script with the first scene's drawing replaced.
struct LanternsCopy {
  ScratchDirectory scratch;
  fs::path dir = scratch.path() / "lanterns";
  std::string script;
  LanternsCopy() {
    fs::copy(kSource + "/shows/lanterns", dir, fs::copy_options::recursive);
    std::ifstream in(dir / "show.js");
    std::stringstream text;
    text << in.rdbuf();
    script = text.str();
  }
  void Save(const std::string& text) const {
    const fs::path temporary = dir / "show.js.saving";
    std::ofstream(temporary) << text;
    fs::rename(temporary, dir / "show.js");  // as editors save
  }
  // Every row of the show drawn over by a plasma.
  std::string Edited() const {
    const size_t first = script.find("\nScene(") + 1;
    return script.substr(0, first) + "Scene(0, 1e9, 0, function (t) { DrawPlasma(3 * t); });\n" + script.substr(first);
  }
};

TEST(LiveEditTerminal, ASaveOfLanternsChangesThePictureAndABrokenOneKeepsItWithTheError) {
  LanternsCopy copy;
  EditedShow show({"--edit", "--seed", "3", "--start", "9000", copy.dir.string()});
  ASSERT_TRUE(show.session.Started());
  ASSERT_TRUE(show.UntilStatusHas("fps"));
  show.session.Type(" ");
  ExpectStopIsTheCapturesFrame(show, "--show " + copy.dir.string(), 3);
  const int32_t t = show.ShownTime().value_or(0);

  copy.Save(copy.Edited());
  ASSERT_TRUE(show.UntilPictureIs(CapturedFrame("--show " + copy.dir.string(), 3, t), "the saved version's frame"));
  EXPECT_EQ(show.ShownTime(), t) << "the reload goes on at the same time";

  // The last good version, for the capture tool, while the folder holds the broken one.
  const fs::path good = copy.scratch.path() / "good";
  fs::copy(copy.dir, good, fs::copy_options::recursive);
  copy.Save(copy.Edited() + "\nScene(");
  ASSERT_TRUE(show.UntilStatusHas("error: "));
  EXPECT_NE(show.Status().find("show.js:"), std::string::npos) << show.Status();
  // Still the last good version: a step shows its next frame.
  show.session.Type(".");
  ASSERT_TRUE(show.Until([&] { return show.ShownTime() > t; }, "a step"));
  ExpectStopIsTheCapturesFrame(show, "--show " + good.string(), 3);

  show.session.Type("\x1b");  // Escape ends it too
  ExpectTerminalGivenBack(show);
}

// The program itself with --sync, and an editor of the test's own on loopback: its keys, pause
// and row stop Lanterns on exactly the frame the capture tool shows from the track files the
// show then writes when the editor saves.
TEST(LiveEditTerminal, LanternsFollowsASyncTrackerAndStopsOnTheCapturesFrameOfTheFilesItSaves) {
  LanternsCopy copy;
  ScriptedEditor editor;
  ASSERT_TRUE(editor.Listening());
  EditedShow show({"--edit", "--seed", "3", "--sync", std::to_string(editor.Port()), copy.dir.string()});
  ASSERT_TRUE(show.session.Started());
  const ScriptedEditor::Pump pump = [&] { show.session.DrainNow(); };
  ASSERT_TRUE(editor.Accept(pump));
  ASSERT_EQ(editor.Read(19, pump), "hello, synctracker!");
  ASSERT_TRUE(editor.Send("hello, demo!"));
  const std::string asked = GetTrack("title:fade") + GetTrack("lantern:sway") + GetTrack("banner:slide");
  ASSERT_EQ(editor.Read(asked.size(), pump), asked);
  // The banner slides out and half back; row 140 is 17.5 s, in its scene.
  ASSERT_TRUE(editor.Send(SetKey(2, 128, 0.0f, 1) + SetKey(2, 144, 1.0f, 1) + SetKey(2, 160, 0.5f, 0) + Pause(true) +
                          SetRow(140)));
  ASSERT_TRUE(show.Until([&] { return show.ShownTime() == 17500 && show.Status().find("paused") != std::string::npos; },
                         "the editor's row, paused"));
  ASSERT_TRUE(editor.Send(kSaveTracks));
  const auto fileIs = [&](const char* name, const std::vector<TrackKey>& keys) {
    return ReadAll((copy.dir / name).string()) == EncodeTrackFile(keys);
  };
  ASSERT_TRUE(show.Until(
      [&] {
        return fileIs("sync_banner-3Aslide.track", {{128, 0.0f, TrackInterpolation::kLinear},
                                                    {144, 1.0f, TrackInterpolation::kLinear},
                                                    {160, 0.5f, TrackInterpolation::kStep}}) &&
               fileIs("sync_title-3Afade.track", {}) && fileIs("sync_lantern-3Asway.track", {});
      },
      "the track files saved"));
  EXPECT_TRUE(show.UntilPictureIs(CapturedFrame("--show " + copy.dir.string(), 3, 17500), "the capture's frame"));
  show.session.Type("q");
  ExpectTerminalGivenBack(show);
}

TEST(LiveEditTerminal, CtrlCEndsItWithTheTerminalGivenBack) {
  EditedShow show({"--edit", "--seed", "1"});
  ASSERT_TRUE(show.session.Started());
  ASSERT_TRUE(show.UntilStatusHas("fps"));
  show.session.Type("\x03");
  const int status = show.session.Wait();
  EXPECT_TRUE(status == 0 || status == 128 + SIGINT) << status;
  EXPECT_EQ(show.session.CurrentModes().c_lflag, show.session.InitialModes().c_lflag);
}

}  // namespace
#endif
