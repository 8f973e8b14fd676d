// The music clock's smoothing, fed scripted reports as an audio output would give them.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "demo/heard_position.h"

namespace {

// One step of a script: a report (when `report` is set), then a reading at `readAt`.
struct Step {
  bool report;
  double positionMs;
  bool ended;
  double atMs;
  double readAt;
  int32_t expected;
};

constexpr bool kReport = true, kRead = false, kEnded = true, kPlaying = false;

void RunScript(const std::vector<Step>& script) {
  HeardPosition heard;
  for (size_t i = 0; i < script.size(); ++i) {
    const Step& s = script[i];
    if (s.report) heard.Report({s.positionMs, s.ended, s.atMs});
    EXPECT_EQ(heard.At(s.readAt), s.expected) << "step " << i << ", read at " << s.readAt;
  }
}

}  // namespace

TEST(HeardPosition, FollowsTheWallClockBetweenReportsButNotPastTheLastStep) {
  RunScript({
      {kRead, 0, kPlaying, 0, 1000, 0},         // nothing reported yet
      {kReport, 0, kPlaying, 1000, 1000, 0},    // the start
      {kRead, 0, kPlaying, 0, 1030, 0},         // no step yet: no run-on
      {kReport, 23, kPlaying, 1023, 1023, 23},  // chunks of 23 ms
      {kRead, 0, kPlaying, 0, 1033, 33},        // the wall clock carries it...
      {kRead, 0, kPlaying, 0, 1060, 46},        // ...up to one step: the output stalls
      {kReport, 46, kPlaying, 1070, 1071, 47},
      {kReport, 46, kPlaying, 1080, 1085, 61},  // the same position again is no new anchor
      // A report going back never moves the clock back, and a step back allows no run-on.
      {kReport, 40, kPlaying, 1090, 1090, 61},
      {kRead, 0, kPlaying, 0, 1200, 61},
  });
}

TEST(HeardPosition, ACoarseOutputIsFollowedAtMostATenthOfASecond) {
  RunScript({
      {kReport, 0, kPlaying, 0, 0, 0},
      {kReport, 500, kPlaying, 500, 500, 500},
      {kRead, 0, kPlaying, 0, 560, 560},
      {kRead, 0, kPlaying, 0, 900, 600},
  });
}

TEST(HeardPosition, AfterTheEndTheWallClockAloneCarriesOn) {
  RunScript({
      {kReport, 0, kPlaying, 0, 0, 0},
      {kReport, 23, kPlaying, 23, 23, 23},
      // The end is reported later, at the same position: the clock runs on from the last move.
      {kReport, 23, kEnded, 40, 50, 50},
      {kRead, 0, kPlaying, 0, 5023, 5023},
      {kReport, 10, kPlaying, 6000, 6023, 6023},  // reports after the end change nothing
  });
  // An output with no sound at all ends at the start.
  RunScript({{kReport, 0, kEnded, 100, 100, 0}, {kRead, 0, kPlaying, 0, 1100, 1000}});
}

TEST(HeardPosition, StaysWithinTheClocksRange) {
  RunScript({
      {kReport, -23, kPlaying, 0, 0, 0},  // nothing heard yet
      {kReport, 3e9, kEnded, 10, 20, INT32_MAX},
  });
}

TEST(HeardPosition, ARestartGoesBackAndClearsTheEnd) {
  HeardPosition heard;
  heard.Report({61000, false, 0});
  heard.Report({61023, false, 23});
  EXPECT_EQ(heard.At(30), 61030);
  heard.Restart(10000, 40);
  EXPECT_EQ(heard.At(40), 10000);
  EXPECT_EQ(heard.At(90), 10000);  // no step yet since the restart: no run-on
  // The output's first count from there lies one chunk behind: held, not followed back.
  heard.Report({9977, false, 60});
  EXPECT_EQ(heard.At(70), 10000);
  heard.Report({10000, false, 83});
  EXPECT_EQ(heard.At(93), 10010);
  // After the end a restart plays again: reports move the position, the wall alone does not.
  heard.Report({10023, true, 106});
  EXPECT_EQ(heard.At(1106), 11023);
  heard.Restart(500, 1200);
  heard.Report({523, false, 1223});
  EXPECT_EQ(heard.At(1230), 530);
  EXPECT_EQ(heard.At(5000), 546);
}
