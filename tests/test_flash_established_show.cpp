// The gentle mode of the built-in show through the capture tool, read the way established flash
// analysers read it (tests/flash_established_reader.h) and by the dating reader over every
// position of a quarter and of a 10-degree field: readers that share no code with the guard.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "capture_run.h"
#include "flash_dating_reader.h"
#include "flash_established_reader.h"

namespace {

// Frame k of 60 a second shows the time nearest k / 60 s, as the capture tool times them.
int32_t FrameTime(int k) { return (k * 2000 + 60) / 120; }

struct ShowReadings {
  FlashEstablishedReader::Reading established;
  FlashDatingReader::Reading dating;
};

// Captures the gentle mode of seed `seed` from `first` to `last` ms and reads its frames.
ShowReadings ReadGentle(int seed, int32_t first, int32_t last) {
  ScratchDirectory scratch;
  const std::string cells = scratch.File("frames.cells");
  const ToolRun run = Capture("--seed " + std::to_string(seed) + " --data " + std::string(QVL_SOURCE_DIR) + "/data --times " +
                                  std::to_string(first) + ":" + std::to_string(last) +
                                  " --format cells --reduce-flashes --out " + cells,
                              scratch);
  EXPECT_EQ(run.status, 0) << run.errors;
  const std::string bytes = ReadAll(cells);
  EXPECT_EQ(bytes.size(), static_cast<size_t>((last - first) * 60 / 1000 + 1) * kScreenCells * 2);
  auto established = std::make_unique<FlashEstablishedReader>();
  auto dating = std::make_unique<FlashDatingReader>(true);
  std::vector<Cell> frame(kScreenCells);
  for (size_t k = 0; (k + 1) * kScreenCells * 2 <= bytes.size(); ++k) {
    for (int i = 0; i < kScreenCells; ++i) {
      const size_t at = (k * kScreenCells + i) * 2;
      frame[i] = MakeCell(static_cast<uint8_t>(bytes[at]), static_cast<uint8_t>(bytes[at + 1]));
    }
    const int32_t time = first + FrameTime(static_cast<int>(k));
    established->Take(time, frame.data());
    dating->Take(time, frame.data());
  }
  return {established->Read(), dating->Read()};
}

std::string SecondsText(const std::set<int>& seconds) {
  std::string text;
  for (int s : seconds) {
    // Appended piece by piece: GCC 12 warns (-Wrestrict) on " " + a returned string.
    text += ' ';
    text += std::to_string(s);
  }
  return text;
}

}  // namespace

// The strobing seconds of the built-in show for two seeds, in the gentle mode: no second fails
// for luminance or red, in one second or kept up, and no one-second window of any quarter or
// field holds more than three flashes under either dating.
TEST(FlashGuard, TheGentleShowPassesTheEstablishedReading) {
  const char* kinds[] = {"luminance", "red"};
  const char* failures[] = {"flash failure", "extended failure"};
  for (int seed : {1, 7})
    for (const auto& [first, last] : {std::pair{70000, 90000}, std::pair{100000, 118000}}) {
      SCOPED_TRACE("seed " + std::to_string(seed) + ", " + std::to_string(first) + ":" + std::to_string(last));
      const ShowReadings r = ReadGentle(seed, first, last);
      for (int kind = 0; kind < FlashEstablishedReader::kKinds; ++kind)
        for (int failure = 0; failure < FlashEstablishedReader::kFailures; ++failure)
          EXPECT_TRUE(r.established.secondsFailing[kind][failure].empty())
              << kinds[kind] << ", " << failures[failure] << ":" << SecondsText(r.established.secondsFailing[kind][failure])
              << " (the most in one second: " << *std::max_element(r.established.most[kind].begin(), r.established.most[kind].end())
              << ")";
      for (int dating = 0; dating < FlashDatingReader::kDatings; ++dating) {
        EXPECT_EQ(r.dating.windowsOver[dating], 0) << "dating " << dating;
        EXPECT_LT(r.dating.most[dating], 7) << "dating " << dating;
      }
    }
}
