#include "demo/picture_decode.h"

#include <cstdlib>
#include <memory>

// stb_image is Debian's libstb-dev, compiled here for PNG only and from memory only.
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_MAX_DIMENSIONS 8192
#define STBI_ASSERT(x) ((void)0)
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wall"
#pragma GCC diagnostic ignored "-Wextra"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#endif
#include <stb_image.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace {

struct StbFree {
  void operator()(unsigned char* p) const { stbi_image_free(p); }
};

}  // namespace

bool DecodePng(const std::vector<uint8_t>& bytes, DecodedPicture& picture, std::string& error) {
  if (bytes.size() > static_cast<size_t>(INT32_MAX)) {
    error = "the file is too large for a picture";
    return false;
  }
  int width = 0, height = 0, channels = 0;
  const auto* data = reinterpret_cast<const stbi_uc*>(bytes.data());
  if (!stbi_info_from_memory(data, static_cast<int>(bytes.size()), &width, &height, &channels)) {
    error = std::string("it is not a PNG picture that can be read (") + stbi_failure_reason() + ")";
    return false;
  }
  if (width > kMaxPictureSide || height > kMaxPictureSide || int64_t{width} * height > kMaxPicturePixels) {
    error = "the picture is " + std::to_string(width) + " x " + std::to_string(height) + "; a show's pictures may be at most " +
            std::to_string(kMaxPictureSide) + " pixels on a side and " + std::to_string(kMaxPicturePixels) + " in all";
    return false;
  }
  std::unique_ptr<unsigned char, StbFree> rgba(
      stbi_load_from_memory(data, static_cast<int>(bytes.size()), &width, &height, &channels, 4));
  if (!rgba) {
    error = std::string("it is not a PNG picture that can be read (") + stbi_failure_reason() + ")";
    return false;
  }
  picture.width = width;
  picture.height = height;
  picture.pixels.resize(static_cast<size_t>(width) * height);
  const unsigned char* p = rgba.get();
  for (Pixel& pixel : picture.pixels) {
    pixel = p[3] == 0 ? 0 : Pixel{p[0]} | Pixel{p[1]} << 8 | Pixel{p[2]} << 16;
    p += 4;
  }
  return true;
}

void DecodeRaw(const std::vector<uint8_t>& bytes, int32_t width, int32_t height, DecodedPicture& picture) {
  picture.width = width;
  picture.height = height;
  picture.pixels.assign(static_cast<size_t>(width) * height, 0);
  auto byteAt = [&bytes](size_t i) -> Pixel { return i < bytes.size() ? bytes[i] : 255u; };
  for (size_t i = 0; i < picture.pixels.size(); ++i)
    picture.pixels[i] = byteAt(3 * i) | byteAt(3 * i + 1) << 8 | byteAt(3 * i + 2) << 16;
}

bool RawSizeFromName(const std::string& name, int32_t& width, int32_t& height) {
  const std::string suffix = ".raw";
  if (name.size() < suffix.size() || name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) return false;
  const std::string stem = name.substr(0, name.size() - suffix.size());
  const size_t underscore = stem.rfind('_');
  const size_t x = stem.rfind('x');
  if (underscore == std::string::npos || x == std::string::npos || x < underscore) return false;
  const std::string w = stem.substr(underscore + 1, x - underscore - 1);
  const std::string h = stem.substr(x + 1);
  auto number = [](const std::string& digits, int32_t& out) {
    if (digits.empty() || digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos) return false;
    out = std::atoi(digits.c_str());
    return out >= 1 && out <= kMaxPictureSide;
  };
  return number(w, width) && number(h, height) && int64_t{width} * height <= kMaxPicturePixels;
}
