// Shared types and the two global picture buffers of the console text-mode library.
#pragma once

#include <cstdint>

// One character cell: low byte a code page 437 character, high byte the console
// attribute (low nibble foreground, high nibble background; 1 blue, 2 green, 4 red, 8 bright).
using Cell = uint16_t;

// One pixel, numerically 0x00BBGGRR: red in bits 0-7, green 8-15, blue 16-23.
using Pixel = uint32_t;

// The console colours by number, as the attribute's nibbles hold them (1 blue, 2 green,
// 4 red, 8 the bright half).
enum ConsoleColour : unsigned {
  kColourBlack, kColourBlue, kColourGreen, kColourCyan, kColourRed, kColourMagenta, kColourBrown,
  kColourLightGrey, kColourDarkGrey, kColourLightBlue, kColourLightGreen, kColourLightCyan, kColourLightRed,
  kColourLightMagenta, kColourYellow, kColourWhite,
};

// A console attribute: foreground colour in the low nibble, background in the high one.
constexpr uint8_t MakeAttribute(unsigned foreground, unsigned background) {
  return static_cast<uint8_t>((foreground & 15) | (background & 15) << 4);
}
// A Cell of a character and an attribute.
constexpr Cell MakeCell(uint8_t character, uint8_t attribute) { return static_cast<Cell>(attribute << 8 | character); }
// A Cell of a character in a foreground colour on a background colour.
constexpr Cell MakeCell(uint8_t character, unsigned foreground, unsigned background) {
  return MakeCell(character, MakeAttribute(foreground, background));
}
constexpr uint8_t CellCharacter(Cell cell) { return static_cast<uint8_t>(cell & 0xFF); }
constexpr uint8_t CellAttribute(Cell cell) { return static_cast<uint8_t>(cell >> 8); }
constexpr unsigned CellForeground(Cell cell) { return (cell >> 8) & 15; }
constexpr unsigned CellBackground(Cell cell) { return (cell >> 12) & 15; }


// A pixel of three channel levels 0 to 255.
constexpr Pixel MakePixel(uint32_t red, uint32_t green, uint32_t blue) {
  return (red & 0xFF) | (green & 0xFF) << 8 | (blue & 0xFF) << 16;
}
constexpr uint32_t PixelRed(Pixel pixel) { return pixel & 0xFF; }
constexpr uint32_t PixelGreen(Pixel pixel) { return (pixel >> 8) & 0xFF; }
constexpr uint32_t PixelBlue(Pixel pixel) { return (pixel >> 16) & 0xFF; }

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
