// Sessions one after another in one process: every session starts from program-start state, so
// a show draws the same frames however many shows ran before it (the live show's reload, the
// web page's second start and a test run in one process all rely on it).
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "demo/show_session.h"
#include "demo_test_support.h"
#include "quorvel4/console.h"

namespace {

const std::string kLanterns = std::string(QVL_SOURCE_DIR) + "/shows/lanterns";
const std::string kBuiltInData = std::string(QVL_SOURCE_DIR) + "/data";

uint64_t FrameHash(const std::vector<Cell>& cells) {
  uint64_t hash = 14695981039346656037u;
  for (Cell cell : cells) hash = (hash ^ cell) * 1099511628211u;
  return hash;
}

// 60 frames a second from 0 to `last`, as `quorvel4-capture --times 0:LAST` times them.
std::vector<int32_t> GridTimes(int32_t last) {
  std::vector<int32_t> times;
  for (int64_t k = 0; (k * 2000 + 60) / 120 <= last; ++k) times.push_back(static_cast<int32_t>((k * 2000 + 60) / 120));
  return times;
}

struct Showing {
  std::vector<uint64_t> hashes;  // of every presented frame, in order
  ShowEnd end = ShowEnd::kRunning;
};

// A whole showing on a scripted clock, to the frame that ends it.
Showing WholeShow(const std::string& showDir, uint32_t seed) {
  HeadlessBackend* screen = UseHeadlessConsole();
  ShowSettings settings;
  settings.seed = seed;
  settings.times = GridTimes(showDir.empty() ? 124000 : 51000);
  settings.dataDir = showDir.empty() ? kBuiltInData : "";
  settings.showDir = showDir;
  settings.picturesRequired = true;
  ShowSession session(settings);
  std::string error;
  Showing run;
  if (!session.Open(error)) {
    ADD_FAILURE() << error;
    return run;
  }
  while (session.Step()) run.hashes.push_back(FrameHash(screen->LastFrame()));
  run.end = session.Report().end;
  session.Finish();
  return run;
}

// The same frames; otherwise where they first part.
void ExpectSameFrames(const Showing& first, const Showing& again) {
  EXPECT_EQ(first.end, ShowEnd::kLastScene);
  EXPECT_EQ(again.end, first.end);
  ASSERT_EQ(again.hashes.size(), first.hashes.size());
  for (size_t k = 0; k < first.hashes.size(); ++k)
    ASSERT_EQ(again.hashes[k], first.hashes[k]) << "frame " << k << " (" << (k * 2000 + 60) / 120 << " ms) differs";
}

TEST(ShowSessions, TheBuiltInShowTwiceInOneProcessDrawsTheSameFrames) {
  const Showing first = WholeShow("", 1);
  ASSERT_EQ(first.hashes.size(), 7423u);
  ExpectSameFrames(first, WholeShow("", 1));
}

TEST(ShowSessions, LanternsTwiceInOneProcessDrawsTheSameFrames) {
  const Showing first = WholeShow(kLanterns, 1);
  ASSERT_EQ(first.hashes.size(), 3001u);
  ExpectSameFrames(first, WholeShow(kLanterns, 1));
}

// The built-in show in between leaves other sync points (none), other ripples and another
// generator behind than Lanterns does.
TEST(ShowSessions, AnotherShowInBetweenChangesNothing) {
  const Showing first = WholeShow(kLanterns, 12345);
  const Showing between = WholeShow("", 12345);
  EXPECT_EQ(between.end, ShowEnd::kLastScene);
  ExpectSameFrames(first, WholeShow(kLanterns, 12345));
}

}  // namespace
