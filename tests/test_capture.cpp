#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "capture_run.h"
#include "png_io.h"
#include "quorvel4/qvl_blockcolor.h"

namespace {

// Stand-in pictures in scratch/data; returns the --data argument that names them.
std::string StandInDataArgument(const ScratchDirectory& scratch) {
  WriteStandInData(scratch.path() / "data", 0);
  return " --data " + (scratch.path() / "data").string();
}

}  // namespace

TEST(Capture, SameSeedAndTimesGiveTheSameBytes) {
  ScratchDirectory scratch;
  WriteStandInData(scratch.path() / "data", 0);
  const std::string common = "--seed 77 --data " + (scratch.path() / "data").string() +
                             " --times 300,900,6870,18000,65000,79000,80600,84100,123000 --format cells --out ";
  ASSERT_EQ(Capture(common + scratch.File("a.cells"), scratch).status, 0);
  ASSERT_EQ(Capture(common + scratch.File("b.cells"), scratch).status, 0);
  const std::string a = ReadAll(scratch.File("a.cells"));
  EXPECT_EQ(a.size(), 9u * 8000u);
  EXPECT_EQ(a, ReadAll(scratch.File("b.cells")));

  // Another seed shakes the pictures differently (the frame at 900 is a jittered picture).
  ASSERT_EQ(Capture("--seed 78" + common.substr(common.find(" --data")) + scratch.File("c.cells"), scratch).status, 0);
  const std::string c = ReadAll(scratch.File("c.cells"));
  EXPECT_EQ(a.substr(0, 8000), c.substr(0, 8000));
  EXPECT_NE(a.substr(8000, 8000), c.substr(8000, 8000));
}

TEST(Capture, CellsAreLittleEndianAndTheEndRuleStopsTheCapture) {
  ScratchDirectory scratch;
  const ToolRun run = Capture("--seed 1" + StandInDataArgument(scratch) +
                              " --times 120000:124000:100 --format cells --out " + scratch.File("end.cells"),
                          scratch);
  ASSERT_EQ(run.status, 0) << run.errors;
  // 120000 ... 123600 are in the last scenes; 123700 ends the show and is the last frame.
  const std::string cells = ReadAll(scratch.File("end.cells"));
  ASSERT_EQ(cells.size(), 38u * 8000u);
  // The last frame is the conversion of a black Canvas: the black Cell everywhere, low byte first.
  BlockColorConverter converter;
  const Cell black = static_cast<Cell>(converter.MatchCell(0, 0, 0));
  const std::string last = cells.substr(37 * 8000);
  for (size_t i = 0; i < last.size(); i += 2) {
    ASSERT_EQ(static_cast<uint8_t>(last[i]), black & 0xFF);
    ASSERT_EQ(static_cast<uint8_t>(last[i + 1]), black >> 8);
  }
}

TEST(Capture, PngFramesAreNamedByTime) {
  ScratchDirectory scratch;
  const ToolRun run = Capture("--seed 1" + StandInDataArgument(scratch) +
                              " --times 300,2000 --format png --out " + scratch.File("frames"),
                          scratch);
  ASSERT_EQ(run.status, 0) << run.errors;
  int width = 0, height = 0;
  std::vector<uint8_t> rgb;
  std::string error;
  ASSERT_TRUE(ReadPng(scratch.File("frames/t000300.png"), &width, &height, &rgb, &error)) << error;
  EXPECT_EQ(width, 640);
  EXPECT_EQ(height, 600);
  EXPECT_TRUE(std::filesystem::exists(scratch.File("frames/t002000.png")));
}

