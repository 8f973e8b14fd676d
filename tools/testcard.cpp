// The test card: shows whether a terminal presents the show correctly. The top half holds
// the 256 code page 437 glyphs, whose colours advance every half second so that each
// glyph passes through all 16 x 16 colour pairs, and a fixed table of the 256 colour
// pairs; below them the 16 palette colours and a colour gradient converted to cells by
// the block-colour converter, as the show converts its pictures. Any key quits.
//
//   testcard [--backend NAME | --terminal | --window]
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "quorvel4/backend_options.h"
#include "quorvel4/console.h"
#include "quorvel4/qvl_blockcolor.h"
#include "quorvel4/types.h"
#include "tool_tables.h"

namespace {

constexpr int kGlyphGridX = 4;     // column of the first glyph column's left edge
constexpr int kGlyphGridY = 2;     // row of glyph row 0
constexpr int kGlyphCellWidth = 3;
constexpr int kPairGridX = 60;     // column of foreground 0 in the colour pair table
constexpr int kPaletteRow = 19;
constexpr int kGradientLabelRow = 20;
constexpr int kGradientCellRow = 21;
constexpr int kGradientPixelTop = 2 * kGradientCellRow;  // the canvas row that lands on that cell row
constexpr auto kColourStep = std::chrono::milliseconds(500);

constexpr char kHex[] = "0123456789ABCDEF";

void PutText(Cell* screen, int x, int y, int attribute, const char* text) {
  for (; *text && x < kScreenWidth; ++text, ++x) {
    screen[y * kScreenWidth + x] = MakeCell(static_cast<unsigned char>(*text), attribute & 15, attribute >> 4);
  }
}

// Hue across, from black through the full colour to white downwards.
Pixel GradientPixel(int x, int y, int top) {
  const double hue = 6.0 * x / kCanvasWidth;
  const double t = static_cast<double>(y - top) / (kCanvasHeight - 1 - top);
  const double channel[3] = {std::fabs(hue - 3.0) - 1.0, 2.0 - std::fabs(hue - 2.0), 2.0 - std::fabs(hue - 4.0)};
  Pixel pixel = 0;
  for (int c = 0; c < 3; ++c) {
    const double full = std::fmin(std::fmax(channel[c], 0.0), 1.0);
    const double value = t < 0.5 ? full * 2.0 * t : full + (1.0 - full) * (2.0 * t - 1.0);
    pixel |= static_cast<Pixel>(std::lround(255.0 * value)) << (8 * c);
  }
  return pixel;
}

void DrawGradient(Cell* screen) {
  for (int y = kGradientPixelTop; y < kCanvasHeight; ++y) {
    for (int x = 0; x < kCanvasWidth; ++x) Canvas[y * kCanvasWidth + x] = GradientPixel(x, y, kGradientPixelTop);
  }
  BlockColorConverter converter;
  converter.BuildMap(0);
  converter.Convert2x2(Canvas, SourceRect(0, kGradientPixelTop, kCanvasWidth, kCanvasHeight), kCanvasWidth, 0,
                       kGradientCellRow, screen);
}

void DrawPairTable(Cell* screen) {
  PutText(screen, kPairGridX - 4, 0, 0x07, "fg");
  for (int fg = 0; fg < 16; ++fg) {
    screen[1 * kScreenWidth + kPairGridX + fg] = MakeCell(kHex[fg], 7, 0);
  }
  for (int bg = 0; bg < 16; ++bg) {
    const int row = kGlyphGridY + bg;
    screen[row * kScreenWidth + kPairGridX - 2] = MakeCell(kHex[bg], 7, 0);
    for (int fg = 0; fg < 16; ++fg) screen[row * kScreenWidth + kPairGridX + fg] = MakeCell('A', fg, bg);
  }
  PutText(screen, kPairGridX - 4, kGlyphGridY + 16, 0x07, "bg");
}

void DrawPalette(Cell* screen) {
  for (int colour = 0; colour < 16; ++colour) {
    char label[8];
    std::snprintf(label, sizeof label, " %-2d  ", colour);
    const int ink = (colour == 0 || colour == 1 || colour == 8) ? 15 : 0;
    PutText(screen, colour * 5, kPaletteRow, colour << 4 | ink, label);
  }
}

void DrawStaticParts(Cell* screen) {
  PutText(screen, 0, 0, 0x0F, "Quorvel4 test card - any key quits");
  for (int gx = 0; gx < 16; ++gx) screen[1 * kScreenWidth + kGlyphGridX + gx * kGlyphCellWidth + 1] = MakeCell(kHex[gx], 7, 0);
  for (int gy = 0; gy < 16; ++gy) {
    const char label[3] = {kHex[gy], '_', 0};
    PutText(screen, 1, kGlyphGridY + gy, 0x07, label);
  }
  DrawPairTable(screen);
  DrawPalette(screen);
  PutText(screen, 0, kGradientLabelRow, 0x07, "Block-colour gradient: should read as smooth bands of colour, no stray glyphs");
  DrawGradient(screen);
}

// Glyph g = 16 * gy + gx shows foreground (gx + step) and background (gy + step / 16):
// after 256 steps it has been shown in every pair.
void DrawGlyphGrid(Cell* screen, int step) {
  for (int gy = 0; gy < 16; ++gy) {
    for (int gx = 0; gx < 16; ++gx) {
      const int fg = gx + step, bg = gy + step / 16;
      Cell* cell = &screen[(kGlyphGridY + gy) * kScreenWidth + kGlyphGridX + gx * kGlyphCellWidth];
      cell[0] = MakeCell(' ', fg, bg);
      cell[1] = MakeCell(gy * 16 + gx, fg, bg);
      cell[2] = MakeCell(' ', fg, bg);
    }
  }
  char status[40];
  std::snprintf(status, sizeof status, "colour step %3d/256", step % 256 + 1);
  PutText(screen, 36, 0, 0x08, status);
}

}  // namespace

int main(int argc, char** argv) {
  std::string backend;
  const OptionTable options = TestcardTable(backend);
  if (const std::optional<int> status = options.Parse(argc, argv)) return *status;
  if (const std::optional<int> status = OpenChosenBackend(options, backend)) return *status;
  InitConsole();
  SetTitle("Quorvel4 test card");
  static Cell card[kScreenCells];
  DrawStaticParts(card);
  const auto start = std::chrono::steady_clock::now();
  const bool attended = ActiveConsoleBackend()->Attended();
  do {
    const int step = static_cast<int>((std::chrono::steady_clock::now() - start) / kColourStep);
    std::memcpy(CellScreen, card, sizeof card);
    DrawGlyphGrid(CellScreen, step);
    PresentScreen();
    if (!attended) break;  // no one to see the card or press the key: one frame is all
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  } while (!KeyWaiting());
  return CloseChosenBackend(options, 0);
}
