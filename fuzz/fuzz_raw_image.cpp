// The loader of the show's raw pictures, on files of any length for a picture of any size:
// the first two bytes choose the size the show expects (1 to 64 pixels each way), the rest is
// the file. Every pixel the file holds is read as it is, every one it lacks is white, and
// nothing is written outside the picture (the sanitizer watches the block's ends).
#include <cstdint>
#include <memory>

#include "demo/images.h"
#include "support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const ScratchFile scratch("raw_image");
  FuzzBytes bytes(data, size);
  const int32_t width = bytes.Byte() % 64 + 1;
  const int32_t height = bytes.Byte() % 64 + 1;
  const std::string_view file = bytes.Rest();
  scratch.Write(file);
  const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
  const std::unique_ptr<Pixel[]> image(new Pixel[pixels]);
  FUZZ_CHECK(LoadRawImage(scratch.Path().c_str(), image.get(), width, height));
  for (size_t i = 0; i < pixels; ++i) {
    Pixel expected = 0;
    for (size_t c = 0; c < 3; ++c) {
      const size_t at = i * 3 + c;
      const Pixel channel = at < file.size() ? static_cast<uint8_t>(file[at]) : 255;
      expected |= channel << (8 * c);
    }
    FUZZ_CHECK(image[i] == expected);
  }
  return 0;
}
