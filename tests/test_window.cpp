// The window back end: where the picture goes in a window of any size, and, on an X server
// of the tests' own, the window itself: its title, its pixels, its keys and its endings.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <memory>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <filesystem>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "backends/window_layout.h"
#include "capture_run.h"
#include "demo_test_support.h"
#include "png_io.h"
#include "programs/window_show_frame.h"
#include "quorvel4/backend.h"
#include "quorvel4/raster.h"
#include "x_display.h"

namespace {

void ExpectRect(const PictureRect& got, int x, int y, int width, int height, bool whole, int enlarged) {
  EXPECT_EQ(got.x, x);
  EXPECT_EQ(got.y, y);
  EXPECT_EQ(got.width, width);
  EXPECT_EQ(got.height, height);
  EXPECT_EQ(got.wholeMultiple, whole);
  EXPECT_EQ(got.enlarged, enlarged);
}

TEST(WindowLayout, WholeMultiplesWhereTheyFillMostOfTheWindowOtherwiseTheFittedSize) {
  ExpectRect(FitPicture(640, 600), 0, 0, 640, 600, true, 1);
  ExpectRect(FitPicture(1920, 1080), 384, 0, 1152, 1080, false, 2);  // 1x would fill only 56 %
  ExpectRect(FitPicture(1366, 768), 273, 0, 819, 768, false, 2);
  ExpectRect(FitPicture(1279, 1200), 0, 0, 1279, 1199, false, 2);
  ExpectRect(FitPicture(1280, 1200), 0, 0, 1280, 1200, true, 2);
  ExpectRect(FitPicture(1600, 1400), 160, 100, 1280, 1200, true, 2);  // 2x fills 86 %
  ExpectRect(FitPicture(1600, 1381), 160, 90, 1280, 1200, true, 2);
  ExpectRect(FitPicture(800, 750), 80, 75, 640, 600, true, 1);           // 1x fills exactly 80 %
  ExpectRect(FitPicture(801, 751), 0, 0, 801, 750, false, 2);
  ExpectRect(FitPicture(3840, 2160), 960, 180, 1920, 1800, true, 3);  // 3x fills 83 %
  ExpectRect(FitPicture(2560, 1600), 427, 0, 1706, 1600, false, 3);
  ExpectRect(FitPicture(320, 600), 0, 150, 320, 300, false, 1);
  ExpectRect(FitPicture(640, 300), 160, 0, 320, 300, false, 1);
  ExpectRect(FitPicture(0, 0), 0, 0, 1, 1, false, 1);  // a window with no area yet
}

// A renderer that cannot draw into a texture keeps to whole multiples.
TEST(WindowLayout, WithoutSharpBlendingOnlyWholeMultiplesOrAShrunkPicture) {
  ExpectRect(FitPicture(1920, 1080, false), 640, 240, 640, 600, true, 1);  // twice would need 1200 rows
  ExpectRect(FitPicture(2560, 1600, false), 640, 200, 1280, 1200, true, 2);
  ExpectRect(FitPicture(640, 300, false), 160, 0, 320, 300, false, 1);
}

// The terminal is preferred; the window is there whenever a display is.
TEST(WindowBackend, ComesAfterTheTerminalAndIsUsableWhereADisplayIs) {
  std::vector<std::string> names;
  const BackendEntry* window = nullptr;
  const std::vector<BackendEntry> entries = ConsoleBackends();
  for (const BackendEntry& entry : entries) {
    names.push_back(entry.name);
    if (names.back() == "window") window = &entry;
  }
  ASSERT_NE(window, nullptr);
  const auto terminal = std::find(names.begin(), names.end(), "terminal");
  EXPECT_LT(terminal - names.begin(), std::find(names.begin(), names.end(), "window") - names.begin());

  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  EXPECT_FALSE(window->usable());
  setenv("WAYLAND_DISPLAY", "wayland-0", 1);
  EXPECT_TRUE(window->usable());
  unsetenv("WAYLAND_DISPLAY");
  setenv("DISPLAY", ":7", 1);
  EXPECT_TRUE(window->usable());
  setenv("DISPLAY", "", 1);
  EXPECT_FALSE(window->usable());
}

const std::string kWindowShow = std::string(QVL_TEST_PROGRAM_DIR) + "/window_show";
const std::string kDemo = QVL_DEMO_PROGRAM;
const std::string kShowTitle = "[quenby] // [dralsk] | alt+enter for fullscreen ";
// The software renderer draws the same pixels everywhere; the window must show them exactly.
// In the sanitizer build the leak check stays off for these programs: SDL's video loads
// libdbus, which keeps its global allocations to the end and is unloaded before the check.
const std::vector<std::string> kSoftware = {"SDL_RENDER_DRIVER=software", "SDL_AUDIODRIVER=dummy",
                                            "ASAN_OPTIONS=detect_leaks=0"};

#define REQUIRE_X_SERVER(display)                                           \
  if (!xtest::XvfbDisplay::Available()) GTEST_SKIP() << "Xvfb, openbox, xdotool, xprop or import missing"; \
  ASSERT_TRUE((display).Started()) << (display).Problem()

struct Picture {
  int width = 0, height = 0;
  std::vector<uint8_t> rgb;
  const uint8_t* At(int x, int y) const { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
  bool Black(int x, int y) const { return At(x, y)[0] == 0 && At(x, y)[1] == 0 && At(x, y)[2] == 0; }
};

std::string WindowName(const xtest::XvfbDisplay& display, const std::string& window);

// The program's window: the one with a name. SDL can replace the window it made first while
// it sets up the renderer (seen under load: the first window found was gone, another had
// taken its place); the back end names the window after that.
std::string WindowOf(const xtest::XvfbDisplay& display, pid_t pid) {
  std::string found;
  xtest::Eventually([&] {
    std::istringstream ids(display.Run("xdotool search --pid " + std::to_string(pid)));
    for (std::string id; std::getline(ids, id);) {
      if (!WindowName(display, id).empty()) found = id;
    }
    return !found.empty();
  });
  return found;
}

std::string WindowName(const xtest::XvfbDisplay& display, const std::string& window) {
  std::string name = display.Run("xdotool getwindowname " + window);
  if (!name.empty() && name.back() == '\n') name.pop_back();
  return name;
}

// Waits until the window has been given the width `width` (the screen's, when maximised or
// full screen) and `state` is among its states, and `gone` is not.
testing::AssertionResult WindowBecomes(const xtest::XvfbDisplay& display, const std::string& window, int width,
                                       const std::string& state, const std::string& gone = "none") {
  std::string states, geometry;
  if (xtest::Eventually([&] {
        states = display.Run("xprop -id " + window + " _NET_WM_STATE");
        geometry = display.Run("xdotool getwindowgeometry " + window);
        const size_t at = geometry.find("Geometry: ");
        return states.find(state) != std::string::npos && states.find(gone) == std::string::npos &&
               at != std::string::npos && std::atoi(geometry.c_str() + at + 10) == width;
      })) {
    return testing::AssertionSuccess();
  }
  return testing::AssertionFailure() << "waited for " << state << ", " << width << " wide; got " << states << geometry;
}

testing::AssertionResult Maximised(const xtest::XvfbDisplay& display, const std::string& window, int width) {
  const testing::AssertionResult across =
      WindowBecomes(display, window, width, "_NET_WM_STATE_MAXIMIZED_HORZ", "_NET_WM_STATE_FULLSCREEN");
  return across ? WindowBecomes(display, window, width, "_NET_WM_STATE_MAXIMIZED_VERT") : across;
}

testing::AssertionResult FullScreen(const xtest::XvfbDisplay& display, const std::string& window, int width) {
  return WindowBecomes(display, window, width, "_NET_WM_STATE_FULLSCREEN", "_NET_WM_STATE_MAXIMIZED");
}

Picture Screenshot(const xtest::XvfbDisplay& display, const std::string& window) {
  Picture picture;
  const std::string path = testing::TempDir() + "window_" + std::to_string(getpid()) + ".png";
  display.Run("import -window " + window + " png:" + path);
  std::string error;
  EXPECT_TRUE(ReadPng(path, &picture.width, &picture.height, &picture.rgb, &error)) << error;
  std::remove(path.c_str());
  return picture;
}

std::vector<uint8_t> ExpectedFrame(int frame) {
  std::vector<Cell> cells(kScreenCells);
  FillWindowTestFrame(cells.data(), frame);
  return RasterizeCells(cells.data());
}

// Where the picture shows `expected` (the rasterised cells) at a whole multiple with black all
// around: the multiple, or 0 with `why` (the place and the count of the pixels that differ).
int ShowsRaster(const Picture& shot, const std::vector<uint8_t>& expected, std::string* why) {
  int left = shot.width, top = shot.height, right = -1, bottom = -1;
  for (int y = 0; y < shot.height; ++y)
    for (int x = 0; x < shot.width; ++x)
      if (!shot.Black(x, y)) {
        left = std::min(left, x), right = std::max(right, x);
        top = std::min(top, y), bottom = std::max(bottom, y);
      }
  const int width = right - left + 1, height = bottom - top + 1;
  const int scale = width / kRasterWidth;
  if (scale < 1 || width != scale * kRasterWidth || height != scale * kRasterHeight) {
    *why = "the picture is " + std::to_string(width) + " x " + std::to_string(height) + " at " + std::to_string(left) +
           ", " + std::to_string(top);
    return 0;
  }
  int wrong = 0;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const uint8_t* want = &expected[(static_cast<size_t>(y / scale) * kRasterWidth + x / scale) * 3];
      const uint8_t* got = shot.At(left + x, top + y);
      if (want[0] != got[0] || want[1] != got[1] || want[2] != got[2]) ++wrong;
    }
  *why = std::to_string(wrong) + " pixels differ";
  return wrong == 0 ? scale : 0;
}

// Checks that the picture shows frame `frame` at a whole multiple, with black all around;
// returns that multiple (0 when it is not there).
int ExpectShowsFrame(const Picture& shot, int frame) {
  std::string why;
  const int scale = ShowsRaster(shot, ExpectedFrame(frame), &why);
  EXPECT_NE(scale, 0) << "frame " << frame << ": " << why;
  return scale;
}

// Moves the program on to its next frame: proof that it is still running its loop.
bool NextFrame(xtest::XProgram& program, int* frame) {
  program.Send("\n");
  return program.ReadUntil("frame " + std::to_string(++*frame) + "\n");
}

TEST(WindowShow, OpensWithItsTitleShowsEveryFrameExactlyAndEndsByAKeyOrASignal) {
  xtest::XvfbDisplay display("1024x768x24", /*windowManager=*/false);
  REQUIRE_X_SERVER(display);
  {
    xtest::XProgram program(display, {kWindowShow}, kSoftware);
    ASSERT_TRUE(program.ReadUntil("frame 0\n"));
    const std::string window = WindowOf(display, program.Pid());
    ASSERT_FALSE(window.empty());
    EXPECT_EQ(WindowName(display, window), "window test");
    for (int frame = 0; frame < 4; NextFrame(program, &frame)) {
      const Picture shot = Screenshot(display, window);
      ASSERT_EQ(shot.width, kRasterWidth) << "without a window manager the window keeps its opening size";
      ASSERT_EQ(shot.height, kRasterHeight);
      EXPECT_EQ(ExpectShowsFrame(shot, frame), 1);
    }
    display.Run("xdotool key q");
    EXPECT_EQ(program.Wait(), 0);
  }
  for (int signal : {SIGINT, SIGTERM}) {
    xtest::XProgram program(display, {kWindowShow}, kSoftware);
    ASSERT_TRUE(program.ReadUntil("frame 0\n"));
    kill(program.Pid(), signal);
    EXPECT_TRUE(program.ReadUntil("show over\n")) << "the loop did not end by signal " << signal;
    EXPECT_EQ(program.Wait(), 128 + signal);
  }
}

// A program that reads keys as commands gets the window's keys as strokes: named keys with
// their modifiers, characters as the layout makes them, Ctrl with a letter; the window's own
// Alt+Enter is not passed on. Its status line goes into the title, and a signal ends it in
// order through MustEnd.
TEST(WindowShow, AProgramThatReadsKeysGetsThemAsStrokesWithItsStatusLineInTheTitle) {
  xtest::XvfbDisplay display("1024x768x24", /*windowManager=*/false);
  REQUIRE_X_SERVER(display);
  const std::string kDash = " - ";
  {
    xtest::XProgram program(display, {kWindowShow, "keys"}, kSoftware);
    const std::string window = WindowOf(display, program.Pid());
    ASSERT_FALSE(window.empty());
    EXPECT_TRUE(xtest::Eventually([&] { return WindowName(display, window) == "keys: none" + kDash + "window test"; }))
        << WindowName(display, window);
    display.Run("xdotool key Right shift+Right ctrl+Left alt+Prior bracketleft shift+a ctrl+shift+z space Escape");
    ASSERT_TRUE(program.ReadUntil("key Right\nkey S-Right\nkey C-Left\nkey A-PageUp\nkey [\nkey A\nkey C-S-z\nkey  \nkey Esc\n"));
    EXPECT_TRUE(xtest::Eventually([&] {
      return WindowName(display, window) == "keys: Right S-Right C-Left A-PageUp [ A C-S-z   Esc" + kDash + "window test";
    })) << WindowName(display, window);
    display.Run("xdotool key alt+Return q");
    EXPECT_TRUE(program.ReadUntil("key Esc\nkey q\ngiven back\n")) << "Alt+Enter was passed on";
    EXPECT_EQ(program.Wait(), 0);
  }
  xtest::XProgram program(display, {kWindowShow, "keys"}, kSoftware);
  ASSERT_FALSE(WindowOf(display, program.Pid()).empty());
  kill(program.Pid(), SIGTERM);
  EXPECT_TRUE(program.ReadUntil("must end\ngiven back\n"));
  EXPECT_EQ(program.Wait(), 128 + SIGTERM);
}

TEST(WindowShow, OpensMaximisedAndAltEnterOrF11SwitchFullScreenAtWholeMultiples) {
  xtest::XvfbDisplay display("1600x1400x24", /*windowManager=*/true);
  REQUIRE_X_SERVER(display);
  xtest::XProgram program(display, {kWindowShow}, kSoftware);
  ASSERT_TRUE(program.ReadUntil("frame 0\n"));
  const std::string window = WindowOf(display, program.Pid());
  ASSERT_TRUE(Maximised(display, window, 1600));
  int frame = 0;
  ASSERT_TRUE(NextFrame(program, &frame));  // drawn after the window took its maximised size
  EXPECT_EQ(ExpectShowsFrame(Screenshot(display, window), frame), 2);

  // Keys are handled in order: once Alt+Enter has taken effect, the modifiers before it have too.
  display.Run("xdotool key Shift_L Control_R Alt_L Super_L Caps_Lock Caps_Lock alt+Return");
  ASSERT_TRUE(FullScreen(display, window, 1600));
  ASSERT_TRUE(NextFrame(program, &frame)) << "Alt+Enter or a modifier key ended the show";
  const Picture full = Screenshot(display, window);
  EXPECT_EQ(full.width, 1600);
  EXPECT_EQ(full.height, 1400);
  EXPECT_EQ(ExpectShowsFrame(full, frame), 2);
  display.Run("xdotool key alt+Return");
  ASSERT_TRUE(Maximised(display, window, 1600)) << "the window did not come back maximised";

  display.Run("xdotool key F11");
  ASSERT_TRUE(FullScreen(display, window, 1600));
  display.Run("xdotool key F11");
  ASSERT_TRUE(Maximised(display, window, 1600));
  ASSERT_TRUE(NextFrame(program, &frame)) << "F11 ended the show";
  display.Run("xdotool key space");
  EXPECT_EQ(program.Wait(), 0);
}

// Alt+Enter pressed as fast as keys can come: each one switches, none ends the show, not even
// when the window loses the keyboard while switching; nor does an Enter right after a switch.
TEST(WindowShow, RapidAltEnterOnlySwitchesFullScreen) {
  xtest::XvfbDisplay display("1024x768x24", /*windowManager=*/true);
  REQUIRE_X_SERVER(display);
  xtest::XProgram program(display, {kWindowShow}, kSoftware);
  ASSERT_TRUE(program.ReadUntil("frame 0\n"));
  const std::string window = WindowOf(display, program.Pid());
  ASSERT_TRUE(Maximised(display, window, 1024));
  int frame = 0;
  display.Run("xdotool key --delay 0 alt+Return Return");
  ASSERT_TRUE(FullScreen(display, window, 1024));
  ASSERT_TRUE(NextFrame(program, &frame)) << "the Enter right after a switch ended the show";
  std::string presses;
  for (int i = 0; i < 50; ++i) presses += " alt+Return";
  display.Run("xdotool key --delay 0" + presses);
  // Where the window manager ends up after so many requests is its own affair.
  ASSERT_TRUE(NextFrame(program, &frame)) << "50 times Alt+Enter ended the show";
  display.Run("xdotool key q");
  EXPECT_EQ(program.Wait(), 0);
}

// Checks that a 1920 x 1080 screen shows frame `frame` at 1.8 times, 1152 x 1080 in the
// middle with black bars at the sides, drawn from a nearest-neighbour enlargement: where the
// picture has one colour all around, the pixel has it exactly, and each edge is at most one
// blended pixel wide (a picture blended straight from its own size blurs edges over two).
void ExpectFittedSharply(const Picture& shot, int frame) {
  constexpr int kLeft = 384, kWidth = 1152, kHeight = 1080;
  ASSERT_TRUE(shot.width == 1920 && shot.height == kHeight);
  const std::vector<uint8_t> expected = ExpectedFrame(frame);
  auto source = [&](int x, int y) {
    return &expected[(static_cast<size_t>(std::clamp(y, 0, kRasterHeight - 1)) * kRasterWidth +
                      std::clamp(x, 0, kRasterWidth - 1)) * 3];
  };
  auto same = [](const uint8_t* a, const uint8_t* b) { return a[0] == b[0] && a[1] == b[1] && a[2] == b[2]; };
  int edges = 0, bars = 0, wrong = 0, blended = 0;
  for (int y = 0; y < kRasterHeight; ++y)
    for (int x = 0; x < kRasterWidth; ++x)
      edges += !same(source(x, y), source(x + 1, y)) + !same(source(x, y), source(x, y + 1));
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < shot.width; ++x) {
      if (x < kLeft || x >= kLeft + kWidth) {
        bars += !shot.Black(x, y);
        continue;
      }
      // The picture pixel under this pixel's centre, and its eight neighbours.
      const int sx = (2 * (x - kLeft) + 1) * kRasterWidth / (2 * kWidth), sy = (2 * y + 1) * kRasterHeight / (2 * kHeight);
      const uint8_t* got = shot.At(x, y);
      bool uniform = true, pictureColour = false;
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
          uniform &= same(source(sx + dx, sy + dy), source(sx, sy));
          pictureColour |= same(source(sx + dx, sy + dy), got);
        }
      wrong += uniform && !same(got, source(sx, sy));
      blended += !pictureColour;
    }
  EXPECT_EQ(bars, 0) << "the bars are not black";
  EXPECT_EQ(wrong, 0) << "pixels away from edges differ from frame " << frame;
  // One blended pixel per edge in each of the 1.8 rows or columns of the screen it spans.
  EXPECT_LE(blended * 5, edges * 9) << blended << " blended pixels for " << edges << " edges";
}

