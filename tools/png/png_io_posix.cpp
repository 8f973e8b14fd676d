#include "png_io.h"

#include <png.h>

#include <cstring>
#include <new>

namespace {

png_image RgbImage(int width, int height) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(width);
  image.height = static_cast<png_uint_32>(height);
  image.format = PNG_FORMAT_RGB;
  return image;
}

bool SizeMatches(int width, int height, const std::vector<uint8_t>& rgb, std::string* error) {
  if (rgb.size() == static_cast<size_t>(width) * height * 3) return true;
  if (error) *error = "pixel buffer does not match the picture size";
  return false;
}

bool Failed(png_image& image, std::string* error) {
  if (error) *error = image.message;
  png_image_free(&image);
  return false;
}

}  // namespace

bool WritePng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb, std::string* error) {
  png_image image = RgbImage(width, height);
  if (!SizeMatches(width, height, rgb, error)) return false;
  if (!png_image_write_to_file(&image, path.c_str(), 0, rgb.data(), 0, nullptr)) return Failed(image, error);
  return true;
}

bool EncodePng(int width, int height, const std::vector<uint8_t>& rgb, std::vector<uint8_t>* file, std::string* error) {
  png_image image = RgbImage(width, height);
  if (!SizeMatches(width, height, rgb, error)) return false;
  // The first call measures, the second writes.
  png_alloc_size_t size = 0;
  if (!png_image_write_to_memory(&image, nullptr, &size, 0, rgb.data(), 0, nullptr)) return Failed(image, error);
  file->resize(size);
  if (!png_image_write_to_memory(&image, file->data(), &size, 0, rgb.data(), 0, nullptr)) return Failed(image, error);
  file->resize(size);
  return true;
}

bool ReadPng(const std::string& path, int* width, int* height, std::vector<uint8_t>* rgb, std::string* error) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) {
    if (error) *error = image.message;
    return false;
  }
  const std::string size = std::to_string(image.width) + " x " + std::to_string(image.height);
  if (image.width > kMaxPngSide || image.height > kMaxPngSide ||
      uint64_t{image.width} * image.height > kMaxPngPixels) {
    if (error) {
      *error = "the picture is " + size + " pixels; at most " + std::to_string(kMaxPngSide) + " x " +
               std::to_string(kMaxPngSide) + " and " + std::to_string(kMaxPngPixels) + " pixels in all are read";
    }
    png_image_free(&image);
    return false;
  }
  image.format = PNG_FORMAT_RGB;
  try {
    rgb->assign(PNG_IMAGE_SIZE(image), 0);
  } catch (const std::bad_alloc&) {
    if (error) *error = "not enough memory for a picture of " + size + " pixels";
    png_image_free(&image);
    return false;
  }
  if (!png_image_finish_read(&image, nullptr, rgb->data(), 0, nullptr)) {
    if (error) *error = image.message;
    png_image_free(&image);
    return false;
  }
  *width = static_cast<int>(image.width);
  *height = static_cast<int>(image.height);
  return true;
}
