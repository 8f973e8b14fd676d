// White stars flying toward the viewer: points in 3D whose depth shrinks with the elapsed
// time, projected by dividing by the depth; a star that passes the viewer is placed anew.
#include "starfield.h"

#include <cstring>

#include "quorvel4/random.h"
#include "quorvel4/types.h"

namespace {

struct Star {
  float x;
  float y;
  float z;
};

constexpr int kStarCount = 500;   // all placed on the first call
constexpr int kMovingStars = 100;  // only these are moved and drawn
constexpr double kMillisecondsPerDepth = 150.0;
constexpr Pixel kWhite = 0xFFFFFF;

Star gStars[kStarCount];
int32_t gPreviousTime = 0;
bool gPrepared = false;

// Star space is the Canvas enlarged 8 times about its centre, so that a star at depth 8
// projects to where it stands.
constexpr int kStarSpaceScale = 8;

// Three draws, in this order: x, y, then a depth of 0 to 54 (0 included).
void PlaceStar(Star& star) {
  star.x = static_cast<float>((Random() % kCanvasWidth - kCanvasWidth / 2) * kStarSpaceScale);
  star.y = static_cast<float>((Random() % kCanvasHeight - kCanvasHeight / 2) * kStarSpaceScale);
  star.z = static_cast<float>(Random() % 55);
}

void Prepare(int32_t time) {
  gPrepared = true;
  for (Star& star : gStars) PlaceStar(star);
  gPreviousTime = time;
}

// The bounds are tested on the float position, before any conversion to an integer: a star
// at depth 0 projects to an infinity or a NaN, which fails them and is not drawn.
void DrawStar(const Star& star) {
  const float sx = static_cast<float>(static_cast<double>(star.x) / static_cast<double>(star.z) + kCanvasWidth / 2);
  const float sy = static_cast<float>(static_cast<double>(star.y) / static_cast<double>(star.z) + kCanvasHeight / 2);
  if (sx > 0.0f && sy > 0.0f && sx < kCanvasWidth && sy < kCanvasHeight) {
    Canvas[static_cast<int32_t>(sy) * kCanvasWidth + static_cast<int32_t>(sx)] = kWhite;
  }
}

}  // namespace

void ResetStarfield() {
  for (Star& star : gStars) star = Star{};
  gPreviousTime = 0;
  gPrepared = false;
}

void DrawStarfield(int32_t time) {
  if (!gPrepared) Prepare(time);
  // The difference wraps like the 32-bit integers it is made of, without overflowing.
  const auto elapsed = static_cast<int32_t>(static_cast<uint32_t>(time) - static_cast<uint32_t>(gPreviousTime));
  gPreviousTime = time;
  const float speed = static_cast<float>(static_cast<double>(static_cast<float>(elapsed)) / kMillisecondsPerDepth);
  std::memset(Canvas, 0, sizeof(Canvas));
  for (int i = 0; i < kMovingStars; ++i) {
    Star& star = gStars[i];
    star.z = star.z - speed;
    if (star.z <= 0.0f) PlaceStar(star);
    DrawStar(star);
  }
}