TEST(WindowShow, FillsAFullHdScreenAtTheFittedSizeAndStaysCrisp) {
  xtest::XvfbDisplay display("1920x1080x24", /*windowManager=*/true);
  REQUIRE_X_SERVER(display);
  xtest::XProgram program(display, {kWindowShow}, kSoftware);
  ASSERT_TRUE(program.ReadUntil("frame 0\n"));
  const std::string window = WindowOf(display, program.Pid());
  ASSERT_TRUE(Maximised(display, window, 1920));
  display.Run("xdotool key F11");
  ASSERT_TRUE(FullScreen(display, window, 1920));
  int frame = 0;
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(NextFrame(program, &frame));  // drawn after the window took the whole screen
    ExpectFittedSharply(Screenshot(display, window), frame);
  }
  display.Run("xdotool key q");
  EXPECT_EQ(program.Wait(), 0);
}

TEST(WindowShow, TheShowPlaysInTheWindowWithItsTitleUntilTheCloseButton) {
  xtest::XvfbDisplay display("1024x768x24", /*windowManager=*/true);
  REQUIRE_X_SERVER(display);
  xtest::XProgram demo(display, {kDemo, "--window"}, kSoftware, QVL_SOURCE_DIR);
  const std::string window = WindowOf(display, demo.Pid());
  ASSERT_FALSE(window.empty());
  EXPECT_TRUE(xtest::Eventually([&] { return WindowName(display, window) == kShowTitle; }))
      << "the title of " << window << " on " << display.Name() << " is \"" << WindowName(display, window)
      << "\"; the show's windows now: " << display.Run("xdotool search --pid " + std::to_string(demo.Pid()));
  ASSERT_TRUE(Maximised(display, window, 1024));
  ASSERT_TRUE(demo.Running());
  // The window manager's title bar is as high as its top frame extent; the close button is
  // its rightmost square.
  const std::string extents = display.Run("xprop -id " + window + " _NET_FRAME_EXTENTS");
  int left = 0, right = 0, top = 0, bottom = 0;
  ASSERT_EQ(std::sscanf(extents.c_str(), "_NET_FRAME_EXTENTS(CARDINAL) = %d, %d, %d, %d", &left, &right, &top, &bottom), 4)
      << extents;
  ASSERT_GT(top, 4);
  display.Run("xdotool mousemove " + std::to_string(1024 - top / 2) + " " + std::to_string(top / 2) + " click 1");
  EXPECT_EQ(demo.Wait(), 0);
}

