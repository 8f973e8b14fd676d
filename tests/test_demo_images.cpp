#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "demo/images.h"
#include "demo_test_support.h"

namespace {

std::vector<uint8_t> PictureBytes(size_t size, std::initializer_list<uint8_t> head) {
  std::vector<uint8_t> bytes(size, 0x40);
  std::copy(head.begin(), head.end(), bytes.begin());
  return bytes;
}

}  // namespace

TEST(LoadRawImage, PixelsAreRedGreenBlueFromTheLowByteUp) {
  ScratchDirectory scratch;
  const std::string path = scratch.File("p.raw");
  std::vector<Pixel> image(16000, 0xDEADBEEF);
  struct Case {
    std::initializer_list<uint8_t> head;
    Pixel expected;
  };
  for (const Case c : {Case{{0x10, 0x20, 0x30}, 0x00302010}, Case{{0xFF, 0x80, 0x00}, 0x000080FF},
                       Case{{0x00, 0x00, 0x80}, 0x00800000}}) {
    WriteBytes(path, PictureBytes(48000, c.head));
    ASSERT_TRUE(LoadRawImage(path.c_str(), image.data(), 160, 100));
    EXPECT_EQ(image[0], c.expected);
    EXPECT_EQ(image[15999], 0x00404040u);
  }
}

TEST(LoadRawImage, RowsComeFromTheTopAndExtraBytesAreIgnored) {
  ScratchDirectory scratch;
  const std::string path = scratch.File("p.raw");
  std::vector<uint8_t> bytes = StandInPicture(160, 100, 3);
  WriteBytes(path, bytes);
  std::vector<Pixel> exact(16000), longer(16000);
  ASSERT_TRUE(LoadRawImage(path.c_str(), exact.data(), 160, 100));
  bytes.insert(bytes.end(), {1, 2, 3});
  WriteBytes(path, bytes);
  ASSERT_TRUE(LoadRawImage(path.c_str(), longer.data(), 160, 100));
  EXPECT_EQ(exact, longer);
  // Pixel (7, 2) is element 7 + 160 * 2, from bytes 3 * (7 + 160 * 2).
  const size_t at = 3 * (7 + 160 * 2);
  EXPECT_EQ(exact[7 + 160 * 2], bytes[at] + bytes[at + 1] * 256u + bytes[at + 2] * 65536u);
}

TEST(LoadRawImage, AShortFileEndsInWhitePixels) {
  ScratchDirectory scratch;
  const std::string path = scratch.File("short.raw");
  WriteBytes(path, PictureBytes(3 * 100 + 1, {1, 2, 3}));
  std::vector<Pixel> image(16000, 0);
  ASSERT_TRUE(LoadRawImage(path.c_str(), image.data(), 160, 100));
  EXPECT_EQ(image[0], 0x00030201u);
  EXPECT_EQ(image[99], 0x00404040u);
  EXPECT_EQ(image[100], 0x00FFFF40u);  // one byte left, then the end of the file
  EXPECT_EQ(image[101], 0x00FFFFFFu);
  EXPECT_EQ(image[15999], 0x00FFFFFFu);
}

TEST(LoadRawImage, AMissingOrUnreadableFileIsRefusedAndLeavesBlack) {
  ScratchDirectory scratch;
  std::vector<Pixel> image(16000, 0x123456);
  EXPECT_FALSE(LoadRawImage(scratch.File("absent.raw").c_str(), image.data(), 160, 100));
  EXPECT_EQ(image, std::vector<Pixel>(16000, 0));

  std::fill(image.begin(), image.end(), 0x123456);
  EXPECT_FALSE(LoadRawImage(scratch.path().c_str(), image.data(), 160, 100));  // a directory
  EXPECT_EQ(image, std::vector<Pixel>(16000, 0));
}
