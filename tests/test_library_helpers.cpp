#include <gtest/gtest.h>

#include <vector>

#include "quorvel4/qvl_asciiart.h"
#include "quorvel4/qvl_blockcolor.h"
#include "quorvel4/types.h"

TEST(CellHelpers, BuildAndReadEveryCell) {
  EXPECT_EQ(MakeCell('A', kColourYellow, kColourBlue), 0x1E41);
  EXPECT_EQ(MakeCell(0xDB, MakeAttribute(kColourWhite, kColourBlack)), 0x0FDB);
  for (int value = 0; value < 65536; ++value) {
    const auto cell = static_cast<Cell>(value);
    ASSERT_EQ(MakeCell(CellCharacter(cell), CellAttribute(cell)), cell);
    ASSERT_EQ(MakeCell(CellCharacter(cell), CellForeground(cell), CellBackground(cell)), cell);
  }
  // Colours beyond 15 keep their low nibble instead of spilling into the other one.
  EXPECT_EQ(MakeAttribute(0x1F, 0x12), 0x2F);
}

TEST(PixelHelpers, ChannelsSitWhereTheConvertersReadThem) {
  EXPECT_EQ(MakePixel(0xFF, 0x80, 0x01), 0x000180FFu);
  EXPECT_EQ(MakePixel(0x100, 0x1FF, 0), 0x0000FF00u);  // only the low 8 bits of each channel
  const Pixel p = 0xAB123456;
  EXPECT_EQ(PixelRed(p), 0x56u);
  EXPECT_EQ(PixelGreen(p), 0x34u);
  EXPECT_EQ(PixelBlue(p), 0x12u);
}

TEST(ConverterInterface, TablesAreReportedAndEveryConverterAnswersCellForAlike) {
  BlockColorConverter block;
  AsciiArtConverter ascii;
  EXPECT_FALSE(block.HasMap());
  EXPECT_FALSE(ascii.HasMap());
  block.BuildMap();
  ascii.BuildMap();
  ASSERT_TRUE(block.HasMap());
  ASSERT_TRUE(ascii.HasMap());
  // CellFor takes a pixel for every converter; MatchCell's numbers mean one thing per converter.
  for (const Pixel p : {0x000000u, 0xFFFFFFu, 0x0080FF40u, 0x00123456u, 0x00FC00FCu}) {
    EXPECT_EQ(block.CellFor(p), block.MatchCell(PixelRed(p) >> 2, PixelGreen(p) >> 2, PixelBlue(p) >> 2)) << p;
    EXPECT_EQ(ascii.CellFor(p), ascii.MatchCell(0, PixelGreen(p), 0)) << p;
  }
  // The whole canvas lands on the whole screen and nowhere else.
  std::vector<Pixel> canvas(kCanvasPixels, 0x00FFFFFF);
  std::vector<Cell> cells(kScreenCells + 1, 0xABCD);
  block.ConvertCanvas(canvas.data(), cells.data());
  for (int i = 0; i < kScreenCells; ++i) ASSERT_EQ(cells[i], 0x0FDB) << i;
  EXPECT_EQ(cells[kScreenCells], 0xABCD);
}