// The X server goes away under a program's window: the program ends with one line of its
// own and status 1, not with Xlib's "XIO: fatal IO error" lines, and not by a crash while it
// gives the window back.
TEST(WindowShow, EndsWithALineOfItsOwnWhenItsXServerGoesAway) {
  const std::string tools = QVL_TOOLS_DIR;
  const std::string picture = std::string(QVL_SOURCE_DIR) + "/docs/preview.png";
  for (const std::string& command : {kDemo + " --window", tools + "/quorvel4-testcard --window",
                                     tools + "/quorvel4-view --window " + picture}) {
    SCOPED_TRACE(command);
    auto display = std::make_unique<xtest::XvfbDisplay>("1024x768x24", /*windowManager=*/false);
    REQUIRE_X_SERVER(*display);
    ScratchDirectory scratch;
    const std::string errors = scratch.File("stderr.txt");
    xtest::XProgram program(*display, {"sh", "-c", "exec " + command + " 2>" + errors}, kSoftware, QVL_SOURCE_DIR);
    // The program has titled its window: it is past its start and showing.
    const std::string window = WindowOf(*display, program.Pid());
    ASSERT_FALSE(window.empty()) << ReadAll(errors);
    ASSERT_TRUE(program.Running()) << ReadAll(errors);
    display.reset();  // the server ends (SIGTERM), and its connections with it
    EXPECT_EQ(program.Wait(), 1) << ReadAll(errors);
    const std::string said = ReadAll(errors);
    const std::string path = command.substr(0, command.find(' '));
    const std::string name = path.substr(path.rfind('/') + 1);
    EXPECT_EQ(said, name + ": the window's display went away (the connection to its X server broke)\n");
  }
}