TEST(Capture, BadArgumentsAreUsageErrors) {
  ScratchDirectory scratch;
  const std::string data = StandInDataArgument(scratch);
  const std::string out = " --out " + scratch.File("x");
  struct Case {
    std::string arguments, says;
  };
  for (const Case& c : {Case{"", "--seed is required"},
                        Case{"--seed 1 --times 0:10:0 --format cells" + data + out, "step"},
                        Case{"--seed 1 --times 10:0:1 --format cells" + data + out, "T0 <= T1"},
                        Case{"--seed 1 --times 1,x --format cells" + data + out, "\"x\""},
                        Case{"--seed -1 --times 1 --format cells" + data + out, "--seed"},
                        Case{"--seed 1 --times 1 --format webm" + data + out, "unknown format"},
                        Case{"--seed 1 --times 1 --format cells" + data, "--out is required"},
                        Case{"--seed 1 --times 1 --format cells --reduce-flashes" + data, "--out is required"},
                        Case{"--seed 1 --times 0:2000000000:1 --format cells" + data + out, "too many"},
                        Case{"--seed 1 --bogus 1", "unknown option"},
                        Case{"--seed 1 --verbose", "unknown option --verbose"},
                        Case{"--seed", "missing value after --seed"}}) {
    const ToolRun run = Capture(c.arguments, scratch);
    EXPECT_EQ(run.status, 2) << c.arguments;
    EXPECT_NE(run.errors.find(c.says), std::string::npos) << c.arguments << "\n" << run.errors;
    EXPECT_NE(run.errors.find("usage:"), std::string::npos) << c.arguments;
  }
}

TEST(Capture, MissingDataOrPictureFails) {
  ScratchDirectory scratch;
  ToolRun run = Capture("--seed 1 --data " + scratch.File("nowhere") + " --times 1 --format cells --out " +
                        scratch.File("x"),
                    scratch);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.errors.find("nowhere"), std::string::npos) << run.errors;

  WriteStandInData(scratch.path() / "data", 0);
  std::filesystem::remove(scratch.path() / "data" / "qo_160x100.raw");
  run = Capture("--seed 1 --data " + (scratch.path() / "data").string() + " --times 1 --format cells --out " +
                    scratch.File("x"),
                scratch);
  EXPECT_EQ(run.status, 1);
}

// The whole show at 10 ms steps, the way CI checks it under the sanitizers.
TEST(Capture, WholeShowRunsClean) {
#ifdef QVL_SANITIZED
  const char* times = "0:124000:10";
#else
  const char* times = "0:124000:100";
#endif
  ScratchDirectory scratch;
  const std::string data = std::string(QVL_SOURCE_DIR) + "/data";
  const ToolRun run =
      Capture("--seed 2003 --data " + data + " --times " + times + " --format cells --out " + scratch.File("show"),
              scratch);
  EXPECT_EQ(run.status, 0) << run.errors;
  // Nothing but the summary: no warnings, no progress bar without a terminal.
  EXPECT_EQ(run.errors.rfind("quorvel4-capture: "), 0u) << run.errors;
  EXPECT_EQ(run.errors.find('\n'), run.errors.size() - 1) << run.errors;
  EXPECT_GT(std::filesystem::file_size(scratch.File("show")), 1000u * 8000u);
}

TEST(Capture, AnsiStreamIsTheSameForTheSameRun) {
  ScratchDirectory scratch;
  const std::string common = "--seed 5" + StandInDataArgument(scratch) + " --times 300,900,18000 --format ansi --out ";
  const ToolRun first = Capture(common + scratch.File("a.ans"), scratch);
  ASSERT_EQ(first.status, 0) << first.errors;
  ASSERT_EQ(Capture(common + scratch.File("b.ans"), scratch).status, 0);
  const std::string bytes = ReadAll(scratch.File("a.ans"));
  EXPECT_EQ(bytes, ReadAll(scratch.File("b.ans")));
  // Three frames of escape sequences, the first one whole: far more than 4000 bytes.
  EXPECT_GT(bytes.size(), 4000u);
  EXPECT_NE(bytes.find("\x1b["), std::string::npos);
}

// The show's most flashing stretch, counted as shown and in the gentle mode.
TEST(Capture, FlashesFormatReportsAndTheGentleModePasses) {
  ScratchDirectory scratch;
  const std::string common = "--seed 1 --data " + std::string(QVL_SOURCE_DIR) + "/data --times 80000:84000 --format flashes";
  ToolRun run = Capture(common + " --out " + scratch.File("plot.png"), scratch);
  ASSERT_EQ(run.status, 0) << run.errors;
  std::string report = ReadAll(scratch.File("stdout.txt"));
  EXPECT_NE(report.find("seconds fail a reading"), std::string::npos) << report;
  EXPECT_NE(report.find("\n    81  established "), std::string::npos) << report;
  EXPECT_NE(report.find("\npeaks any dating: "), std::string::npos) << report;
  int width = 0, height = 0;
  std::vector<uint8_t> rgb;
  std::string error;
  ASSERT_TRUE(ReadPng(scratch.File("plot.png"), &width, &height, &rgb, &error)) << error;
  EXPECT_GT(width, 5 * 6);

  run = Capture(common + " --reduce-flashes", scratch);
  ASSERT_EQ(run.status, 0) << run.errors;
  report = ReadAll(scratch.File("stdout.txt"));
  EXPECT_NE(report.find("no second fails any reading"), std::string::npos) << report;
  EXPECT_EQ(report.find("second  reading"), std::string::npos) << report;
}

