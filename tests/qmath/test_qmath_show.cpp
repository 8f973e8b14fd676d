// Every argument the show passes to QvlSin and QvlCos in a whole run (seed 1, a frame every
// 10 ms, as the capture tool renders it) must give MPFR's correctly rounded result.
//
// The link wraps both functions (-Wl,--wrap): the effects' calls land in the recorders below,
// which keep each argument; the check calls the real functions again.
#include <gtest/gtest.h>

#include <algorithm>
#include <cinttypes>
#include <memory>
#include <utility>
#include <vector>

#include "demo/show_session.h"
#include "mpfr_reference.h"
#include "quorvel4/console.h"

namespace {

using Arguments = std::vector<double>;

Arguments* gSinArguments = nullptr;
Arguments* gCosArguments = nullptr;

}  // namespace

// The mangled names of double QvlSin(double) and double QvlCos(double).
extern "C" double __real__Z6QvlSind(double x);
extern "C" double __real__Z6QvlCosd(double x);

extern "C" double __wrap__Z6QvlSind(double x) {
  if (gSinArguments != nullptr) gSinArguments->push_back(x);
  return __real__Z6QvlSind(x);
}

extern "C" double __wrap__Z6QvlCosd(double x) {
  if (gCosArguments != nullptr) gCosArguments->push_back(x);
  return __real__Z6QvlCosd(x);
}

namespace {

// Sorts arguments[from..] by their bits and drops repeats there.
void KeepDistinct(Arguments& arguments, size_t from = 0) {
  const auto begin = arguments.begin() + static_cast<std::ptrdiff_t>(from);
  std::sort(begin, arguments.end(), [](double a, double b) { return BitsOf(a) < BitsOf(b); });
  arguments.erase(std::unique(begin, arguments.end(), [](double a, double b) { return BitsOf(a) == BitsOf(b); }),
                  arguments.end());
}

// Runs the show from 0 to 126 s, a frame every 10 ms, and records the distinct arguments.
void RecordShow(Arguments* sinArguments, Arguments* cosArguments) {
  UseConsoleBackend(std::make_unique<HeadlessBackend>());
  std::vector<int32_t> times;
  for (int32_t t = 0; t <= 126000; t += 10) times.push_back(t);
  ShowSession session({.seed = 1, .times = times, .dataDir = std::string(QVL_SOURCE_DIR) + "/data"});
  std::string error;
  ASSERT_TRUE(session.Open(error)) << error;
  ASSERT_TRUE(session.Report().unreadablePictures.empty());
  // Only the frames' arguments, not the start-up's.
  gSinArguments = sinArguments;
  gCosArguments = cosArguments;
  // Repeats within a frame are dropped after each frame to keep the lists short.
  size_t sinFrameStart = 0;
  size_t cosFrameStart = 0;
  session.Run([&] {
    KeepDistinct(*sinArguments, sinFrameStart);
    KeepDistinct(*cosArguments, cosFrameStart);
    sinFrameStart = sinArguments->size();
    cosFrameStart = cosArguments->size();
  });
  gSinArguments = nullptr;
  gCosArguments = nullptr;
  session.Finish();
  KeepDistinct(*sinArguments);
  KeepDistinct(*cosArguments);
}

// Checks every stride-th argument from `first` on.
int CountWrong(const Arguments& arguments, int quarterTurns, size_t first, size_t stride) {
  int wrong = 0;
  for (size_t i = first; i < arguments.size(); i += stride) {
    const double x = arguments[i];
    const double result = quarterTurns == 0 ? __real__Z6QvlSind(x) : __real__Z6QvlCosd(x);
    if (BitsOf(result) != BitsOf(ScreenedReferenceSin(x, quarterTurns)) && ++wrong <= 10)
      ADD_FAILURE() << (quarterTurns == 0 ? "QvlSin(" : "QvlCos(") << std::hexfloat << x << ") = " << result;
  }
  return wrong;
}

// The check against MPFR takes most of the time: each half of the arguments is a test of its
// own, so that both can run at once. The sanitizer build checks a share of them.
constexpr size_t kHalves = 2;

class QvlSinCosInTheShow : public testing::TestWithParam<size_t> {};

TEST_P(QvlSinCosInTheShow, EveryArgumentOfAWholeRunIsCorrectlyRounded) {
  Arguments sinArguments;
  Arguments cosArguments;
  RecordShow(&sinArguments, &cosArguments);
  // The plasmas alone make millions of distinct arguments.
  EXPECT_GT(sinArguments.size(), 1000000u);
  EXPECT_GT(cosArguments.size(), 10000u);
  const size_t stride = kHalves * (100 / std::max(1, SampleCount(100)));
  const size_t half = GetParam();
  const int wrong = CountWrong(sinArguments, 0, half, stride) + CountWrong(cosArguments, 1, half, stride);
  EXPECT_EQ(wrong, 0);
  std::printf("checked every %zu-th of %zu distinct QvlSin and %zu distinct QvlCos arguments from %zu on\n", stride,
              sinArguments.size(), cosArguments.size(), half);
}

INSTANTIATE_TEST_SUITE_P(Half, QvlSinCosInTheShow, testing::Range<size_t>(0, kHalves));

}  // namespace
