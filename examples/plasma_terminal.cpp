// A plasma in the terminal: pixels drawn into the Canvas, turned into coloured block cells by
// the block-colour converter and presented, until a key is pressed.
//
//   plasma_terminal [--backend NAME] [--frames N]
//
// --backend chooses the display (default: the first usable one, the terminal); --frames
// stops after N frames (with `--backend headless --frames 3` it runs without a terminal).
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <thread>

#include "quorvel4/backend_options.h"
#include "quorvel4/console.h"
#include "quorvel4/qvl_blockcolor.h"
#include "quorvel4/types.h"

namespace {

// A channel level 0 to 255 from a wave -1 to 1.
uint32_t Level(double wave) { return static_cast<uint32_t>(127.5 + 127.0 * wave); }

void DrawPlasma(double t) {
  for (int y = 0; y < kCanvasHeight; ++y)
    for (int x = 0; x < kCanvasWidth; ++x) {
      const double v = std::sin(x / 16.0 + t) + std::sin(y / 9.0 - t * 0.7) + std::sin((x + y) / 25.0 + t * 0.3);
      Canvas[x + kCanvasWidth * y] = MakePixel(Level(std::sin(v)), Level(std::sin(v + 2.1)), Level(std::cos(v * 1.3)));
    }
}

}  // namespace

int main(int argc, char** argv) {
  std::string backend;
  long long frames = -1;  // until a key is pressed
  OptionTable options("plasma_terminal", "[--backend NAME] [--frames N]", "A plasma until a key is pressed.");
  AddBackendOptions(options, backend);
  options.Add({"--frames", "N", "stop after N frames", SetNumber(frames, "--frames", 0, 1000000000)});
  if (const std::optional<int> status = options.Parse(argc, argv)) return *status;

  if (const std::optional<int> status = OpenChosenBackend(options, backend)) return *status;
  BlockColorConverter converter;
  converter.BuildMap();
  if (!converter.HasMap()) {
    std::fprintf(stderr, "plasma_terminal: not enough memory for the colour table\n");
    return 1;
  }

  InitConsole();
  for (long long frame = 0; (frames < 0 || frame < frames) && !KeyWaiting(); ++frame) {
    DrawPlasma(frame * 0.04);
    converter.ConvertCanvas();  // the whole Canvas into the whole CellScreen
    PresentScreen();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ShutdownConsole();
  return 0;
}
