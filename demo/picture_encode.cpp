#include "demo/picture_encode.h"

#include <cstdio>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wall"
#pragma GCC diagnostic ignored "-Wextra"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#endif
#include <stb_image_write.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace {

void Append(void* context, void* data, int size) {
  auto* bytes = static_cast<std::vector<uint8_t>*>(context);
  bytes->insert(bytes->end(), static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
}

}  // namespace

bool WritePngFile(const std::string& path, const std::vector<uint8_t>& rgb, int width, int height, std::string& error) {
  std::vector<uint8_t> png;
  if (!stbi_write_png_to_func(Append, &png, width, height, 3, rgb.data(), width * 3)) {
    error = "cannot encode the picture " + path;
    return false;
  }
  FILE* file = std::fopen(path.c_str(), "wb");
  const bool written = file != nullptr && std::fwrite(png.data(), 1, png.size(), file) == png.size();
  if (file != nullptr && std::fclose(file) != 0) return false;
  if (!written) error = "cannot write " + path;
  return written;
}
