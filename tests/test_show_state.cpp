// The show's state and its one owner: every effect that keeps state from frame to frame starts
// over after its reset and after ResetShowState, and ResetShowState puts back the buffers, the
// sync points and the frame loop's record. Each check first runs the effect's frames twice in a
// row to see that they do carry state over, so a reset that forgets a field shows up.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "demo/show.h"
#include "demo/show_state.h"
#include "effects/dot_cube.h"
#include "effects/plasma.h"
#include "effects/sparkles.h"
#include "effects/starfield.h"
#include "effects/swarm.h"
#include "effects/text_lines.h"
#include "effects/water_ripples.h"
#include "quorvel4/random.h"
#include "quorvel4/sync_points.h"
#include "quorvel4/types.h"

namespace {

uint64_t AddBytes(uint64_t hash, const void* data, size_t size) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  for (size_t i = 0; i < size; ++i) hash = (hash ^ bytes[i]) * 1099511628211u;
  return hash;
}

void ClearBuffers() {
  std::memset(Canvas, 0, sizeof Canvas);
  std::memset(CellScreen, 0, sizeof CellScreen);
}

// Everything the frames draw, each frame on cleared buffers, from one fixed generator state.
uint64_t Drawn(const std::function<void(const std::function<void()>&)>& frames) {
  SeedRandom(99);
  ClearBuffers();
  uint64_t hash = 14695981039346656037u;
  frames([&hash] {
    hash = AddBytes(hash, Canvas, sizeof Canvas);
    hash = AddBytes(hash, CellScreen, sizeof CellScreen);
    ClearBuffers();
  });
  return hash;
}

struct StatefulEffect {
  const char* name;
  void (*reset)();
  // Draws a few frames, calling `frameDone` after each.
  std::function<void(const std::function<void()>&)> frames;
};

std::vector<StatefulEffect> StatefulEffects() {
  return {
      {"the colour plasma's drift", ResetPlasma,
       [](const auto& done) {
         for (float t : {1000.0f, 1016.0f}) {
           DrawPlasma(t);
           done();
         }
       }},
      {"the blue plasma's drift", ResetPlasma,
       [](const auto& done) {
         for (float t : {1000.0f, 1016.0f}) {
           DrawBluePlasma(t);
           done();
         }
       }},
      // The stars move in proportion to the time, so a second run from the first time would
      // put them back where they were; the long step makes most of them pass the viewer and
      // be placed anew, which no step back undoes.
      {"the starfield", ResetStarfield,
       [](const auto& done) {
         for (int32_t t : {500, 516, 8000}) {
           DrawStarfield(t);
           done();
         }
       }},
      // InitSparkles leaves the angles and places as they were: the first frame shows them.
      {"the sparkles", ResetSparkles,
       [](const auto& done) {
         InitSparkles();
         DrawSparkles();
         done();
         MoveSparkles();
         DrawSparkles();
         done();
       }},
      {"the swarm", ResetSwarm,
       [](const auto& done) {
         InitSwarm();
         DrawSwarm();
         done();
         MoveSwarm();
         DrawSwarm();
         done();
       }},
      // 4050 draws the lines where they were; 8150 moves both pairs, 8160 only the first, 8170
      // both again: an odd number of moves, so the second pair's alternation is carried over too.
      {"the text lines' places", ResetTextLines,
       [](const auto& done) {
         for (int32_t t : {4050, 8150, 8160, 8170}) {
           DrawTextLines(t);
           done();
         }
       }},
      {"the ripples", ResetWaterRipples,
       [](const auto& done) {
         for (int32_t t : {1000, 1016, 1033}) {
           DrawWaterRipples(t);
           done();
         }
       }},
  };
}

TEST(ShowState, EveryEffectStartsOverAfterItsResetAndAfterTheShowsReset) {
  PrepareRippleFields();  // the start-up allocates them
  Show show;
  for (const StatefulEffect& effect : StatefulEffects()) {
    effect.reset();
    const uint64_t fresh = Drawn(effect.frames);
    EXPECT_NE(Drawn(effect.frames), fresh) << effect.name << ": the frames show nothing carried over";
    // An odd number of runs since the fresh one before each reset: state that alternates from
    // run to run (the text lines' second pair) is then caught as well.
    Drawn(effect.frames);
    effect.reset();
    EXPECT_EQ(Drawn(effect.frames), fresh) << effect.name << " after its own reset";
    Drawn(effect.frames);
    ResetShowState(show);
    EXPECT_EQ(Drawn(effect.frames), fresh) << effect.name << " after ResetShowState";
  }
}

bool CanvasIsBlack() { return std::all_of(Canvas, Canvas + kCanvasPixels, [](Pixel p) { return p == 0; }); }

// The dot cube's tables are built at start-up; before that (and after a reset) it has no dots
// and a black palette, however often the tables were built.
TEST(ShowState, TheDotCubeHasNoDotsUntilItsTablesAreBuilt) {
  BuildDotPalette();
  MakeDotGrid();
  ClearBuffers();
  DrawDotCube(1000);
  EXPECT_FALSE(CanvasIsBlack());
  Show show;
  ResetShowState(show);
  DrawDotCube(1000);
  EXPECT_TRUE(CanvasIsBlack()) << "ResetShowState";
  BuildDotPalette();
  MakeDotGrid();
  ResetDotCube();
  DrawDotCube(1000);
  EXPECT_TRUE(CanvasIsBlack()) << "ResetDotCube";
}

TEST(ShowState, TheShowsResetClearsTheBuffersTheSyncPointsAndTheLoopsRecord) {
  Canvas[5] = 0x123456;
  CellScreen[7] = 0x0F41;
  CanvasCopy[kCanvasPixels - 1] = 0x654321;
  const int32_t times[] = {100, 200};
  SetSyncPoints(times, 2);
  Show show;
  show.sceneIndex = 12;
  show.ended = true;
  show.failure = "show.js:3:1: Error";
  // Full-screen white and black, every frame: the guard soon holds frames back.
  show.flashGuard = std::make_unique<FlashGuard>();
  Cell cells[kScreenCells];
  for (int k = 0; k < 60; ++k) {
    std::fill(cells, cells + kScreenCells, k % 2 ? MakeCell(' ', kColourWhite, kColourWhite) : Cell{0});
    show.flashGuard->Filter(k * 17, cells);
  }
  ASSERT_GT(show.flashGuard->HeldFrames(), 0);

  ResetShowState(show);
  EXPECT_TRUE(CanvasIsBlack());
  EXPECT_TRUE(std::all_of(CellScreen, CellScreen + kScreenCells, [](Cell c) { return c == 0; }));
  EXPECT_TRUE(std::all_of(CanvasCopy, CanvasCopy + kCanvasPixels, [](Pixel p) { return p == 0; }));
  EXPECT_EQ(SyncPointCount(), 0);
  EXPECT_EQ(show.sceneIndex, 0);
  EXPECT_FALSE(show.ended);
  EXPECT_TRUE(show.failure.empty());
  ASSERT_NE(show.flashGuard, nullptr) << "the gentle mode stays on";
  EXPECT_EQ(show.flashGuard->HeldFrames(), 0);

  Show plain;
  ResetShowState(plain);
  EXPECT_EQ(plain.flashGuard, nullptr) << "and is not turned on";
}

}  // namespace
