#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "effects/plasma.h"
#include "plasma_reference.h"
#include "quorvel4/types.h"

namespace {

Pixel At(int x, int y) { return Canvas[x + kCanvasWidth * y]; }

// Runs the effect and the plain formulas side by side over consecutive frames (so the phases
// accumulate together) and requires every pixel of every frame to agree.
void ExpectMatchesReference(void (*draw)(float), ReferencePlasma reference, const std::vector<float>& times) {
  std::vector<Pixel> expected(kCanvasPixels);
  for (size_t frame = 0; frame < times.size(); ++frame) {
    draw(times[frame]);
    reference.Draw(times[frame], expected.data());
    int differing = 0;
    for (int i = 0; i < kCanvasPixels; ++i) differing += Canvas[i] != expected[i];
    ASSERT_EQ(differing, 0) << "frame " << frame << " at time " << times[frame];
  }
}

}  // namespace

TEST(Plasma, ColourPlasmaMatchesThePlainFormulasFrameAfterFrame) {
  // Typical arguments: the time itself, three times it, a tenth of it, a countdown; the
  // last frames repeat a time, where only the phase moves on.
  ExpectMatchesReference(DrawPlasma, ReferencePlasma::Colour(),
                         {0.0f, 21070.0f, 21086.0f, 85728.0f, 2106.0f, 7822.0f, 90000.0f, 90000.0f, 251000.0f});
}

TEST(Plasma, BluePlasmaMatchesThePlainFormulasFrameAfterFrame) {
  ExpectMatchesReference(DrawBluePlasma, ReferencePlasma::Blue(),
                         {0.0f, 4411.0f, 4419.0f, 192300.0f, 192333.0f, 215000.0f, 215000.0f});
}

TEST(Plasma, PhasesGrowForManyFramesAndStayExact) {
  // Far into a run the phase is large and coarsely rounded; the fast path must track it.
  ReferencePlasma reference = ReferencePlasma::Colour();
  std::vector<Pixel> scratch(kCanvasPixels);
  for (int frame = 0; frame < 60; ++frame) {
    const float time = static_cast<float>(3 * (123000 + 16 * frame));  // the largest times the show uses
    DrawPlasma(time);
    reference.Draw(time, scratch.data());
  }
  ExpectMatchesReference(DrawPlasma, reference, {86000.0f, 86016.0f});
}

TEST(Plasma, FirstFrameAtTimeZeroHasKnownCorner) {
  DrawPlasma(0.0f);
  // blue 250, green 125, red 125
  EXPECT_EQ(At(0, 0), 0xFA7D7Du);
  DrawBluePlasma(0.0f);
  // blue 250, green and red a quarter: 31
  EXPECT_EQ(At(0, 0), 0xFA1F1Fu);
}

TEST(Plasma, OverwritesEveryPixelAndKeepsChannelsInRange) {
  for (auto draw : {DrawPlasma, DrawBluePlasma}) {
    std::memset(Canvas, 0xEE, sizeof(Canvas));
    draw(33333.0f);
    for (int i = 0; i < kCanvasPixels; ++i) {
      ASSERT_EQ(Canvas[i] >> 24, 0u) << i;
      ASSERT_LE(Canvas[i] & 0xFF, 250u) << i;
      ASSERT_LE(Canvas[i] >> 8 & 0xFF, 250u) << i;
    }
  }
}

TEST(Plasma, SameTimeTwiceGivesADifferentPictureAsThePhaseMovesOn) {
  DrawPlasma(30000.0f);
  std::vector<Pixel> first(Canvas, Canvas + kCanvasPixels);
  DrawPlasma(30000.0f);
  EXPECT_NE(std::memcmp(first.data(), Canvas, sizeof(Canvas)), 0);
}

TEST(Plasma, TimesThatAreNotNumbersGiveBlackNotGarbage) {
  // Not a time the show produces; the conversion to integers must still stay defined.
  DrawBluePlasma(std::nanf(""));
  for (int i = 0; i < kCanvasPixels; ++i) ASSERT_EQ(Canvas[i], 0u) << i;
}
