#include "demo/images.h"

#include <cstdio>
#include <cstring>

#include "demo/data_file.h"
#include "demo/picture_decode.h"
#include "demo/show_folder.h"

namespace {

constexpr std::array<PictureFile, kImageCount> kPictureFiles = {{
    {"ferrund_osmir_320x100.raw", 320, 100},
    {"qo_160x100.raw", 160, 100},
    {"halvern_l_160x100.raw", 160, 100},
    {"halvern_r_160x100.raw", 160, 100},
    {"halvern2_l_160x100.raw", 160, 100},
    {"halvern2_r_160x100.raw", 160, 100},
    {"varnel_160x100.raw", 160, 100},
    {"kvrtlogo_320x100.raw", 320, 100},
    {"kvrtlogo_640x100.raw", 640, 100},
    {"trelbo_160x100.raw", 160, 100},
    {"osmir_160x100.raw", 160, 100},
    {"ferrund_160x100.raw", 160, 100},
    {"dralsk_160x100.raw", 160, 100},
    {"face_160x100.raw", 160, 100},
    {"face2_160x100.raw", 160, 100},
    {"quenby_160x100.raw", 160, 100},
    {"zul_160x100.raw", 160, 100},
}};

}  // namespace

const PictureFile& PictureFileOf(ImageId id) { return kPictureFiles[id]; }

const std::array<ImageId, kImageCount> kImageLoadOrder = {
    kFerrundOsmir, kQo,     kVarnel,  kHalvernL, kHalvernR, kHalvern2L, kHalvern2R, kKvrtLogo320, kKvrtLogo640,
    kTrelbo,       kOsmir,  kFerrund, kDralsk,   kFace,     kFace2,     kQuenby,    kZul};

std::string DataPath(const std::string& dataDir, const char* fileName) {
  return JoinPath(dataDir, fileName, kDataPathSeparator);
}

bool LoadRawImage(const char* path, Pixel* image, int32_t width, int32_t height) {
  const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
  const DataFile data = OpenDataFile(path);
  if (data.error != DataFileError::kNone) {
    std::memset(image, 0, pixels * sizeof(Pixel));
    return false;
  }
  // The picture's bytes and no more; a short file is decoded as the show's loader always read
  // it (white where bytes are missing).
  std::vector<uint8_t> bytes(pixels * 3);
  bytes.resize(std::fread(bytes.data(), 1, bytes.size(), data.file.get()));
  // A read error (a failing disk) is not a short file: refuse the picture.
  if (std::ferror(data.file.get()) != 0) {
    std::memset(image, 0, pixels * sizeof(Pixel));
    return false;
  }
  DecodedPicture picture;
  DecodeRaw(bytes, width, height, picture);
  std::memcpy(image, picture.pixels.data(), pixels * sizeof(Pixel));
  return true;
}