// Runs a program without a display (or with `display`, where no X server answers) and without
// a runtime folder (su, a service), standard output into a pipe; returns what it wrote. SDL
// picks its video driver itself, as it does for a user, and a program that would wait for a
// key is stopped after a while (status 124).
std::string RunWithoutDisplay(const std::string& command, int* status, const std::string& environment = "") {
  return CommandOutput("env -u DISPLAY -u WAYLAND_DISPLAY -u XDG_RUNTIME_DIR -u SDL_VIDEODRIVER -u QVL_BACKEND SDL_AUDIODRIVER=dummy "
                       "ASAN_OPTIONS=detect_leaks=0 " + environment + " timeout 20 " + command + " 2>&1 </dev/null",
                       status);
}

std::string DemoWithoutDisplay(const std::string& arguments, int* status, const std::string& environment = "") {
  return RunWithoutDisplay(kDemo + " " + arguments, status, environment);
}

// No window that nobody sees: without a reachable display the window is refused at once, by
// the show and by the tools, whatever SDL would fall back on.
TEST(WindowBackend, WithoutAReachableDisplayIsRefusedNotPlayedUnseen) {
  const std::string tools = QVL_TOOLS_DIR;
  const std::string picture = std::string(QVL_SOURCE_DIR) + "/docs/preview.png";
  for (const std::string environment : {"", "DISPLAY=:4093"}) {
    for (const std::string& command : {kDemo + " --window", tools + "/quorvel4-testcard --window", tools + "/quorvel4-view --window " + picture}) {
      int status = 0;
      const std::string output = RunWithoutDisplay(command, &status, environment);
      EXPECT_EQ(status, 1) << command << " with " << environment << ": " << output;
      EXPECT_NE(output.find("cannot open a window"), std::string::npos) << command << ": " << output;
      // SDL's probe for Wayland finds no runtime folder: the library's note on it is not the user's.
      EXPECT_EQ(output.find("XDG_RUNTIME_DIR"), std::string::npos) << command << ": " << output;
    }
  }
}

