// Shared types and the two global picture buffers of the console text-mode library.
#pragma once

#include <cstdint>

// One character cell: low byte a code page 437 character, high byte the console
// attribute (low nibble foreground, high nibble background; 1 blue, 2 green, 4 red, 8 bright).
using Cell = uint16_t;

// One pixel, numerically 0x00BBGGRR: red in bits 0-7, green 8-15, blue 16-23.
using Pixel = uint32_t;

constexpr int kScreenWidth = 80;
constexpr int kScreenHeight = 50;
constexpr int kScreenCells = kScreenWidth * kScreenHeight;

constexpr int kCanvasWidth = 160;
constexpr int kCanvasHeight = 100;
constexpr int kCanvasPixels = kCanvasWidth * kCanvasHeight;

// A pixel rectangle: right and bottom are exclusive.
struct SourceRect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;

  SourceRect() = default;
  SourceRect(int32_t l, int32_t t, int32_t r, int32_t b) : left(l), top(t), right(r), bottom(b) {}
};

// The screen of 80 x 50 cells, row-major; cell (x, y) is CellScreen[x + 80 * y].
extern Cell CellScreen[kScreenCells];

// The 160 x 100 pixel canvas, row-major; pixel (x, y) is Canvas[x + 160 * y].
extern Pixel Canvas[kCanvasPixels];
