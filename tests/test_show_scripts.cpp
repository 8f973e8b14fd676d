// Shows of one's own: a folder with a show.js, loaded and played by the session every program
// runs. A show is code from strangers: every bad input gets one message naming the place, the
// console is given back, and the script reaches nothing outside its folder.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "capture_run.h"
#include "demo/picture_encode.h"
#include "demo/show_api.h"
#include "demo/show_script.h"
#include "demo/show_session.h"
#include "demo_test_support.h"
#include "quorvel4/console.h"

namespace {

namespace fs = std::filesystem;

void WriteText(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

// A show folder holding `script` as its show.js and a 160 x 100 PNG "pic.png" of one colour.
struct ShowFolderFixture {
  ScratchDirectory scratch;
  fs::path dir = scratch.path() / "show";
  explicit ShowFolderFixture(const std::string& script) {
    fs::create_directories(dir);
    WriteText(dir / "show.js", script);
    std::vector<uint8_t> rgb(160 * 100 * 3, 0);
    for (size_t i = 0; i < rgb.size(); i += 3) rgb[i] = 200;
    std::string error;
    EXPECT_TRUE(WritePngFile((dir / "pic.png").string(), rgb, 160, 100, error)) << error;
  }
  std::string Dir() const { return dir.string(); }
  std::string Script() const { return (dir / "show.js").string(); }
};

struct Outcome {
  bool opened = false;
  std::string error;  // of the start-up, or of the scene that failed
  ShowEnd end = ShowEnd::kRunning;
  int presents = 0;
  bool restored = false;
};

// The show played on a scripted clock, as capture plays it.
Outcome Play(const ShowFolderFixture& show, std::vector<int32_t> times = {500}) {
  HeadlessBackend* screen = UseHeadlessConsole();
  ShowSession session({.seed = 1, .times = std::move(times), .showDir = show.Dir(), .picturesRequired = true});
  Outcome outcome;
  outcome.opened = session.Open(outcome.error);
  if (outcome.opened) {
    session.Run([] {});
    outcome.end = session.Report().end;
    if (outcome.end == ShowEnd::kFailed) outcome.error = session.State().failure;
    session.Finish();
  }
  outcome.presents = screen->PresentCount();
  outcome.restored = screen->Restored();
  return outcome;
}

// The failure of one statement in a scene that holds t = 500.
std::string SceneError(const std::string& statement) {
  ShowFolderFixture show("Picture(\"p\", \"pic.png\");\nScene(0, 1000, 0, function (t) {\n  " + statement + ";\n});\n");
  const Outcome outcome = Play(show);
  EXPECT_TRUE(outcome.opened) << outcome.error;
  EXPECT_EQ(outcome.end, ShowEnd::kFailed) << statement;
  return outcome.error;
}

}  // namespace

TEST(ShowScripts, ASyntaxErrorNamesTheFileLineAndColumn) {
  ShowFolderFixture show("Title(\"x\");\nScene(0, 1000, 0, function (t) {\n  DrawPlasma(t) )\n});\n");
  const Outcome outcome = Play(show);
  EXPECT_FALSE(outcome.opened);
  EXPECT_EQ(outcome.error.rfind(show.Script() + ":3:17: SyntaxError", 0), 0u) << outcome.error;
  EXPECT_TRUE(outcome.restored);
  EXPECT_EQ(outcome.presents, 0) << "nothing is drawn for a show that does not load";

  ShowFolderFixture unfinished("Scene(0, 1000, 0, function (t) {\n  DrawPlasma(t);\n");
  const Outcome cut = Play(unfinished);
  EXPECT_NE(cut.error.find("show.js:2:"), std::string::npos) << cut.error;
  EXPECT_NE(cut.error.find("ends in the middle"), std::string::npos) << cut.error;
}

TEST(ShowScripts, AnExceptionInASceneStopsTheShowWithItsWindowAndTime) {
  ShowFolderFixture show("Scene(0, 1000, 3, function (t) {\n  if (t > 400) throw new Error(\"boom\");\n});\n");
  const Outcome outcome = Play(show, {100, 500, 600});
  ASSERT_TRUE(outcome.opened) << outcome.error;
  EXPECT_EQ(outcome.end, ShowEnd::kFailed);
  EXPECT_EQ(outcome.error, show.Script() + ":2:16: Error: boom (in the scene 0 < t < 1000 (scene 3), at t = 500)");
  // The two loading lines and the frame at 100; the failed frame is not shown.
  EXPECT_EQ(outcome.presents, 3);
  EXPECT_TRUE(outcome.restored);
}

TEST(ShowScripts, AnUnknownFunctionIsNamedWhereItIsCalled) {
  const std::string error = SceneError("DrawPlasmaa(t)");
  EXPECT_NE(error.find("show.js:3:3: ReferenceError"), std::string::npos) << error;
  EXPECT_NE(error.find("DrawPlasmaa"), std::string::npos) << error;
}

TEST(ShowScripts, ValuesOfTheWrongKindOrOutOfRangeNeverReachTheEffects) {
  struct Case {
    const char* statement;
    const char* says;
  };
  for (const Case c : {
           Case{"DrawPlasma(NaN)", "DrawPlasma: t is NaN; it must be a number from -100000000 to 100000000"},
           Case{"DrawPlasma(Infinity)", "DrawPlasma: t is Infinity"},
           Case{"DrawSpiral(\"3\")", "DrawSpiral: t is the string \"3\"; it must be a whole number"},
           Case{"DrawSpiral(t / 7)", "idiv(a, b) divides whole numbers"},
           Case{"BlitJitteredImage(\"p\", -1)", "BlitJitteredImage: maxShift is -1; it must be a whole number from 0 to 10000"},
           Case{"BlitImage(\"nope\")", "BlitImage: there is no picture \"nope\""},
           Case{"SetPixel(160, 0, 1)", "SetPixel: x is 160; it must be a whole number from 0 to 159"},
           Case{"GetCell(0, -1)", "GetCell: y is -1"},
           Case{"DrawLine(0, 0, 2000000000, 0, 3840)", "DrawLine: x2 is 2000000000"},
           Case{"FilterXorTime(2147483647)", "FilterXorTime: t is 2147483647"},
           Case{"PrintAt(0, 0, \"\\u4e00\")", "character 1 (U+4E00) has no glyph in code page 437"},
           Case{"DrawBigText(\"a\", 0, 0, 0, 0)", "DrawBigText: cell is missing"},
           Case{"Convert2x2(1)", "Convert2x2: takes 0 arguments; 1 were given"},
           Case{"idiv(1, 0)", "idiv: divides by 0"},
           Case{"Picture(\"q\", \"pic.png\")", "Picture: declares the show, so it can be called only by the script's program"},
       }) {
    const std::string error = SceneError(c.statement);
    EXPECT_NE(error.find(c.says), std::string::npos) << c.statement << " gave: " << error;
    EXPECT_NE(error.find("show.js:3:3: "), std::string::npos) << c.statement << " gave: " << error;
  }
}

// Every function of the table checks its arguments before it runs: called with one argument
// too many, each says so, under its own name.
TEST(ShowScripts, EveryBindingRefusesArgumentsItDoesNotTake) {
  for (const Binding& binding : ShowBindings()) {
    std::string call = std::string(binding.name) + "(";
    for (size_t i = 0; i <= binding.args.size(); ++i) call += (i ? ", " : "") + std::string("0");
    call += ")";
    const bool declares = binding.phase == BindingPhase::kDeclare;
    ShowFolderFixture show(declares ? call + ";\nScene(0, 1000, 0, function (t) {});\n"
                                    : "Scene(0, 1000, 0, function (t) {\n  " + call + ";\n});\n");
    const Outcome outcome = Play(show);
    const std::string& error = outcome.error;
    EXPECT_NE(error.find(std::string(binding.name) + ": takes"), std::string::npos) << call << " gave: " << error;
    EXPECT_TRUE(outcome.restored) << binding.name;
  }
}

TEST(ShowScripts, DrawingOutsideAScenesFunctionIsRefused) {
  ShowFolderFixture show("DrawPlasma(0);\nScene(0, 1000, 0, function (t) {});\n");
  const Outcome outcome = Play(show);
  EXPECT_FALSE(outcome.opened);
  EXPECT_NE(outcome.error.find("show.js:1:1: Error: DrawPlasma: draws, so it can be called only in a scene"),
            std::string::npos)
      << outcome.error;
}

TEST(ShowScripts, MissingFilesAreNamedWithThePlaceLookedAt) {
  ShowFolderFixture picture("Picture(\"logo\", \"logo.png\");\nScene(0, 1000, 0, function (t) {});\n");
  Outcome outcome = Play(picture);
  EXPECT_FALSE(outcome.opened);
  EXPECT_EQ(outcome.error, "the picture \"logo\": the file " + picture.Dir() + "/logo.png does not exist");
  EXPECT_TRUE(outcome.restored);

  ShowFolderFixture garbage("Picture(\"logo\", \"logo.png\");\nScene(0, 1000, 0, function (t) {});\n");
  WriteText(garbage.dir / "logo.png", "\x89PNG\r\n\x1a\n but no picture");
  outcome = Play(garbage);
  EXPECT_EQ(outcome.error.rfind("the picture file " + garbage.Dir() + "/logo.png: it is not a PNG picture that can be read", 0), 0u)
      << outcome.error;

  ShowFolderFixture text("var t = Text(\"words.txt\");\nScene(0, 1000, 0, function (t) {});\n");
  outcome = Play(text);
  EXPECT_NE(outcome.error.find(text.Dir() + "/words.txt does not exist"), std::string::npos) << outcome.error;
  EXPECT_NE(outcome.error.find("show.js:1:9"), std::string::npos) << outcome.error;

  ShowFolderFixture music("Music(\"song.mp3\");\nScene(0, 1000, 0, function (t) {});\n");
  outcome = Play(music);
  EXPECT_EQ(outcome.error, "the file " + music.Dir() + "/song.mp3 does not exist");

  ShowFolderFixture none("");
  fs::remove(none.dir / "show.js");
  outcome = Play(none);
  EXPECT_EQ(outcome.error.rfind("the folder " + none.Dir() + " holds no show: the file " + none.Dir() + "/show.js does not exist", 0),
            0u)
      << outcome.error;
}

TEST(ShowScripts, AScriptReadsOnlyRegularFilesOfItsOwnFolder) {
  ShowFolderFixture show("");
  WriteText(show.scratch.path() / "secret.txt", "password");
  fs::create_symlink(show.scratch.path() / "secret.txt", show.dir / "link.txt");
  // A folder beside it whose name begins with the show's: inside by the letters, not by the parts.
  fs::create_directories(show.scratch.path() / "show2");
  WriteText(show.scratch.path() / "show2" / "secret.txt", "password");
  fs::create_symlink("../show2/secret.txt", show.dir / "twin.txt");
  fs::create_directory_symlink(show.scratch.path() / "show2", show.dir / "twins");
  ASSERT_EQ(mkfifo((show.dir / "pipe.txt").c_str(), 0600), 0);
  struct Case {
    const char* name;
    const char* says;
  };
  for (const Case c : {Case{"../secret.txt", "is not a file name a show may use"},
                       Case{"/etc/passwd", "is not a file name a show may use"},
                       Case{"a/./b.txt", "is not a file name a show may use"},
                       Case{"nul.txt", "Windows cannot hold this name"},
                       Case{"link.txt", "leads out of the show's folder"},
                       Case{"twin.txt", "leads out of the show's folder"},
                       Case{"twins/secret.txt", "leads out of the show's folder"},
                       Case{"pipe.txt", "is not a regular file"}}) {
    WriteText(show.dir / "show.js", std::string("var s = Text(\"") + c.name + "\");\nScene(0, 1000, 0, function (t) {});\n");
    const Outcome outcome = Play(show);
    EXPECT_FALSE(outcome.opened) << c.name;
    EXPECT_NE(outcome.error.find(c.says), std::string::npos) << c.name << " gave: " << outcome.error;
    EXPECT_EQ(outcome.error.find("password"), std::string::npos);
  }
  // A link that stays inside the folder is the file it leads to.
  fs::create_directories(show.dir / "texts");
  WriteText(show.dir / "texts" / "words.txt", "words");
  fs::create_symlink("texts/words.txt", show.dir / "inner.txt");
  WriteText(show.dir / "show.js", "var s = Text(\"inner.txt\");\nScene(0, 1000, 0, function (t) {});\n");
  const Outcome inner = Play(show);
  EXPECT_TRUE(inner.opened) << inner.error;
}

TEST(ShowScripts, NoClockNoPlatformMathAndNoEngineInternals) {
  for (const char* statement : {"Date.now()", "new Date()", "Math.exp(1)", "Math.atan2(1, 2)", "Math.pow(2, 0.5)",
                                "Duktape.gc()"}) {
    const std::string error = SceneError(statement);
    EXPECT_NE(error.find("show.js:3:"), std::string::npos) << statement << " gave: " << error;
  }
  // What stays is exact: whole powers and the library's sine, the same bits everywhere.
  ShowFolderFixture show(
      "Scene(0, 1000, 0, function (t) {\n"
      "  if (Math.pow(3, 4) !== 81 || Math.pow(2, -2) !== 0.25) throw new Error('pow');\n"
      "  if (Math.sin(1) !== 0.8414709848078965 || Math.cos(0.5) !== 0.8775825618903728) throw new Error('sin');\n"
      "  if (Math.fround(0.1) !== 0.10000000149011612) throw new Error('fround');\n"
      "});\n");
  const Outcome outcome = Play(show);
  EXPECT_EQ(outcome.end, ShowEnd::kClockRanOut) << outcome.error;
}

TEST(ShowScripts, ARunawaySceneAHugeHeapAndDeepRecursionAreStopped) {
  std::string error = SceneError("while (true) {}");
  EXPECT_NE(error.find("stopped: it ran for more than 1000 ms"), std::string::npos) << error;
  EXPECT_NE(error.find("(in the scene 0 < t < 1000 (scene 0), at t = 500)"), std::string::npos) << error;

  ShowFolderFixture heap("var s = 'x';\nwhile (true) s = s + s;\n");
  Outcome outcome = Play(heap);
  EXPECT_FALSE(outcome.opened);
  EXPECT_NE(outcome.error.find("the script's heap would have grown beyond 64 MB"), std::string::npos) << outcome.error;

  error = SceneError("(function f(n) { return f(n + 1) + 1; })(0)");
  EXPECT_NE(error.find("RangeError"), std::string::npos) << error;
}

TEST(ShowScripts, PicturesOfAnySizeAreClippedToTheCanvas) {
  ShowFolderFixture show(
      "Picture(\"wide\", \"wide.png\");\n"
      "Scene(0, 1000, 0, function (t) {\n"
      "  for (var i = 0; i < 16000; ++i) canvas[i] = 0xFF0000;\n"
      "  BlitKeyedImage(\"wide\", t - 500, 0);\n"
      "  if (PictureWidth(\"wide\") !== 200) throw new Error('width');\n"
      "  throw new Error([GetPixel(0, 0), GetPixel(100, 0), GetPixel(10, 50), GetPixel(150, 0)].join());\n"
      "});\n");
  // 200 x 100: columns 0-99 green, 100-199 white, row 50 black (left out by the keyed blit).
  std::vector<uint8_t> rgb(200 * 100 * 3, 255);
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 200; ++x) {
      uint8_t* p = &rgb[(y * 200 + x) * 3];
      if (x < 100) p[0] = p[2] = 0;
      if (y == 50) p[0] = p[1] = p[2] = 0;
    }
  std::string error;
  ASSERT_TRUE(WritePngFile((show.dir / "wide.png").string(), rgb, 200, 100, error)) << error;
  // At t = 450 the window starts 50 pixels left of the picture: those columns keep the canvas.
  Outcome outcome = Play(show, {450});
  EXPECT_NE(outcome.error.find("Error: 16711680,65280,16711680,16777215 "), std::string::npos) << outcome.error;
  // At t = 560 it starts at column 60, and ends 20 pixels before the canvas's right edge.
  outcome = Play(show, {560});
  EXPECT_NE(outcome.error.find("Error: 65280,16777215,16711680,16711680 "), std::string::npos) << outcome.error;
}

