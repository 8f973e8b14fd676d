// The PNG reader on files whose sizes lie: nothing is allocated from a size the file's bytes
// cannot back (the fuzz target's findings, fuzz/regressions/png).
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "png_io.h"

namespace {

void BigEndian(std::vector<uint8_t>& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

// A chunk with a correct checksum, claiming `claimed` bytes but holding `data`.
void Chunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data, uint32_t claimed) {
  BigEndian(out, claimed);
  const size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = start; i < out.size(); ++i) {
    crc ^= out[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  BigEndian(out, ~crc);
}

std::vector<uint8_t> Png(uint32_t width, uint32_t height, uint32_t textClaims) {
  std::vector<uint8_t> file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> header;
  BigEndian(header, width);
  BigEndian(header, height);
  header.insert(header.end(), {8, 2, 0, 0, 0});
  Chunk(file, "IHDR", header, 13);
  const std::vector<uint8_t> text = {'T', 'i', 't', 'l', 'e', 0, 'q', 'v', 'l', '4'};
  Chunk(file, "tEXt", text, textClaims);
  // One black pixel, deflated: a filter byte and three zeros.
  Chunk(file, "IDAT", {0x78, 0x9C, 0x63, 0x60, 0x60, 0x60, 0x00, 0x00, 0x00, 0x04, 0x00, 0x01}, 12);
  Chunk(file, "IEND", {}, 0);
  return file;
}

}  // namespace

TEST(PngReading, ChunksAndPicturesLargerThanTheFileAreRefused) {
  int width = 0, height = 0;
  std::vector<uint8_t> rgb;
  std::string error;
  const std::vector<uint8_t> honest = Png(1, 1, 10);
  ASSERT_TRUE(ReadPngFromMemory(honest.data(), honest.size(), &width, &height, &rgb, &error)) << error;
  EXPECT_EQ(rgb, (std::vector<uint8_t>{0, 0, 0}));

  // libpng would allocate the gigabyte the chunk claims before finding the file too short.
  const std::vector<uint8_t> lying = Png(1, 1, 0x40000008);
  EXPECT_FALSE(ReadPngFromMemory(lying.data(), lying.size(), &width, &height, &rgb, &error));
  EXPECT_NE(error.find("a chunk claims 1073741832 bytes"), std::string::npos) << error;

  // Within the bounds on the sides, but far more pixels than a hundred bytes can hold.
  const std::vector<uint8_t> claiming = Png(16384, 4096, 10);
  error.clear();
  EXPECT_FALSE(ReadPngFromMemory(claiming.data(), claiming.size(), &width, &height, &rgb, &error));
  EXPECT_NE(error.find("cannot hold a picture of 16384 x 4096 pixels"), std::string::npos) << error;
}

// A path to a source without end is judged on its first bytes, not read until memory runs out.
TEST(PngReading, AnEndlessSourceIsRefusedWithoutReadingItAll) {
  int width = 0, height = 0;
  std::vector<uint8_t> rgb;
  std::string error;
  EXPECT_FALSE(ReadPng("/dev/zero", &width, &height, &rgb, &error));
  EXPECT_FALSE(error.empty());
}
