// Two full-screen sine plasmas in the Canvas.
#pragma once

// The divisors and weights that make one plasma's look.
struct PlasmaShape {
  double columnG;      // divisor of the column sine of green
  double driftWeight;  // weight of green's drifting row sine
  double rowTimeB;     // divisor of t inside blue's row cosine
  double rowScaleB;    // divisor of that cosine
  double columnB;      // divisor of blue's column sine
  double rowB;         // divisor of blue's second row cosine
  double columnR;      // divisor of red's column sine
  double rowR;         // divisor of red's row cosine
  bool dimGreenRed;    // green and red at a quarter of their strength
};

inline constexpr PlasmaShape kColourPlasma{50.0, 0.00125, 140.0, 40.0, 18.0, 24.0, 142.0, 34.0, false};
inline constexpr PlasmaShape kBluePlasma{30.0, 0.00165, 80.0, 30.0, 21.0, 20.0, 92.0, 54.0, true};

// Both phases back to where a run starts them (demo/show_state.h resets every effect).
void ResetPlasma();

void DrawPlasma(float time);
void DrawBluePlasma(float time);