// Appends what has arrived on `fd` to `output` without waiting; true once the writer has
// closed it.
bool ReadWhatArrived(int fd, std::string* output) {
  char buffer[256];
  pollfd in{fd, POLLIN, 0};
  if (poll(&in, 1, 0) <= 0) return false;
  const ssize_t n = read(fd, buffer, sizeof buffer);
  if (n > 0) output->append(buffer, static_cast<size_t>(n));
  return n <= 0;
}

// SIGTERM ends the show in order: the program's closing line is written after the display is
// given back, and only then does the process end by the signal.
TEST(WindowBackend, ASignalEndsTheProcessOnlyAfterTheClosingLines) {
  int out = -1;
  const pid_t pid = xtest::Spawn({kWindowShow}, xtest::Environment({"SDL_VIDEODRIVER=offscreen", "SDL_RENDER_DRIVER=software", "ASAN_OPTIONS=detect_leaks=0"}),
                                 nullptr, &out, false);
  ASSERT_GT(pid, 0);
  std::string output;
  bool ended = false;
  const bool shown = xtest::Eventually([&] {
    ended = ReadWhatArrived(out, &output);
    return ended || output.find("frame 0\n") != std::string::npos;
  });
  kill(pid, SIGTERM);
  xtest::Eventually([&] { return ended || (ended = ReadWhatArrived(out, &output)); });
  EXPECT_EQ(xtest::WaitForExit(pid), 128 + SIGTERM);
  close(out);
  ASSERT_TRUE(shown) << output;
  EXPECT_NE(output.find("show over\ngiven back\n"), std::string::npos) << "died before its closing line: " << output;
}

