#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "quorvel4/font.h"

namespace {

std::array<uint8_t, 12> Rows(int code) {
  std::array<uint8_t, 12> rows{};
  for (int k = 0; k < 12; ++k) rows[k] = Glyph(static_cast<unsigned char>(code))[k];
  return rows;
}

int SetPixels(int code) {
  int n = 0;
  for (uint8_t row : Rows(code)) n += __builtin_popcount(row);
  return n;
}

}  // namespace

TEST(Font, TheGlyphsOthersRelyOn) {
  using R = std::array<uint8_t, 12>;
  EXPECT_EQ(Rows('A'), (R{0x00, 0x0C, 0x1E, 0x33, 0x33, 0x33, 0x3F, 0x33, 0x33, 0x33, 0x00, 0x00}));
  EXPECT_EQ(Rows('0'), (R{0x00, 0x3E, 0x63, 0x73, 0x7B, 0x6B, 0x6F, 0x67, 0x63, 0x3E, 0x00, 0x00}));
  EXPECT_EQ(Rows(':'), (R{0x00, 0x00, 0x00, 0x1C, 0x1C, 0x00, 0x00, 0x1C, 0x1C, 0x00, 0x00, 0x00}));
  EXPECT_EQ(Rows(0), R{});
  EXPECT_EQ(Rows(' '), R{});
  EXPECT_EQ(Rows(255), R{});
  for (int k = 0; k < 12; ++k) {
    EXPECT_EQ(Glyph(219)[k], 0xFF) << k;
    EXPECT_EQ(Glyph(220)[k], k >= 6 ? 0xFF : 0x00) << k;  // lower half
    EXPECT_EQ(Glyph(221)[k], 0x0F) << k;                  // left half
    EXPECT_EQ(Glyph(222)[k], 0xF0) << k;                  // right half
    EXPECT_EQ(Glyph(223)[k], k < 6 ? 0xFF : 0x00) << k;   // upper half
  }
}

TEST(Font, ShadesCoverAQuarterAHalfAndThreeQuarters) {
  EXPECT_EQ(SetPixels(176), 96 / 4);
  EXPECT_EQ(SetPixels(177), 96 / 2);
  EXPECT_EQ(SetPixels(178), 96 * 3 / 4);
}

TEST(Font, PrintableCharactersAreDrawnWithinSevenColumns) {
  // The big text writer draws columns 0 to 6 only; the underscore alone spans the cell.
  for (int code = 33; code <= 126; ++code) {
    EXPECT_GT(SetPixels(code), 0) << code;
    if (code == '_') continue;
    for (int k = 0; k < 12; ++k) EXPECT_EQ(Glyph(code)[k] & 0x80, 0) << code << " row " << k;
  }
  // Letters and digits stand on row 9 and leave row 0 free.
  for (int code = 1; code < 256; ++code) {
    const bool letterOrDigit = (code >= '0' && code <= '9') || (code >= 'A' && code <= 'Z') || (code >= 'a' && code <= 'z');
    if (!letterOrDigit) continue;
    EXPECT_EQ(Glyph(code)[0], 0) << code;
    EXPECT_NE(Glyph(code)[9], 0) << code;
  }
}

TEST(Font, EveryGlyphButTheBlanksIsDistinct) {
  std::map<std::array<uint8_t, 12>, int> seen;
  for (int code = 0; code < 256; ++code) {
    if (code == 0 || code == 32 || code == 255) continue;
    EXPECT_GT(SetPixels(code), 0) << code;
    const auto [it, inserted] = seen.emplace(Rows(code), code);
    EXPECT_TRUE(inserted) << code << " looks like " << it->second;
  }
}

TEST(Font, BoxDrawingLinesMeetTheirNeighbours) {
  // Arms up, down, left, right of codes 179 to 218: 0 none, 1 single, 2 double.
  const char* arms[40] = {"1100", "1110", "1120", "2210", "0210", "0120", "2220", "2200", "0220", "2020",
                          "2010", "1020", "0110", "1001", "1011", "0111", "1101", "0011", "1111", "1102",
                          "2201", "2002", "0202", "2022", "0222", "2202", "0022", "2222", "1022", "2011",
                          "0122", "0211", "2001", "1002", "0102", "0201", "2211", "1122", "1010", "0101"};
  // What an arm leaves on its edge: single lines use columns 3-4 or rows 5-6, double lines
  // columns 2 and 5 or rows 4 and 7, so any two characters join seamlessly.
  const uint8_t vertical[3] = {0x00, 0x18, 0x24};
  const int horizontal[3] = {0x000, 0x060, 0x090};  // bit k = row k
  for (int code = 179; code <= 218; ++code) {
    const char* a = arms[code - 179];
    int left = 0, right = 0;
    for (int k = 0; k < 12; ++k) {
      left |= (Glyph(code)[k] & 1) << k;
      right |= (Glyph(code)[k] >> 7) << k;
    }
    EXPECT_EQ(Glyph(code)[0], vertical[a[0] - '0']) << code;
    EXPECT_EQ(Glyph(code)[11], vertical[a[1] - '0']) << code;
    EXPECT_EQ(left, horizontal[a[2] - '0']) << code;
    EXPECT_EQ(right, horizontal[a[3] - '0']) << code;
  }
}

TEST(Font, TheCompiledFontMatchesItsDrawing) {
  std::ifstream in(std::string(QVL_SOURCE_DIR) + "/tools/font/glyphs.txt");
  ASSERT_TRUE(in.good());
  std::vector<uint8_t> drawn;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == ';' || line.rfind("glyph ", 0) == 0) continue;
    ASSERT_EQ(line.size(), 8u) << line;
    uint8_t row = 0;
    for (int x = 0; x < 8; ++x) row |= (line[x] == '#') << x;
    drawn.push_back(row);
  }
  ASSERT_EQ(drawn.size(), 256u * 12);
  for (int i = 0; i < 256 * 12; ++i) ASSERT_EQ(drawn[i], kFont8x12[i]) << "glyph " << i / 12 << " row " << i % 12;
}
