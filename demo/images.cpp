#include "demo/images.h"

#include <cstdio>
#include <cstring>

#include "demo/data_file.h"

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

// A byte past the end of the file reads as EOF, whose low byte is 255: white.
Pixel ReadPixel(FILE* file) {
  const Pixel red = static_cast<unsigned char>(std::fgetc(file));
  const Pixel green = static_cast<unsigned char>(std::fgetc(file));
  const Pixel blue = static_cast<unsigned char>(std::fgetc(file));
  return red + green * 256 + blue * 65536;
}

}  // namespace

const PictureFile& PictureFileOf(ImageId id) { return kPictureFiles[id]; }

const std::array<ImageId, kImageCount> kImageLoadOrder = {
    kFerrundOsmir, kQo,     kVarnel,  kHalvernL, kHalvernR, kHalvern2L, kHalvern2R, kKvrtLogo320, kKvrtLogo640,
    kTrelbo,       kOsmir,  kFerrund, kDralsk,   kFace,     kFace2,     kQuenby,    kZul};

std::string DataPath(const std::string& dataDir, const char* fileName) { return dataDir + "//" + fileName; }

bool LoadRawImage(const char* path, Pixel* image, int32_t width, int32_t height) {
  const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
  const DataFile data = OpenDataFile(path);
  if (data.error != DataFileError::kNone) {
    std::memset(image, 0, pixels * sizeof(Pixel));
    return false;
  }
  FILE* file = data.file.get();
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) image[x + width * y] = ReadPixel(file);
  // A read error (a failing disk) is not a short file: refuse the picture.
  const bool failed = std::ferror(file) != 0;
  if (failed) std::memset(image, 0, pixels * sizeof(Pixel));
  return !failed;
}

void ShowImages::Allocate() {
  for (int id = 0; id < kImageCount; ++id) {
    const PictureFile& picture = kPictureFiles[id];
    blocks_[id].reset(new Pixel[static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height)]);
  }
}

std::vector<std::string> ShowImages::Load(const std::string& dataDir) {
  std::vector<std::string> unreadable;
  for (ImageId id : kImageLoadOrder) {
    const PictureFile& picture = kPictureFiles[id];
    const std::string path = DataPath(dataDir, picture.fileName);
    if (!LoadRawImage(path.c_str(), blocks_[id].get(), picture.width, picture.height)) unreadable.push_back(path);
  }
  return unreadable;
}

void ShowImages::Release() {
  for (auto& block : blocks_) block.reset();
}