// Asked for by name, a driver that draws into memory is taken (a test or a recording might).
TEST(WindowBackend, AnOffscreenDriverNamedExplicitlyIsTaken) {
  int out = -1;
  const pid_t pid = xtest::Spawn({kWindowShow}, xtest::Environment({"SDL_VIDEODRIVER=offscreen", "SDL_RENDER_DRIVER=software", "ASAN_OPTIONS=detect_leaks=0"}),
                                 nullptr, &out, false);
  ASSERT_GT(pid, 0);
  std::string output;
  const bool shown = xtest::Eventually([&] {
    if (ReadWhatArrived(out, &output)) return true;  // ended: the expectation below says how
    return output.find("frame 0\n") != std::string::npos;
  });
  kill(pid, SIGTERM);
  EXPECT_EQ(xtest::WaitForExit(pid), 128 + SIGTERM);
  close(out);
  EXPECT_TRUE(shown && output.find("frame 0\n") != std::string::npos) << "the first frame was not shown: " << output;
}

TEST(DemoOptions, ChooseTheDisplayAndSayWhyWhenThereIsNone) {
  int status = 0;
  EXPECT_EQ(DemoWithoutDisplay("", &status),
            "quorvel4-demo: standard output is not a terminal; run the show in a terminal of at least 80 x 50 cells.\n");
  EXPECT_EQ(status, 1);
  const std::string window = DemoWithoutDisplay("--window", &status);
  EXPECT_EQ(status, 1);
  EXPECT_NE(window.find("cannot open a window"), std::string::npos) << window;
  EXPECT_NE(window.find("neither DISPLAY nor WAYLAND_DISPLAY is set"), std::string::npos) << window;

  const std::string help = DemoWithoutDisplay("--help", &status);
  EXPECT_EQ(status, 0);
  for (const char* listed : {"--backend NAME", "--window", "--terminal", "    terminal ", "    window ", "    headless "})
    EXPECT_NE(help.find(listed), std::string::npos) << listed << " is not in the help:\n" << help;
  for (const char* bad : {"--windows", "--window --terminal", "--backend window --backend=terminal", "--backend", "one two"}) {
    const std::string output = DemoWithoutDisplay(bad, &status);
    EXPECT_EQ(status, 2) << bad;
    EXPECT_NE(output.find("usage: quorvel4-demo"), std::string::npos) << bad;
  }
}