TEST(ShowScripts, TheStarterShowPlaysAtOnceAndNeedsAnEmptyFolder) {
  ScratchDirectory scratch;
  const std::string dir = scratch.File("mine");
  int status = 0;
  CommandOutput(std::string(QVL_DEMO_PROGRAM) + " --new " + dir, &status);
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(fs::exists(fs::path(dir) / "show.js"));
  EXPECT_TRUE(fs::exists(fs::path(dir) / "logo.png"));
  const std::string again = CommandOutput(std::string(QVL_DEMO_PROGRAM) + " --new " + dir + " 2>&1", &status);
  EXPECT_EQ(status, 1);
  EXPECT_NE(again.find("is not empty"), std::string::npos) << again;
  // It exports every frame of its 20 seconds.
  const ToolRun run = Capture("--show " + dir + " --seed 1 --times 0:20000 --fps 10 --format cells --out " +
                                  scratch.File("cells.bin"),
                              scratch);
  EXPECT_EQ(run.status, 0) << run.errors;
  // 201 frames: the one at 20000, in no window after the last scene, ends the show.
  EXPECT_EQ(fs::file_size(scratch.File("cells.bin")), 201u * 8000u);
}

TEST(ShowScripts, AFailedExportWritesNothingAndAFailedShowSaysWhy) {
  ShowFolderFixture show("Scene(0, 1000, 0, function (t) { if (t > 500) undefinedThing(); });\n");
  const std::string out = show.scratch.File("out.bin");
  const ToolRun run = Capture("--show " + show.Dir() + " --seed 1 --times 0:1000 --format cells --out " + out, show.scratch);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.errors.find("show.js:1:47: ReferenceError"), std::string::npos) << run.errors;
  EXPECT_FALSE(fs::exists(out));
  // The live program, too: status 1 and the message, the console given back.
  int status = 0;
  const std::string said =
      CommandOutput("SDL_AUDIODRIVER=dummy " + std::string(QVL_DEMO_PROGRAM) + " --backend headless " + show.Dir(), &status);
  EXPECT_EQ(status, 1);
  EXPECT_NE(said.find("show.js:1:47: ReferenceError"), std::string::npos) << said;
}

