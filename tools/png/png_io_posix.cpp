#include "png_io.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
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

namespace {

// Deflate packs at most 1032 bytes into one, and the smallest pixel is one bit: a file of
// N bytes holds at most 8 * 1032 * N pixels, whatever its header claims.
constexpr uint64_t kMaxPixelsPerFileByte = 8 * 1032;

// The pixels of a picture whose header `image` has read from a file of `fileBytes` bytes;
// frees the image on every way out.
bool FinishRead(png_image& image, uint64_t fileBytes, int* width, int* height, std::vector<uint8_t>* rgb,
                std::string* error) {
  const std::string size = std::to_string(image.width) + " x " + std::to_string(image.height);
  const uint64_t pixels = uint64_t{image.width} * image.height;
  if (image.width > kMaxPngSide || image.height > kMaxPngSide || pixels > kMaxPngPixels) {
    if (error) {
      *error = "the picture is " + size + " pixels; at most " + std::to_string(kMaxPngSide) + " x " +
               std::to_string(kMaxPngSide) + " and " + std::to_string(kMaxPngPixels) + " pixels in all are read";
    }
    png_image_free(&image);
    return false;
  }
  // Refused before the pixels are allocated: a few bytes must not cost hundreds of megabytes.
  if (pixels / kMaxPixelsPerFileByte > fileBytes) {
    if (error) *error = "a file of " + std::to_string(fileBytes) + " bytes cannot hold a picture of " + size + " pixels";
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

// A PNG file's first bytes.
constexpr size_t kSignatureBytes = 8;
constexpr uint8_t kSignature[kSignatureBytes] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
// The largest picture that is read, at 16 bits for each of four channels, stored without
// compression, with room to spare for its chunks.
constexpr size_t kMaxPngFileBytes = size_t{kMaxPngPixels} * 8 + (size_t{64} << 20);

// libpng allocates a chunk's buffer from the length the chunk claims, before reading it: a
// lying length of a few bytes could ask for a gigabyte. No chunk may claim more than the bytes
// after it; the rest (signature, order, checksums) is libpng's to judge.
bool ChunksFit(const uint8_t* data, size_t size, std::string* error) {
  for (size_t at = kSignatureBytes; at + 8 <= size;) {
    const uint32_t length = uint32_t{data[at]} << 24 | uint32_t{data[at + 1]} << 16 | uint32_t{data[at + 2]} << 8 | data[at + 3];
    // The length, the type, the data and the checksum.
    if (at + 12 > size || length > size - at - 12) {
      if (error) *error = "a chunk claims " + std::to_string(length) + " bytes, more than the file holds";
      return false;
    }
    if (std::memcmp(data + at + 4, "IEND", 4) == 0) break;
    at += 12 + size_t{length};
  }
  return true;
}

png_image EmptyImage() {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  return image;
}

}  // namespace

bool ReadPng(const std::string& path, int* width, int* height, std::vector<uint8_t>* rgb, std::string* error) {
  const std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
  if (!file) {
    if (error) *error = std::strerror(errno);
    return false;
  }
  std::vector<uint8_t> bytes;
  try {
    uint8_t buffer[65536];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0;) {
      bytes.insert(bytes.end(), buffer, buffer + n);
      // An endless or huge source (a device, a pipe that never ends) is not read to its end:
      // a file that does not start as a PNG is judged on its first bytes, and none that is
      // read can need more than the largest picture stored without compression.
      if (bytes.size() >= kSignatureBytes && std::memcmp(bytes.data(), kSignature, kSignatureBytes) != 0) break;
      if (bytes.size() > kMaxPngFileBytes) {
        if (error) *error = "the file is larger than " + std::to_string(kMaxPngFileBytes >> 20) + " MiB";
        return false;
      }
    }
  } catch (const std::bad_alloc&) {
    if (error) *error = "not enough memory to read the file";
    return false;
  }
  if (std::ferror(file.get()) != 0) {
    if (error) *error = std::strerror(errno);
    return false;
  }
  return ReadPngFromMemory(bytes.data(), bytes.size(), width, height, rgb, error);
}

bool ReadPngFromMemory(const uint8_t* data, size_t size, int* width, int* height, std::vector<uint8_t>* rgb,
                       std::string* error) {
  if (!ChunksFit(data, size, error)) return false;
  png_image image = EmptyImage();
  if (!png_image_begin_read_from_memory(&image, data, size)) {
    if (error) *error = image.message;
    return false;
  }
  return FinishRead(image, size, width, height, rgb, error);
}