// Any back end of the table by name, on the command line or in QVL_BACKEND; the command line
// wins; a name the build does not have is refused with the names it has.
TEST(DemoOptions, ABackEndIsChosenByNameFromTheOptionsOrTheEnvironment) {
  int status = 0;
  const std::string kNotATerminal = "standard output is not a terminal";
  EXPECT_NE(DemoWithoutDisplay("--backend terminal", &status, "QVL_BACKEND=window").find(kNotATerminal), std::string::npos);
  EXPECT_EQ(status, 1);
  EXPECT_NE(DemoWithoutDisplay("--backend=window", &status).find("cannot open a window"), std::string::npos);
  EXPECT_EQ(status, 1);
  EXPECT_NE(DemoWithoutDisplay("", &status, "QVL_BACKEND=window").find("cannot open a window"), std::string::npos);
  EXPECT_EQ(status, 1);
  const std::string tools = QVL_TOOLS_DIR;
  for (const auto& [command, environment] : {std::pair<std::string, std::string>{kDemo + " --backend vga", ""},
                                             {kDemo, "QVL_BACKEND=vga"},
                                             {tools + "/quorvel4-testcard --backend vga", ""},
                                             {tools + "/quorvel4-view --backend vga picture.png", ""}}) {
    const std::string output = RunWithoutDisplay(command, &status, environment);
    EXPECT_EQ(status, 2) << command << " " << environment;
    EXPECT_NE(output.find("no back end \"vga\" in this build; choose one of: terminal, window, headless"),
              std::string::npos)
        << command << " " << environment << ":\n" << output;
  }
}


