// Writing 8-bit RGB PNG files with zlib alone, for builds without libpng (the Windows cross
// build): the chunks are few and fixed, the picture data is one zlib stream. Only in memory:
// the capture writes the file itself.
#include <zlib.h>

#include "png_io.h"

namespace {

void PutBigEndian(std::vector<uint8_t>& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

// A chunk: length, type, data, and the CRC of type and data.
void PutChunk(std::vector<uint8_t>& out, const char (&type)[5], const uint8_t* data, size_t size) {
  PutBigEndian(out, static_cast<uint32_t>(size));
  const size_t typeAt = out.size();
  out.insert(out.end(), type, type + 4);
  if (size > 0) out.insert(out.end(), data, data + size);
  const uLong crc = crc32(0L, out.data() + typeAt, static_cast<uInt>(4 + size));
  PutBigEndian(out, static_cast<uint32_t>(crc));
}

}  // namespace

bool EncodePng(int width, int height, const std::vector<uint8_t>& rgb, std::vector<uint8_t>* file, std::string* error) {
  if (width <= 0 || height <= 0 || rgb.size() != static_cast<size_t>(width) * height * 3) {
    if (error) *error = "pixel buffer does not match the picture size";
    return false;
  }
  // Every row starts with its filter type, 0 (none).
  const size_t rowBytes = static_cast<size_t>(width) * 3;
  std::vector<uint8_t> raw;
  raw.reserve((rowBytes + 1) * height);
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);
    raw.insert(raw.end(), rgb.begin() + y * rowBytes, rgb.begin() + (y + 1) * rowBytes);
  }
  uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
  std::vector<uint8_t> packed(packedSize);
  if (compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), Z_BEST_SPEED) != Z_OK) {
    if (error) *error = "cannot compress the picture";
    return false;
  }

  *file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> header;
  PutBigEndian(header, static_cast<uint32_t>(width));
  PutBigEndian(header, static_cast<uint32_t>(height));
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, deflate, no filter set, no interlace
  PutChunk(*file, "IHDR", header.data(), header.size());
  PutChunk(*file, "IDAT", packed.data(), packedSize);
  PutChunk(*file, "IEND", nullptr, 0);
  return true;
}
