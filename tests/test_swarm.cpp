#include <gtest/gtest.h>

#include <vector>

#include "effects/swarm.h"
#include "quorvel4/random.h"
#include "quorvel4/types.h"
#include "random_draws.h"

namespace {

constexpr Pixel kCross = 0xFFFFBF;
constexpr Pixel kCompanion = 0xFFFFFF;

Pixel At(int x, int y) { return Canvas[x + 160 * y]; }

struct Anchor {
  int x, y, sign;
};

// The anchors and signs InitSwarm will give, from the generator's current state.
std::vector<Anchor> UpcomingAnchors() {
  DrawReplay draws(RandomState());
  std::vector<Anchor> anchors;
  for (int i = 0; i < 100; ++i) {
    const int x = draws.Next() % 160;
    const int y = draws.Next() % 100;
    anchors.push_back({x, y, draws.Next() % 2 == 0 ? -1 : 1});
  }
  return anchors;
}

// Seeds the generator with the first seed from `seed` on for which `wanted` holds.
template <typename Predicate>
std::vector<Anchor> SeedUntil(uint32_t seed, Predicate wanted) {
  for (;; ++seed) {
    SeedRandom(seed);
    std::vector<Anchor> anchors = UpcomingAnchors();
    if (wanted(anchors)) return anchors;
  }
}

bool NoneNear(const std::vector<Anchor>& anchors, size_t except, int maxX, int maxY) {
  for (size_t i = 0; i < anchors.size(); ++i) {
    if (i != except && anchors[i].x <= maxX && anchors[i].y <= maxY) return false;
  }
  return true;
}

}  // namespace

TEST(Swarm, ThreeDrawsPerMemberAtStartAndPerMove) {
  SeedRandom(3);
  EXPECT_EQ(CountDraws(InitSwarm), 300);
  EXPECT_EQ(CountDraws(MoveSwarm), 300);
  EXPECT_EQ(CountDraws(MoveSwarm), 300);
  EXPECT_EQ(CountDraws(DrawSwarm), 0);
}

TEST(Swarm, FirstMoveHangsEachCrossBelowItsAnchor) {
  SeedRandom(42);
  const std::vector<Anchor> anchors = UpcomingAnchors();
  InitSwarm();
  MoveSwarm();
  for (Pixel& p : Canvas) p = 0x000102;  // drawn over, never cleared
  DrawSwarm();
  int positives = 0;
  for (const Anchor& a : anchors) {
    if (a.sign < 0) continue;
    ++positives;
    // Cross centre at (x, y + 5), companion 15 rows further down; either may be covered
    // by another member, but both are painted.
    EXPECT_TRUE(a.y + 5 >= 100 || At(a.x, a.y + 5) != 0x000102u) << a.x << "," << a.y;
    EXPECT_TRUE(a.y + 20 >= 100 || At(a.x, a.y + 20) != 0x000102u) << a.x << "," << a.y;
  }
  EXPECT_GT(positives, 20);
  // The last member is drawn last, so its own pixels show.
  const Anchor& last = anchors.back();
  if (last.sign > 0 && last.y + 20 < 100) {
    EXPECT_EQ(At(last.x, last.y + 5), kCross);
    EXPECT_EQ(At(last.x, last.y + 20), kCompanion);
  }
  // Pixels no member reaches keep what was there.
  int kept = 0;
  for (Pixel p : Canvas) kept += p == 0x000102u;
  EXPECT_GT(kept, 15000);
}

TEST(Swarm, SignMirrorsTheFirstPointAndTheCompanionFollowsIt) {
  // A member anchored at (0, 0) with sign -1 has its cross at (0, -5), off the Canvas, and
  // its companion 15 rows below that, at (0, 10).
  size_t member = 0;
  SeedUntil(1, [&](const std::vector<Anchor>& anchors) {
    for (size_t i = 0; i < anchors.size(); ++i) {
      if (anchors[i].x == 0 && anchors[i].y == 0 && anchors[i].sign < 0 && NoneNear(anchors, i, 2, 30)) {
        member = i;
        return true;
      }
    }
    return false;
  });
  InitSwarm();
  MoveSwarm();
  for (Pixel& p : Canvas) p = 0;
  DrawSwarm();
  EXPECT_EQ(At(0, 10), kCompanion) << "member " << member;
  EXPECT_EQ(At(0, 20), 0u);
  EXPECT_EQ(At(0, 0), 0u);
  EXPECT_EQ(At(1, 0), 0u);
}

TEST(Swarm, CrossIsClippedArmByArmAtTheEdges) {
  // A member anchored on the left edge with sign +1 has its cross centre in column 0: the
  // left arm must not wrap round into the previous row's last pixel.
  size_t member = 0;
  SeedUntil(1, [&](const std::vector<Anchor>& anchors) {
    for (size_t i = 0; i < anchors.size(); ++i) {
      const Anchor& a = anchors[i];
      if (a.x == 0 && a.sign > 0 && a.y >= 5 && a.y <= 70 && NoneNear(anchors, i, 2, 99)) {
        for (const Anchor& other : anchors) {
          if (other.x >= 157 && other.y + 20 >= a.y && other.y <= a.y + 10) return false;
        }
        member = i;
        return true;
      }
    }
    return false;
  });
  const std::vector<Anchor> anchors = UpcomingAnchors();
  InitSwarm();
  MoveSwarm();
  for (Pixel& p : Canvas) p = 0;
  DrawSwarm();
  const int y = anchors[member].y + 5;
  EXPECT_EQ(At(0, y), kCross);
  EXPECT_EQ(At(1, y), kCross);
  EXPECT_EQ(At(0, y - 1), kCross);
  EXPECT_EQ(At(0, y + 1), kCross);
  EXPECT_EQ(At(159, y - 1), 0u);
  EXPECT_EQ(At(2, y), 0u);
}

TEST(Swarm, MembersNearTheBottomEdgeStayInsideTheCanvas) {
  // A cross on the bottom row and a companion below the Canvas: nothing is written past
  // the last row (the sanitizer build would catch a write past the buffer).
  SeedUntil(1, [](const std::vector<Anchor>& anchors) {
    for (const Anchor& a : anchors) {
      if (a.y == 94 && a.sign > 0) return true;
    }
    return false;
  });
  InitSwarm();
  MoveSwarm();
  for (Pixel& p : Canvas) p = 0;
  DrawSwarm();
  int bottom = 0;
  for (int x = 0; x < 160; ++x) bottom += At(x, 99) == kCross;
  EXPECT_GE(bottom, 2);  // the centre and at least one side arm on row 99
}
