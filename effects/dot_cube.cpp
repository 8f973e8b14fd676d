// A turning lattice of glowing dots, shown through the Canvas.
//
// 9 x 9 x 9 dots are turned, projected in perspective onto an 80 x 50 grid of brightness
// bytes (32 per dot, wrapping at 256) and painted as 2 x 2 pixel blocks through a palette
// whose components may exceed 255 and carry into the field above.
//
// The lattice and the palette are built once, by the start-up, and drawn from no random
// number: the same in every run. A frame keeps nothing for the next: the turned dots and the
// grid are worked out afresh from its time, so a frame depends on its time alone.
#include "dot_cube.h"

#include <array>
#include <cstring>

#include "quorvel4/debug.h"
#include "quorvel4/qmath.h"
#include "quorvel4/types.h"

namespace {

struct Dot {
  float x, y, z;                    // lattice position, -4 to 4
  float turnedX, turnedY, turnedZ;  // this frame's turns of x, y, z; no frame reads another's
};

struct DotList {
  static constexpr int kCapacity = 9 * 9 * 9;
  std::array<Dot, kCapacity> dots{};
  int32_t count = 0;
};

struct PaletteEntry {
  int32_t blue, green, red;
};

constexpr int kGridWidth = kScreenWidth;
constexpr int kGridHeight = kScreenHeight;
constexpr uint8_t kDotBrightness = 32;

DotList gDotList;
// The frame's brightness bytes: emptied before every frame's dots, so only its buffer outlives it.
std::array<uint8_t, kGridWidth * kGridHeight> gDotGrid{};
std::array<PaletteEntry, 256> gDotPalette{};

struct Turn {
  double cosine, sine;
  explicit Turn(float angle) : cosine(QvlCos(double(angle))), sine(QvlSin(double(angle))) {}
};

// About x by spin, then about y by tilt, then about z by spin, each from the one before.
void TurnDot(Dot& d, const Turn& spin, const Turn& tilt) {
  d.turnedY = static_cast<float>(d.y * spin.cosine - d.z * spin.sine);
  d.turnedZ = static_cast<float>(d.y * spin.sine + d.z * spin.cosine);

  const float afterX = d.turnedZ;
  d.turnedX = static_cast<float>(d.x * tilt.cosine - afterX * tilt.sine);
  d.turnedZ = static_cast<float>(d.x * tilt.sine + afterX * tilt.cosine);

  const float beforeX = d.turnedX;
  const float beforeY = d.turnedY;
  d.turnedX = static_cast<float>(beforeX * spin.cosine - beforeY * spin.sine);
  d.turnedY = static_cast<float>(beforeX * spin.sine + beforeY * spin.cosine);
}

// Perspective onto the grid; the divisor is always negative, so the figure shows turned by
// half a turn. Column 0 and row 0 never receive a dot.
void ProjectDot(const Dot& d, float distance) {
  const double depth = double(d.turnedZ) + double(distance);
  const int32_t column = static_cast<int32_t>(double(d.turnedX) * 100.0 / depth + 40.0);
  const int32_t row = static_cast<int32_t>(double(d.turnedY) * 100.0 / depth + 25.0);
  if (column > 0 && column < kGridWidth && row > 0 && row < kGridHeight) {
    gDotGrid[column + kGridWidth * row] += kDotBrightness;  // wraps after 8 dots
  }
}

Pixel PalettePixel(uint8_t brightness) {
  const PaletteEntry& e = gDotPalette[brightness];
  return static_cast<Pixel>(e.blue * 65536 + e.green * 256 + e.red);
}

void PaintGrid() {
  for (int j = 0; j < kGridHeight; ++j) {
    Pixel* top = Canvas + 2 * j * kCanvasWidth;
    Pixel* bottom = top + kCanvasWidth;
    for (int i = 0; i < kGridWidth; ++i) {
      const Pixel p = PalettePixel(gDotGrid[i + kGridWidth * j]);
      top[2 * i] = top[2 * i + 1] = p;
      bottom[2 * i] = bottom[2 * i + 1] = p;
    }
  }
}

void DrawCube(int32_t time, int32_t nearLimit) {
  // Every division of the time is a floating one: the cube turns and approaches smoothly
  // (one unit of distance per 10 ms) until it reaches the near limit.
  const float spin = static_cast<float>(time / 1000.0 + 0.01);
  const float tilt = static_cast<float>(time / 800.0 + 0.01);
  float distance = static_cast<float>(time / 10.0 - 90);
  if (distance > float(nearLimit)) distance = float(nearLimit);

  const Turn spinTurn(spin);
  const Turn tiltTurn(tilt);
  for (int32_t i = 0; i < gDotList.count; ++i) TurnDot(gDotList.dots[i], spinTurn, tiltTurn);

  gDotGrid.fill(0);
  for (int32_t i = 0; i < gDotList.count; ++i) ProjectDot(gDotList.dots[i], distance);
  PaintGrid();
}

}  // namespace

void ResetDotCube() {
  gDotList = DotList{};
  gDotGrid.fill(0);
  gDotPalette.fill(PaletteEntry{});
}

void MakeDotGrid() {
  DebugPrint("made dots\n");
  int32_t count = 0;
  for (int i = -8; i <= 8; i += 2) {
    for (int j = -8; j <= 8; j += 2) {
      for (int k = -8; k <= 8; k += 2) {
        gDotList.dots[count++] = Dot{float(i / 2), float(j / 2), float(k / 2), 0.0f, 0.0f, 0.0f};
      }
    }
  }
  gDotList.count = count;
  DebugPrint("dotnum=%d a=%d\n", gDotList.count, gDotList.count);
}

void BuildDotPalette() {
  for (int32_t n = 0; n < 256; ++n) {
    PaletteEntry& e = gDotPalette[n];
    if (n < 64) {
      e = {0, 0, n + 1};
    } else if (n < 192) {
      e = {4 * (n - 63), 0, n + 1};
    } else if (n < 255) {
      e = {512, 8 * (n - 191), n + 1};
    } else {
      e = {255, 255, 255};
    }
  }
}

void DrawDotCube(int32_t time) { DrawCube(time, -16); }

void DrawDotCubeClose(int32_t time) { DrawCube(time, -8); }