// Live editing in the window: the title carries the status line, the keys are commands, a stop
// shows exactly the capture tool's frame at its time, and a save shows the new version there.
std::string LiveScript(const std::string& word) {
  return "Title('live window');\nvar n = 0;\nScene(0, 60000, 1, function (t) {\n"
         "  n++; MoveSwarm(); DrawSwarm(); Convert2x2(); PrintAt(0, 0, '" + word + " ' + n); return true;\n});\n";
}

std::vector<uint8_t> CapturedRaster(const std::string& dir, int32_t t) {
  ScratchDirectory scratch;
  const std::string out = scratch.File("frames.cells");
  const ToolRun run = Capture("--show " + dir + " --seed 4 --times 0:" + std::to_string(t) + " --format cells --out " + out, scratch);
  EXPECT_EQ(run.status, 0) << run.errors;
  const std::string bytes = ReadAll(out);
  std::vector<Cell> cells(kScreenCells);
  if (bytes.size() >= sizeof(Cell) * kScreenCells)
    std::memcpy(cells.data(), bytes.data() + bytes.size() - sizeof(Cell) * kScreenCells, sizeof(Cell) * kScreenCells);
  return RasterizeCells(cells.data());
}

// The window at its opening size (no window manager) shows `expected` pixel for pixel.
bool ShowsExactly(const Picture& shot, const std::vector<uint8_t>& expected, std::string* why) {
  if (shot.width != kRasterWidth || shot.height != kRasterHeight) {
    *why = "the window is " + std::to_string(shot.width) + " x " + std::to_string(shot.height);
    return false;
  }
  const bool same = shot.rgb == expected;
  *why = same ? "" : "the pixels differ";
  return same;
}

int32_t TimeInTitle(const std::string& title) {
  int minutes = 0, seconds = 0, ms = 0;
  return std::sscanf(title.c_str(), "%d:%d.%d", &minutes, &seconds, &ms) == 3 ? minutes * 60000 + seconds * 1000 + ms : -1;
}

TEST(WindowShow, EditModeReadsKeysAndItsStopsAndReloadsAreTheCapturesFrames) {
  xtest::XvfbDisplay display("1024x768x24", /*windowManager=*/false);
  REQUIRE_X_SERVER(display);
  ScratchDirectory scratch;
  const std::filesystem::path dir = scratch.path() / "show";
  std::filesystem::create_directories(dir);
  std::ofstream(dir / "show.js") << LiveScript("A");
  xtest::XProgram demo(display, {kDemo, "--window", "--edit", "--seed", "4", "--start", "2000", dir.string()}, kSoftware);
  const std::string window = WindowOf(display, demo.Pid());
  ASSERT_FALSE(window.empty());
  std::string title;
  ASSERT_TRUE(xtest::Eventually([&] { return (title = WindowName(display, window)).find("fps") != std::string::npos; }))
      << title;
  display.Run("xdotool key space");
  ASSERT_TRUE(xtest::Eventually([&] { return (title = WindowName(display, window)).find("paused") != std::string::npos; }))
      << title;
  const int32_t t = TimeInTitle(title);
  ASSERT_GE(t, 2000) << title;
  std::string why;
  const std::vector<uint8_t> paused = CapturedRaster(dir.string(), t);
  EXPECT_TRUE(xtest::Eventually([&] { return ShowsExactly(Screenshot(display, window), paused, &why); })) << why;

  // Right: a second on, still paused.
  display.Run("xdotool key Right");
  ASSERT_TRUE(xtest::Eventually([&] { return TimeInTitle(title = WindowName(display, window)) == t + 1000; })) << title;
  const std::vector<uint8_t> later = CapturedRaster(dir.string(), t + 1000);
  EXPECT_TRUE(xtest::Eventually([&] { return ShowsExactly(Screenshot(display, window), later, &why); })) << why;

  // A save: the new version at the same time.
  std::ofstream(dir / "show.js.new") << LiveScript("B");
  std::filesystem::rename(dir / "show.js.new", dir / "show.js");
  const std::vector<uint8_t> saved = CapturedRaster(dir.string(), t + 1000);
  EXPECT_TRUE(xtest::Eventually([&] { return ShowsExactly(Screenshot(display, window), saved, &why); })) << why;

  display.Run("xdotool key x Up q");
  EXPECT_EQ(demo.Wait(), 0);
}

}  // namespace
