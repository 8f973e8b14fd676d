// The gentle mode of a real show through the capture tool, read by a second reader of the
// frames that shares no code with the guard. (Apart from the flash rule's own tests: it starts
// a process, which the Windows build's suites do not.)
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "capture_run.h"
#include "demo/flash_rule.h"
#include "flash_dating_reader.h"

namespace {

using Frame = std::vector<Cell>;

// Frame k of 60 a second shows the time nearest k / 60 s, as the capture tool times them.
int32_t FrameTime(int k) { return (k * 2000 + 60) / 120; }

}  // namespace

// The strobing seconds of a real show, in the gentle mode, read by the second reader under
// both datings (the seconds where a reader dating at the peaks once found a fourth flash).
TEST(FlashGuard, TheGentleShowStaysAtThreeFlashesUnderEitherDating) {
  ScratchDirectory scratch;
  const std::string cells = scratch.File("frames.cells");
  const ToolRun run = Capture("--seed 7 --data " + std::string(QVL_SOURCE_DIR) +
                              "/data --times 100000:118000 --format cells --reduce-flashes --out " + cells, scratch);
  ASSERT_EQ(run.status, 0) << run.errors;
  const std::string bytes = ReadAll(cells);
  ASSERT_EQ(bytes.size() % (kScreenCells * 2), 0u);
  FlashDatingReader reader;
  Frame frame(kScreenCells);
  const int frames = static_cast<int>(bytes.size() / (kScreenCells * 2));
  ASSERT_EQ(frames, 18 * 60 + 1);
  for (int k = 0; k < frames; ++k) {
    for (int i = 0; i < kScreenCells; ++i) {
      const size_t at = (static_cast<size_t>(k) * kScreenCells + i) * 2;
      frame[i] = MakeCell(static_cast<uint8_t>(bytes[at]), static_cast<uint8_t>(bytes[at + 1]));
    }
    reader.Take(100000 + FrameTime(k), frame.data());
  }
  const FlashDatingReader::Reading reading = reader.Read();
  for (int dating = 0; dating < FlashDatingReader::kDatings; ++dating) {
    EXPECT_EQ(reading.windowsOver[dating], 0) << "dating " << dating;
    EXPECT_LT(reading.most[dating], kTooManyTransitions) << "dating " << dating;
  }
  // The gentle mode still shows these seconds flashing, at three a second.
  EXPECT_EQ(reading.most[FlashDatingReader::kAtCompletion], kTooManyTransitions - 1);
}
