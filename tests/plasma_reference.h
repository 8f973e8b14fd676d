// The two plasmas written out plainly, every term of every pixel computed in full, with a
// phase of their own: the yardstick for the fast versions in the effects (tests, benchmark),
// which work out the terms of a column, a row or a frame once.
#pragma once

#include <cstdint>

#include "effects/plasma.h"
#include "quorvel4/qmath.h"
#include "quorvel4/types.h"

struct ReferencePlasma {
  PlasmaShape shape;
  float drift = 0.0f;

  static ReferencePlasma Colour() { return {kColourPlasma}; }
  static ReferencePlasma Blue() { return {kBluePlasma}; }

  void Draw(float time, Pixel* out) {
    const double p1 = shape.columnG, k = shape.driftWeight, p2 = shape.rowTimeB, p3 = shape.rowScaleB,
                 p4 = shape.columnB, p5 = shape.rowB, p6 = shape.columnR, p7 = shape.rowR;
    const float t = static_cast<float>(static_cast<double>(time) / 20);
    for (int x = 0; x < 160; ++x) {
      drift = static_cast<float>(drift + static_cast<double>(t) / 5000);
      for (int y = 0; y < 100; ++y) {
        const double dx = x, dy = y, dt = t, dd = drift;
        float g = static_cast<float>(QvlSin((dx - dt) / p1) +
                                     QvlCos(dd / 1000) * k * QvlSin((dy + dt / 2 + dd) / 40));
        float b = static_cast<float>(QvlCos(dy + dt / p2) / p3 * QvlSin((dx + dt) / p4) + QvlCos((dy + dt) / p5));
        float r = static_cast<float>(QvlSin((dx + dt) / p6) * QvlCos((dy - dt) / p7));
        float* channels[3] = {&g, &b, &r};
        for (float* c : channels) {
          *c = *c + 1.0f;
          *c = *c / 2.0f;
          *c = *c * 250.0f;
          if (*c > 255.0f) *c = 255.0f;
        }
        if (b < 0.0f) b = 0.0f;
        if (shape.dimGreenRed) {
          g = g / 4.0f;
          r = r / 4.0f;
        }
        out[x + 160 * y] = static_cast<Pixel>(static_cast<int32_t>(b) * 65536 + static_cast<int32_t>(g) * 256 +
                                              static_cast<int32_t>(r));
      }
    }
  }
};
