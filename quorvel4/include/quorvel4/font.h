// The 8 x 12 code page 437 glyph font.
//
// 256 glyphs of 12 bytes in code page 437 order, glyph g at byte 12 * g. Byte k is pixel
// row k from the top; bit j is pixel column j from the left (bit 0 leftmost).
#pragma once

#include <cstdint>

constexpr int kGlyphWidth = 8;
constexpr int kGlyphHeight = 12;

extern const uint8_t kFont8x12[256 * kGlyphHeight];

// The rows of the glyph of code `code`.
inline const uint8_t* Glyph(unsigned char code) { return kFont8x12 + kGlyphHeight * code; }
