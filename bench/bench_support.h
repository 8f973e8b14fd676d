// What the effect benchmarks share: the frame's Canvas-to-cell conversion.
#pragma once

#include "quorvel4/qvl_blockcolor.h"
#include "quorvel4/types.h"

// One converter with its table built, for the whole benchmark run.
inline BlockColorConverter& SharedConverter() {
  static BlockColorConverter* converter = [] {
    auto* built = new BlockColorConverter;
    built->BuildMap(0);
    return built;
  }();
  return *converter;
}

// The whole Canvas into the whole CellScreen, as the frame loop converts it.
inline void ConvertCanvas() {
  SharedConverter().ConvertCanvas();
}
