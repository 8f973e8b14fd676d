// view: shows a PNG picture on the terminal through one of the library's converters.
//
//   view [--ascii] [--backend NAME | --terminal | --window] PICTURE.png
//
// The picture is scaled to fit the 80 x 50 cell screen, keeping its proportions, and centred on
// black. Without --ascii the block-colour converter draws it in the 16 console colours; with
// --ascii the ASCII-art converter draws its brightness as character shapes. The back end
// chooses where it is shown (the terminal, a window of its own, ...). Any key ends.
// Exit status: 0 shown, 1 no display or the picture cannot be read, 2 bad arguments.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "png_io.h"
#include "quorvel4/qvl_asciiart.h"
#include "quorvel4/backend_options.h"
#include "quorvel4/console.h"
#include "quorvel4/qvl_blockcolor.h"
#include "quorvel4/types.h"
#include "tool_tables.h"

namespace {


struct Picture {
  int width = 0, height = 0;
  std::vector<uint8_t> rgb;
};

// The mean of the picture's pixels in [x0, x1) x [y0, y1) (at least one pixel), as a Canvas
// pixel. With `grey`, the brightness goes into all three channels: the ASCII-art converter
// reads green as brightness.
Pixel AreaMean(const Picture& p, int x0, int x1, int y0, int y1, bool grey) {
  uint64_t sum[3] = {0, 0, 0};
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x)
      for (int c = 0; c < 3; ++c) sum[c] += p.rgb[(static_cast<size_t>(y) * p.width + x) * 3 + c];
  const uint64_t n = static_cast<uint64_t>(x1 - x0) * (y1 - y0);
  uint32_t r = static_cast<uint32_t>(sum[0] / n), g = static_cast<uint32_t>(sum[1] / n),
           b = static_cast<uint32_t>(sum[2] / n);
  if (grey) r = g = b = (299 * r + 587 * g + 114 * b) / 1000;
  return r | (g << 8) | (b << 16);
}

// Scales the picture into the middle of the Canvas, as large as fits with its proportions kept;
// each Canvas pixel is the mean of the picture pixels it covers.
void FitToCanvas(const Picture& p, bool grey, double pixelHeightToWidth) {
  const double scale = std::min(double(kCanvasWidth) / p.width, double(kCanvasHeight) * pixelHeightToWidth / p.height);
  const int w = std::clamp(static_cast<int>(p.width * scale + 0.5), 1, kCanvasWidth);
  const int h = std::clamp(static_cast<int>(p.height * scale / pixelHeightToWidth + 0.5), 1, kCanvasHeight);
  const int left = (kCanvasWidth - w) / 2, top = (kCanvasHeight - h) / 2;

  std::fill(Canvas, Canvas + kCanvasPixels, Pixel{0});
  for (int y = 0; y < h; ++y) {
    const int y0 = static_cast<int>(int64_t{y} * p.height / h);
    const int y1 = std::max(y0 + 1, static_cast<int>(int64_t{y + 1} * p.height / h));
    for (int x = 0; x < w; ++x) {
      const int x0 = static_cast<int>(int64_t{x} * p.width / w);
      const int x1 = std::max(x0 + 1, static_cast<int>(int64_t{x + 1} * p.width / w));
      Canvas[(top + y) * kCanvasWidth + left + x] = AreaMean(p, x0, x1, y0, y1, grey);
    }
  }
}

std::unique_ptr<CellConverter> MakeConverter(bool ascii) {
  if (ascii) {
    auto converter = std::make_unique<AsciiArtConverter>();
    converter->BuildMap(1);  // every character but the control codes
    return converter;
  }
  auto converter = std::make_unique<BlockColorConverter>();
  converter->BuildMap(0);
  return converter;
}

void ShowUntilKey(CellConverter& converter, const std::string& path) {
  InitConsole();
  SetTitle(("view - " + path).c_str());
  converter.ConvertCanvas();
  PresentScreen();
  // No one to see the picture or press the key (headless): the one frame is all.
  while (ActiveConsoleBackend()->Attended() && !KeyWaiting()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    PresentScreen();  // lets the back end follow resizes
  }
}

// The display is given back before the message, so the message is readable.
int Fail(const std::string& message) {
  ShutdownConsole();
  std::fprintf(stderr, "quorvel4-view: %s\n", message.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  ViewOptions options;
  const OptionTable table = ViewTable(options);
  if (const std::optional<int> status = table.Parse(argc, argv)) return *status;
  if (options.path.empty()) return table.Refuse("no picture given");
  // The display before the picture: a large one takes seconds to read, wasted when it
  // cannot be shown.
  if (const std::optional<int> status = OpenChosenBackend(table, options.backend)) return *status;
  std::string error;
  Picture picture;
  if (!ReadPng(options.path, &picture.width, &picture.height, &picture.rgb, &error))
    return Fail("cannot read " + options.path + ": " + error);
  if (picture.width <= 0 || picture.height <= 0) return Fail(options.path + " holds no pixels");

  FitToCanvas(picture, options.ascii, ActiveConsoleBackend()->PixelHeightToWidth());
  std::unique_ptr<CellConverter> converter = MakeConverter(options.ascii);
  ShowUntilKey(*converter, options.path);
  return CloseChosenBackend(table, 0);
}
