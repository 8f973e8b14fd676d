// The PNG reader of the view tool, on any bytes. What it reads must be as large as it says
// and no larger than the file can hold; a small picture it reads is written and read again to
// the same pixels.
#include <cstdint>
#include <string>
#include <vector>

#include "support.h"
#include "png_io.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  int width = 0, height = 0;
  std::vector<uint8_t> rgb;
  std::string error;
  if (!ReadPngFromMemory(data, size, &width, &height, &rgb, &error)) {
    FUZZ_CHECK(!error.empty());
    return 0;
  }
  FUZZ_CHECK(width > 0 && height > 0);
  const uint64_t pixels = uint64_t(width) * uint64_t(height);
  FUZZ_CHECK(rgb.size() == pixels * 3);
  FUZZ_CHECK(pixels <= kMaxPngPixels);
  // Deflate's best ratio and one bit a pixel: no more pixels than the bytes can hold.
  FUZZ_CHECK(pixels <= uint64_t{8 * 1032} * size);
  if (pixels > 4096) return 0;
  std::vector<uint8_t> file;
  FUZZ_CHECK(EncodePng(width, height, rgb, &file, &error));
  int width2 = 0, height2 = 0;
  std::vector<uint8_t> rgb2;
  FUZZ_CHECK(ReadPngFromMemory(file.data(), file.size(), &width2, &height2, &rgb2, &error));
  FUZZ_CHECK(width2 == width && height2 == height && rgb2 == rgb);
  return 0;
}
