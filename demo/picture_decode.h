// A show's pictures from the bytes of their files: PNG of any size (through stb_image, the same
// decoder on every platform, so a file gives the same pixels everywhere) or the headerless raw
// format of three bytes a pixel (red, green, blue), whose size the caller gives.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "quorvel4/types.h"

inline constexpr int32_t kMaxPictureSide = 8192;
inline constexpr int64_t kMaxPicturePixels = int64_t{16} << 20;

struct DecodedPicture {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<Pixel> pixels;  // 0x00BBGGRR, row by row from the top
};

// A PNG file: every pixel's colour; a pixel that is wholly transparent becomes 0, the black that
// the keyed blit leaves out. False with `error` for bytes that are no PNG, or a picture larger
// than kMaxPictureSide on a side or kMaxPicturePixels in all.
bool DecodePng(const std::vector<uint8_t>& bytes, DecodedPicture& picture, std::string& error);

// A raw picture of width x height: as the show's loader reads its files, bytes missing at the
// end read as 255 (white) and bytes after the picture are ignored.
void DecodeRaw(const std::vector<uint8_t>& bytes, int32_t width, int32_t height, DecodedPicture& picture);

// The size a raw file's name carries ("logo_320x100.raw" is 320 x 100); false when it has none.
bool RawSizeFromName(const std::string& name, int32_t& width, int32_t& height);
