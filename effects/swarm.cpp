// A hundred circling crosses with swinging companions, drawn into the Canvas.
//
// Each member's cross circles its anchor at a radius of 5 pixels; the companion hangs off
// the cross on a two-jointed arm of 10 and 5 pixels. Members with sign -1 are mirrored
// through pixel (0, 0), so they show only near the top-left corner, where the bounds let
// them through.
#include "swarm.h"
#include "canvas_plot.h"

#include <array>

#include "quorvel4/qmath.h"
#include "quorvel4/random.h"
#include "quorvel4/types.h"

namespace {

struct SwarmMember {
  int32_t firstX;
  int32_t firstY;
  int32_t secondX;
  int32_t secondY;
  int32_t firstColour;
  int32_t secondColour;
  int32_t active;
  int32_t orbitAngle;  // whole degrees
  int32_t armAngle;
  int32_t handAngle;
  int32_t anchorX;
  int32_t anchorY;
  int32_t sign;
};

constexpr int kMembers = 100;

std::array<SwarmMember, kMembers> gSwarm{};

double Radians(int32_t degrees) { return degrees / kDegreesPerRadian; }

// trunc(sin(angle) * length + x), the horizontal end of an arm from x.
int32_t ArmEndX(int32_t angle, double length, int32_t x) {
  return static_cast<int32_t>(QvlSin(Radians(angle)) * length + x);
}

int32_t ArmEndY(int32_t angle, double length, int32_t y) {
  return static_cast<int32_t>(QvlCos(Radians(angle)) * length + y);
}

void PlacePoints(SwarmMember& m) {
  m.firstX = ArmEndX(m.orbitAngle, 5.0, m.anchorX) * m.sign;
  m.firstY = ArmEndY(m.orbitAngle, 5.0, m.anchorY) * m.sign;
  m.secondX = ArmEndX(m.armAngle, 10.0, m.firstX);
  m.secondY = ArmEndY(m.armAngle, 10.0, m.firstY);
  m.secondX = ArmEndX(m.handAngle, 5.0, m.secondX);
  m.secondY = ArmEndY(m.handAngle, 5.0, m.secondY);
}

// The orbit turns forward by 0 to 9 degrees, the two joints back by 0 or 1 degree.
void AdvanceAngles(SwarmMember& m) {
  m.orbitAngle += Random() % 10;
  if (m.orbitAngle >= 360) m.orbitAngle = 0;
  m.armAngle -= Random() % 2;
  if (m.armAngle <= -360) m.armAngle = 0;
  m.handAngle -= Random() % 2;
  if (m.handAngle <= -360) m.handAngle = 0;
}

bool OnCanvas(int32_t x, int32_t y) { return x >= 0 && x < kCanvasWidth && y >= 0 && y < kCanvasHeight; }

// A five-pixel plus sign, clipped arm by arm at the Canvas edges.
void DrawCross(int32_t x, int32_t y, int32_t colour) {
  PlotPixel(x, y, colour);
  if (x - 1 >= 0) PlotPixel(x - 1, y, colour);
  if (x + 1 < kCanvasWidth) PlotPixel(x + 1, y, colour);
  if (y + 1 < kCanvasHeight) PlotPixel(x, y + 1, colour);
  if (y - 1 >= 0) PlotPixel(x, y - 1, colour);
}

}  // namespace

void ResetSwarm() { gSwarm.fill(SwarmMember{}); }

void InitSwarm() {
  for (SwarmMember& m : gSwarm) {
    m.active = 1;
    m.firstColour = 0xFFFFBF;
    m.secondColour = 0xFFFFFF;
    m.anchorX = Random() % kCanvasWidth;
    m.anchorY = Random() % kCanvasHeight;
    m.sign = (Random() % 2 == 0) ? -1 : 1;
    m.orbitAngle = 0;
    m.armAngle = 0;
    m.handAngle = 0;
  }
}

void MoveSwarm() {
  for (SwarmMember& m : gSwarm) {
    if (m.active == 0) continue;
    // The points show the angles before this call's steps.
    PlacePoints(m);
    AdvanceAngles(m);
  }
}

void DrawSwarm() {
  for (const SwarmMember& m : gSwarm) {
    if (OnCanvas(m.firstX, m.firstY)) DrawCross(m.firstX, m.firstY, m.firstColour);
    if (OnCanvas(m.secondX, m.secondY)) PlotPixel(m.secondX, m.secondY, m.secondColour);
  }
}
