#include "demo/timeline.h"

#include <algorithm>

#include "demo/show_script.h"
#include "quorvel4/random.h"

Pixel CanvasCopy[kCanvasPixels];

Show::Show() = default;
Show::~Show() = default;

bool RunScene(int32_t t, Show& show) {
  if (!show.script) return false;
  return show.script->RunScene(t, show.sceneIndex, show.ended, show.failure);
}

void ConvertCanvas(Show& show) { show.converter.ConvertCanvas(); }

void RandomFill() {
  // Three separate statements: the draws' order is fixed (the first one lands in bits 16-23).
  const Pixel high = static_cast<Pixel>(Random() % 256);
  const Pixel middle = static_cast<Pixel>(Random() % 256);
  const Pixel low = static_cast<Pixel>(Random() % 256);
  std::fill(Canvas, Canvas + kCanvasPixels, high * 65536 + middle * 256 + low);
}
