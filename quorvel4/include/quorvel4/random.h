// The process-wide pseudo-random generator every effect draws from.
//
// A linear congruential generator: state = state * 214013 + 2531011 (mod 2^32), each
// draw returning bits 16-30 of the new state (0 to 32767). It is ours rather than the
// C library's rand(), whose sequence differs between platforms: the show's looks
// depend on the exact stream.
#pragma once

#include <cstdint>

constexpr int kRandomMax = 32767;

// The state before any seeding: the C library's default.
constexpr uint32_t kRandomStartState = 1;

// Sets the generator's state (the only seeding the show does is in InitConsole).
void SeedRandom(uint32_t seed);

// Advances the generator and returns the next number, 0 to 32767.
int Random();

// The raw state, for tests and tools that need to save and compare it.
uint32_t RandomState();