// The gentle mode shows the same frames where nothing flashes, and only frames of its own run.
TEST(Capture, GentleModeChangesOnlyFlashingFrames) {
  ScratchDirectory scratch;
  const std::string common = "--seed 1 --data " + std::string(QVL_SOURCE_DIR) + "/data --format cells --times ";
  ASSERT_EQ(Capture(common + "30000:31000 --out " + scratch.File("a"), scratch).status, 0);
  ASSERT_EQ(Capture(common + "30000:31000 --reduce-flashes --out " + scratch.File("b"), scratch).status, 0);
  EXPECT_EQ(ReadAll(scratch.File("a")), ReadAll(scratch.File("b")));

  ASSERT_EQ(Capture(common + "81000:82000 --out " + scratch.File("c"), scratch).status, 0);
  ASSERT_EQ(Capture(common + "81000:82000 --reduce-flashes --out " + scratch.File("d"), scratch).status, 0);
  const std::string shown = ReadAll(scratch.File("c")), gentle = ReadAll(scratch.File("d"));
  ASSERT_EQ(shown.size(), gentle.size());
  EXPECT_NE(shown, gentle);
  for (size_t frame = 0; frame < gentle.size(); frame += 8000) {
    const std::string g = gentle.substr(frame, 8000);
    // Each gentle frame is the show's frame of its time or the frame shown before it.
    const bool own = g == shown.substr(frame, 8000);
    const bool heldOver = frame > 0 && g == gentle.substr(frame - 8000, 8000);
    EXPECT_TRUE(own || heldOver) << "frame " << frame / 8000;
  }
}

// Standard output may be the export itself: every word of the tool, the gentle mode's count
// included, goes to standard error.
TEST(Capture, APipedExportHoldsTheFramesAndNothingElse) {
  ScratchDirectory scratch;
  const ToolRun run = Capture("--seed 1" + StandInDataArgument(scratch) +
                                  " --times 17900:18500:10 --format cells --out /dev/stdout --reduce-flashes",
                              scratch);
  ASSERT_EQ(run.status, 0) << run.errors;
  EXPECT_EQ(ReadAll(scratch.File("stdout.txt")).size(), 61u * 8000u);
  EXPECT_NE(run.errors.find("frames held back by --reduce-flashes"), std::string::npos) << run.errors;
}

// The analyser keeps a count per second that has frames, whatever the times span; the plot,
// which grows with the span, is refused where it would be too wide to draw, with the reason.
TEST(CaptureFlashes, ExtremeTimeSpansAreCountedAndTooWidePlotsRefused) {
  ScratchDirectory scratch;
  const std::string common = "--seed 1" + StandInDataArgument(scratch) + " --format flashes ";
  ToolRun run = Capture(common + "--times=-2147483648,0,2147483647", scratch);
  ASSERT_EQ(run.status, 0) << run.errors;
  EXPECT_NE(ReadAll(scratch.File("stdout.txt")).find("3 frames from -2147483648 to 2147483647 ms"), std::string::npos)
      << ReadAll(scratch.File("stdout.txt"));

  for (const std::string times : {"-2000000000,2000000000", "0,170000000"}) {
    run = Capture(common + "--times=" + times + " --out " + scratch.File("plot.png"), scratch);
    EXPECT_EQ(run.status, 1) << times;
    EXPECT_NE(run.errors.find("cannot draw the plot " + scratch.File("plot.png") + ": the frames span "),
              std::string::npos)
        << run.errors;
    EXPECT_FALSE(std::filesystem::exists(scratch.File("plot.png")));
  }
  run = Capture(common + "--times=0,9999000 --out " + scratch.File("plot.png"), scratch);
  EXPECT_EQ(run.status, 0) << run.errors;
  EXPECT_TRUE(std::filesystem::exists(scratch.File("plot.png")));
}
