// Shows every picture of data/ as the show presents it: each 160-pixel-wide window is
// converted to 80 x 50 cells by the block-colour converter and rasterised with the text
// font. Wider pictures appear as strips of adjacent windows. Writes one PNG sheet.
//
// Usage: preview_sheet DATA_DIR OUTPUT.png
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "png_io.h"
#include "quorvel4/converter.h"
#include "quorvel4/raster.h"

namespace {

struct Picture {
  const char* file;
  int width;
};

// In the order the show loads them; each sheet row holds kWindowsPerRow windows.
constexpr Picture kPictures[] = {
    {"ferrund_osmir_320x100.raw", 320}, {"qo_160x100.raw", 160},         {"varnel_160x100.raw", 160},
    {"halvern_l_160x100.raw", 160},     {"halvern_r_160x100.raw", 160},  {"halvern2_l_160x100.raw", 160},
    {"halvern2_r_160x100.raw", 160},    {"kvrtlogo_320x100.raw", 320},   {"kvrtlogo_640x100.raw", 640},
    {"trelbo_160x100.raw", 160},        {"osmir_160x100.raw", 160},      {"ferrund_160x100.raw", 160},
    {"dralsk_160x100.raw", 160},        {"face_160x100.raw", 160},       {"face2_160x100.raw", 160},
    {"quenby_160x100.raw", 160},        {"zul_160x100.raw", 160},
};
constexpr int kWindowsPerRow = 4;
constexpr int kGap = 8;  // grey pixels between windows
constexpr uint8_t kGapGrey = 0x40;

// Reads a raw RGB picture into pixels of the canvas layout; false if the file is short.
bool LoadRaw(const std::string& path, int width, std::vector<Pixel>* pixels) {
  std::ifstream in(path, std::ios::binary);
  std::vector<unsigned char> bytes(static_cast<size_t>(width) * kCanvasHeight * 3);
  if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()))) return false;
  pixels->resize(bytes.size() / 3);
  for (size_t i = 0; i < pixels->size(); ++i)
    (*pixels)[i] = bytes[3 * i] | (bytes[3 * i + 1] << 8) | (static_cast<Pixel>(bytes[3 * i + 2]) << 16);
  return true;
}

// Places window number `slot` of the sheet.
void PasteWindow(const std::vector<uint8_t>& window, int slot, int sheetWidth, std::vector<uint8_t>* sheet) {
  const int left = kGap + (slot % kWindowsPerRow) * (kRasterWidth + kGap);
  const int top = kGap + (slot / kWindowsPerRow) * (kRasterHeight + kGap);
  for (int y = 0; y < kRasterHeight; ++y)
    std::memcpy(&(*sheet)[(static_cast<size_t>(top + y) * sheetWidth + left) * 3], &window[static_cast<size_t>(y) * kRasterWidth * 3],
                kRasterWidth * 3);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s DATA_DIR OUTPUT.png\n", argv[0]);
    return 2;
  }
  const std::string dataDir = argv[1];

  // A picture wider than a row starts on a fresh row, so that its strip stays whole.
  std::vector<int> firstSlot;
  int slots = 0;
  for (const Picture& p : kPictures) {
    const int windows = p.width / kCanvasWidth;
    if (slots % kWindowsPerRow + windows > kWindowsPerRow) slots += kWindowsPerRow - slots % kWindowsPerRow;
    firstSlot.push_back(slots);
    slots += windows;
  }
  const int rows = (slots + kWindowsPerRow - 1) / kWindowsPerRow;
  const int sheetWidth = kGap + kWindowsPerRow * (kRasterWidth + kGap);
  const int sheetHeight = kGap + rows * (kRasterHeight + kGap);
  std::vector<uint8_t> sheet(static_cast<size_t>(sheetWidth) * sheetHeight * 3, kGapGrey);

  BlockColorConverter converter;
  converter.BuildMap(0xFFFF);
  std::vector<Cell> cells(kScreenCells);
  for (size_t k = 0; k < std::size(kPictures); ++k) {
    const Picture& p = kPictures[k];
    std::vector<Pixel> pixels;
    if (!LoadRaw(dataDir + "/" + p.file, p.width, &pixels)) {
      std::fprintf(stderr, "preview_sheet: cannot read %s/%s\n", dataDir.c_str(), p.file);
      return 1;
    }
    for (int w = 0; w < p.width / kCanvasWidth; ++w) {
      const SourceRect window(w * kCanvasWidth, 0, (w + 1) * kCanvasWidth, kCanvasHeight);
      converter.Convert2x2(pixels.data(), window, p.width, 0, 0, cells.data());
      PasteWindow(RasterizeCells(cells.data()), firstSlot[k] + w, sheetWidth, &sheet);
    }
  }

  std::string error;
  if (!WritePng(argv[2], sheetWidth, sheetHeight, sheet, &error)) {
    std::fprintf(stderr, "preview_sheet: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
