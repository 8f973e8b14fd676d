// Every test starts from program-start state, whether it has a process of its own (the release
// build runs each test alone) or shares one with others (the sanitizer build runs its tests in a
// few processes, so that it does not pay the sanitizers' start-up once a test): before each test
// the generator is back at its first state and the show's own reset puts back the effects'
// statics, the shared buffers and the sync points.
#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <vector>

#include "demo/show.h"
#include "demo/show_state.h"
#include "effects/starfield.h"
#include "quorvel4/random.h"
#include "quorvel4/types.h"

namespace {

class FreshStateBeforeEachTest : public ::testing::EmptyTestEventListener {
 public:
  void OnTestStart(const ::testing::TestInfo&) override {
    SeedRandom(kRandomStartState);
    Show show;
    ResetShowState(show);
  }
};

// Added before main runs the tests (GoogleTest's own main): a static initialiser of this file.
const bool kListening = [] {
  ::testing::UnitTest::GetInstance()->listeners().Append(new FreshStateBeforeEachTest);
  return true;
}();

// What one test leaves behind, the next does not see, whichever process it runs in.
TEST(FreshState, WhatATestLeavesBehindIsGoneBeforeTheNext) {
  SeedRandom(12345);
  Random();
  DrawStarfield(1000);
  std::memset(Canvas, 7, sizeof Canvas);
  FreshStateBeforeEachTest().OnTestStart(*::testing::UnitTest::GetInstance()->current_test_info());
  EXPECT_EQ(RandomState(), kRandomStartState);
  for (const Pixel value : Canvas) ASSERT_EQ(value, 0u);
  // The stars are placed anew, as in the first frame of a run: the same as after a reset.
  DrawStarfield(1000);
  std::vector<Pixel> first(std::begin(Canvas), std::end(Canvas));
  ResetStarfield();
  std::memset(Canvas, 0, sizeof Canvas);
  SeedRandom(kRandomStartState);
  DrawStarfield(1000);
  EXPECT_EQ(first, std::vector<Pixel>(std::begin(Canvas), std::end(Canvas)));
}

}  // namespace
