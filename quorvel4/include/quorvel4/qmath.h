// Sine and cosine that give the same bits on every platform.
//
// The C libraries of the platforms the show runs on round sin and cos differently (each is
// off by one unit in the last place for a different small share of arguments), which would
// make the pictures differ. QvlSin and QvlCos return the exact sine and cosine rounded to
// the nearest double, so every conforming IEEE 754 platform gives the same result.
//
// - Every finite double: correctly rounded (round to nearest). Arguments below 2^20 in
//   magnitude take a fast path, about as fast as the C library's sin; about one in 15,000 of
//   them, and every larger argument, take an exact multi-precision path (a few microseconds).
// - NaN and infinities give a quiet NaN (always the same bits).
// - sin(-0) is -0, cos(+-0) is 1.
//
// They use only double arithmetic and integer operations: no FMA, no long double, no
// library sin or cos. The library is built with -ffp-contract=off so that no compiler fuses
// their products.
#pragma once

// The sine of x (radians), correctly rounded.
double QvlSin(double x);

// The cosine of x (radians), correctly rounded.
double QvlCos(double x);
