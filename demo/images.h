// The built-in show's seventeen pictures: their files and sizes (data/show.js declares them;
// the data folder is found by them), and the loader of the raw format.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "quorvel4/types.h"

// In allocation order.
enum ImageId : int {
  kFerrundOsmir,
  kQo,
  kHalvernL,
  kHalvernR,
  kHalvern2L,
  kHalvern2R,
  kVarnel,
  kKvrtLogo320,
  kKvrtLogo640,
  kTrelbo,
  kOsmir,
  kFerrund,
  kDralsk,
  kFace,
  kFace2,
  kQuenby,
  kZul,
  kImageCount
};

struct PictureFile {
  const char* fileName;  // inside the data directory
  int32_t width;
  int32_t height;
};

const PictureFile& PictureFileOf(ImageId id);

// The order in which the pictures are read (not the allocation order).
extern const std::array<ImageId, kImageCount> kImageLoadOrder;

// "DIR//FILE": the data directory and a file name, joined the way the show names its files
// (JoinPath with kDataPathSeparator, as the built-in show's script reaches them).
std::string DataPath(const std::string& dataDir, const char* fileName);

// Reads a headerless raw picture: width x height pixels of three bytes (red, green, blue), rows
// from the top. Bytes missing at the end of a short file read as 255 (white pixels); bytes
// after the picture are ignored. Returns false, with the image set to black, when the file
// cannot be opened, is no regular file (a FIFO is never waited on) or a read fails.
bool LoadRawImage(const char* path, Pixel* image, int32_t width, int32_t height);