TEST(ShowScripts, TheReferencePageIsTheBindingTables) {
  EXPECT_EQ(ReadAll(std::string(QVL_SOURCE_DIR) + "/docs/show-api.md"), ShowApiReference())
      << "docs/show-api.md is made by: quorvel4-demo --api-reference > docs/show-api.md";
}

// The gentle mode guards any show: a show that strobes black and white every frame has its
// frames held back, in the export as in the live show.
TEST(ShowScripts, TheGentleModeHoldsBackAStrobingShowsFrames) {
  ShowFolderFixture show(
      "Scene(0, 3000, 0, function (t) {\n"
      "  var light = idiv(t, 17) % 2 === 0 ? 0xFFFFFF : 0;\n"
      "  for (var i = 0; i < 16000; ++i) canvas[i] = light;\n"
      "});\n");
  const ToolRun plain = Capture("--show " + show.Dir() + " --seed 1 --times 0:3000 --format flashes", show.scratch);
  EXPECT_EQ(plain.status, 0) << plain.errors;
  EXPECT_NE(ReadAll(show.scratch.File("stdout.txt")).find("seconds fail a reading"), std::string::npos)
      << ReadAll(show.scratch.File("stdout.txt"));
  const ToolRun gentle =
      Capture("--show " + show.Dir() + " --seed 1 --times 0:3000 --format flashes --reduce-flashes", show.scratch);
  EXPECT_EQ(gentle.status, 0) << gentle.errors;
  EXPECT_NE(gentle.errors.find("frames held back by --reduce-flashes"), std::string::npos) << gentle.errors;
  EXPECT_NE(ReadAll(show.scratch.File("stdout.txt")).find("no second fails any reading"), std::string::npos)
      << ReadAll(show.scratch.File("stdout.txt"));
}
