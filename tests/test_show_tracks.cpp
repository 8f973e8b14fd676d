// A show's sync tracks without an editor: the names its script asks for, known when it loads,
// their keys read from the folder's track files or project, track() in the scenes, and the
// second show played from its files the same as from its keys written out by hand.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "demo/frame.h"
#include "demo/show_script.h"
#include "demo/show_session.h"
#include "demo/show_tracks.h"
#include "demo_test_support.h"
#include "live_show_support.h"

namespace {

namespace fs = std::filesystem;

const std::string kLanterns = std::string(QVL_SOURCE_DIR) + "/shows/lanterns";

std::string TopLine(const std::vector<Cell>& cells, int length = 40) {
  std::string text;
  for (int i = 0; i < length; ++i) text += static_cast<char>(CellCharacter(cells[static_cast<size_t>(i)]));
  return text.substr(0, text.find_last_not_of(std::string(" \0", 2)) + 1);
}

// The frames of `times` of the show in `dir`, or the start-up's error.
std::vector<uint64_t> Frames(const std::string& dir, const std::vector<int32_t>& times, std::string& error,
                             std::vector<std::string>* topLines = nullptr) {
  error.clear();
  HeadlessBackend* screen = UseHeadlessConsole();
  ShowSettings settings;
  settings.seed = 3;
  settings.times = times;
  settings.showDir = dir;
  ShowSession session(settings);
  std::vector<uint64_t> frames;
  if (!session.Open(error)) return frames;
  while (session.Step()) {
    frames.push_back(FrameHash(screen->LastFrame()));
    if (topLines) topLines->push_back(TopLine(screen->LastFrame()));
  }
  if (session.Report().end == ShowEnd::kFailed) error = session.State().failure;
  return frames;
}

const char* kPrintingScene =
    "Scene(0, 5000, 1, function (t) {\n"
    "  PrintAt(0, 0, 'x=' + track('cam:x').toFixed(3) + ' y=' + track(\"cam:y\").toFixed(3));\n"
    "  return true;\n"
    "});\n";

void WriteFile(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

}  // namespace

TEST(ShowTracks, TheNamesPassedToTrackAsLiteralsAreTheShowsTracksInTheOrderTheyFirstAppear) {
  const std::string source =
      "var a = track('b:one') + track(\"a:two\");  // track('in:comment')\n"
      "/* track('in:block') */ var s = \"track('in:string')\";\n"
      "me.track('a:method'); backtrack('a:suffix'); track_('a:other'); track ( 'b:one' ) ;\n"
      "track( \"c:spaced\" ); track('with\\\\escape'); track(name); track('');\n"
      "function f() { return track('d:in/function') * 2; }\n";
  EXPECT_EQ(TrackNamesInSource(source),
            (std::vector<std::string>{"b:one", "a:two", "c:spaced", "d:in/function"}));
  EXPECT_TRUE(TrackNamesInSource("track('unclosed").empty());
}

TEST(ShowTracks, ScenesReadTheKeysOfTheTrackFilesAndATrackWithoutAFileIsZero) {
  ScratchDirectory scratch;
  const fs::path dir = scratch.path() / "show";
  WriteFile(dir / "show.js", std::string("Tempo(120, 4);\n") + kPrintingScene);
  // 8 rows a second: the frame at 1000 ms is row 8, halfway between the keys of rows 0 and 16.
  WriteFile(dir / "sync_cam-3Ax.track",
            EncodeTrackFile({{0, 1.0f, TrackInterpolation::kLinear}, {16, 3.0f, TrackInterpolation::kStep}}));
  std::string error;
  std::vector<std::string> lines;
  Frames(dir.string(), {1000, 1500, 3000}, error, &lines);
  ASSERT_TRUE(error.empty()) << error;
  EXPECT_EQ(lines, (std::vector<std::string>{"x=2.000 y=0.000", "x=2.500 y=0.000", "x=3.000 y=0.000"}));

  // A project instead, and an other base; the project's tracks the show does not use are left.
  WriteFile(dir / "show.js", std::string("Tempo(60, 2);\nTrackSource('edit/keys.rocket');\n") + kPrintingScene);
  WriteFile(dir / "edit/keys.rocket",
            "<?xml version=\"1.0\"?>\n<sync rows=\"64\"><tracks>\n"
            "<track name=\"cam:y\"><key row=\"2\" value=\"-4\" interpolation=\"0\"/></track>\n"
            "<track name=\"unused\"><key row=\"0\" value=\"9\" interpolation=\"0\"/></track>\n"
            "</tracks></sync>\n");
  lines.clear();
  Frames(dir.string(), {500, 1500}, error, &lines);
  ASSERT_TRUE(error.empty()) << error;
  EXPECT_EQ(lines, (std::vector<std::string>{"x=0.000 y=-4.000", "x=0.000 y=-4.000"}));
}

TEST(ShowTracks, WhatIsWrongWithATrackOrItsFileStopsTheStartUpNamingTheFileOrThePlace) {
  ScratchDirectory scratch;
  const fs::path dir = scratch.path() / "show";
  std::string error;
  WriteFile(dir / "show.js", std::string("Tempo(120, 4);\n") + kPrintingScene);
  WriteFile(dir / "sync_cam-3Ay.track", std::string("\x05\x00\x00\x00", 4) + std::string(9, '\0'));
  Frames(dir.string(), {100}, error);
  EXPECT_NE(error.find("sync_cam-3Ay.track"), std::string::npos) << error;

  fs::remove(dir / "sync_cam-3Ay.track");
  WriteFile(dir / "show.js", kPrintingScene);
  Frames(dir.string(), {100}, error);
  EXPECT_NE(error.find("show.js: the show asks for the track \"cam:x\" but declares no tempo"), std::string::npos)
      << error;

  // A name made while the show plays was not known when it loaded.
  WriteFile(dir / "show.js",
            "Tempo(120, 4);\nvar n = 'cam:';\nScene(0, 5000, 1, function (t) { track(n + 'z'); });\n");
  Frames(dir.string(), {100}, error);
  EXPECT_NE(error.find("the show has no track \"cam:z\""), std::string::npos) << error;
  EXPECT_NE(error.find("show.js:3"), std::string::npos) << error;

  // Asked for in the program, it is known.
  WriteFile(dir / "show.js", "Tempo(120, 4);\nvar n = 'cam:';\ntrack(n + 'z');\n"
                             "Scene(0, 5000, 1, function (t) { PrintAt(0, 0, 'z=' + track(n + 'z')); return true; });\n");
  std::vector<std::string> lines;
  Frames(dir.string(), {100}, error, &lines);
  EXPECT_TRUE(error.empty()) << error;
  EXPECT_EQ(lines, (std::vector<std::string>{"z=0"}));

  WriteFile(dir / "show.js", std::string("Tempo(120, 4);\nTrackSource('../keys');\n") + kPrintingScene);
  Frames(dir.string(), {100}, error);
  EXPECT_NE(error.find("TrackSource"), std::string::npos) << error;
}

TEST(ShowTracks, AHostThatFetchesAShowsFilesIsToldOfTheTrackFilesToo) {
  ScratchDirectory scratch;
  const fs::path dir = scratch.path() / "show";
  WriteFile(dir / "show.js", std::string("Tempo(120, 4);\n") + kPrintingScene);
  const std::vector<std::string> files = DiscoverShowFiles(dir.string());
  EXPECT_EQ(files, (std::vector<std::string>{"sync_cam-3Ax.track", "sync_cam-3Ay.track"}));
}

// The second show draws from its three track files exactly what its script draws with each
// track's keys written out as the formula they stand for.
TEST(ShowTracks, TheSecondShowFromItsTrackFilesIsTheShowWithTheirKeysWrittenOut) {
  ScratchDirectory scratch;
  const fs::path copy = scratch.path() / "lanterns";
  fs::copy(kLanterns, copy, fs::copy_options::recursive);
  std::ifstream in(copy / "show.js");
  std::string script((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // Every call, and the comment that shows one.
  const auto replace = [&](const std::string& call, const std::string& formula) {
    ASSERT_NE(script.find(call), std::string::npos) << call;
    for (size_t at; (at = script.find(call)) != std::string::npos;) script.replace(at, call.size(), formula);
  };
  // title:fade: linear from 0 at row 0 to 1 at row 20, then 1. lantern:sway: smooth from 1 at
  // row 32 to 4 at row 48, smooth to 2 at row 64. banner:slide: smooth from 0 at row 128 to 1
  // at row 160.
  replace("track(\"title:fade\")", "Math.min(1, Row(t) / 20)");
  replace("track(\"lantern:sway\")",
          "(Row(t) < 48 ? smooth(Row(t), 32, 1, 48, 4) : smooth(Row(t), 48, 4, 64, 2))");
  replace("track(\"banner:slide\")", "smooth(Row(t), 128, 0, 160, 1)");
  script += "function smooth(r, r0, v0, r1, v1) { var u = (r - r0) / (r1 - r0); return v0 + (v1 - v0) * (u * u * (3 - 2 * u)); }\n";
  for (const char* track : {"sync_title-3Afade.track", "sync_lantern-3Asway.track", "sync_banner-3Aslide.track"})
    ASSERT_TRUE(fs::remove(copy / track)) << track;
  std::ofstream(copy / "show.js", std::ios::trunc) << script;

  std::vector<int32_t> times;
  for (int32_t t = 100; t < 2500; t += 200) times.push_back(t);
  for (int32_t t = 4017; t < 8000; t += 250) times.push_back(t);
  for (int32_t t = 16033; t < 20000; t += 250) times.push_back(t);
  std::string error;
  const std::vector<uint64_t> fromFiles = Frames(kLanterns, times, error);
  ASSERT_TRUE(error.empty()) << error;
  const std::vector<uint64_t> writtenOut = Frames(copy.string(), times, error);
  ASSERT_TRUE(error.empty()) << error;
  ASSERT_EQ(fromFiles.size(), times.size());
  EXPECT_EQ(fromFiles, writtenOut);
}
