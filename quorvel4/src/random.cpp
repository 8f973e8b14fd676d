#include "quorvel4/random.h"

namespace {
uint32_t gState = kRandomStartState;
}

void SeedRandom(uint32_t seed) { gState = seed; }

int Random() {
  gState = gState * 214013u + 2531011u;
  return static_cast<int>((gState >> 16) & 0x7FFF);
}

uint32_t RandomState() { return gState; }
