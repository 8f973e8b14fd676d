// A picture as ASCII art on standard output: the ASCII-art converter matches the shapes of
// the font's glyphs to the picture's brightness, and each cell is printed as UTF-8 text.
//
//   ascii_picture [PICTURE.raw]
//
// PICTURE.raw is a headerless 160 x 100 picture, 3 bytes (red, green, blue) per pixel;
// without one, a shaded ball is drawn.
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "quorvel4/cp437.h"
#include "quorvel4/options.h"
#include "quorvel4/qvl_asciiart.h"
#include "quorvel4/types.h"

namespace {

// The converter reads brightness from the green channel.
Pixel Grey(double brightness) {
  const auto level = static_cast<uint32_t>(brightness < 0 ? 0 : brightness > 255 ? 255 : brightness);
  return MakePixel(level, level, level);
}

void DrawBall(Pixel* pixels) {
  for (int y = 0; y < kCanvasHeight; ++y)
    for (int x = 0; x < kCanvasWidth; ++x) {
      // A cell is twice as tall as wide, so x counts half as much as y.
      const double dx = (x - 80) / 2.0 / 24.0, dy = (y - 50) / 45.0, d2 = dx * dx + dy * dy;
      if (d2 >= 1) continue;
      // Lit from the upper left: the surface normal (dx, dy, dz) against the light.
      const double dz = std::sqrt(1 - d2), light = (-0.5 * dx - 0.5 * dy + 0.7 * dz) / 0.995;
      pixels[x + kCanvasWidth * y] = Grey(255 * (0.1 + 0.9 * (light > 0 ? light : 0)));
    }
}

bool ReadPicture(const char* path, Pixel* pixels) {
  std::ifstream file(path, std::ios::binary);
  std::vector<unsigned char> rgb(3 * kCanvasPixels);
  if (!file.read(reinterpret_cast<char*>(rgb.data()), static_cast<std::streamsize>(rgb.size()))) return false;
  for (int i = 0; i < kCanvasPixels; ++i)
    pixels[i] = Grey(0.299 * rgb[3 * i] + 0.587 * rgb[3 * i + 1] + 0.114 * rgb[3 * i + 2]);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::string path;
  OptionTable options("ascii_picture", "[PICTURE.raw]",
                      "Prints a headerless 160 x 100 RGB picture (a shaded ball without one) as ASCII art.");
  options.Add({"", "PICTURE.raw", "", SetOnce(path, "one picture at a time")});
  if (const std::optional<int> status = options.Parse(argc, argv)) return *status;
  std::vector<Pixel> pixels(kCanvasPixels);
  if (!path.empty() && !ReadPicture(path.c_str(), pixels.data())) {
    options.Complain("cannot read a 160 x 100 RGB picture from " + path);
    return 1;
  }
  if (path.empty()) DrawBall(pixels.data());

  AsciiArtConverter converter;
  converter.BuildMap(AsciiArtConverter::kPrintableAscii);
  if (!converter.HasMap()) {
    std::fprintf(stderr, "ascii_picture: not enough memory for the character table\n");
    return 1;
  }
  std::vector<Cell> cells(kScreenCells);
  converter.ConvertCanvas(pixels.data(), cells.data());

  std::string text;
  for (int y = 0; y < kScreenHeight; ++y) {
    for (int x = 0; x < kScreenWidth; ++x) {
      char bytes[3];
      text.append(bytes, Utf8Encode(kCp437ToUnicode[CellCharacter(cells[x + kScreenWidth * y])], bytes));
    }
    text += '\n';
  }
  std::fputs(text.c_str(), stdout);
  return 0;
}
