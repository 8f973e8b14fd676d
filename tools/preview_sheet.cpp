// Shows every picture of data/ as the show presents it: each 160-pixel-wide window is
// converted to 80 x 50 cells by the block-colour converter and rasterised with the text
// font. Wider pictures appear as strips of adjacent windows. Writes one PNG sheet.
//
// Usage: preview_sheet DATA_DIR OUTPUT.png
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "demo/images.h"
#include "png_io.h"
#include "quorvel4/options.h"
#include "quorvel4/qvl_blockcolor.h"
#include "quorvel4/raster.h"
#include "tool_tables.h"

namespace {

constexpr int kWindowsPerRow = 4;
constexpr int kGap = 8;  // grey pixels between windows
constexpr uint8_t kGapGrey = 0x40;

// Reads a picture with the show's own loader; a missing or short file is an error here.
bool LoadPicture(const std::string& path, const PictureFile& picture, std::vector<Pixel>* pixels) {
  const size_t count = static_cast<size_t>(picture.width) * picture.height;
  std::error_code error;
  if (std::filesystem::file_size(path, error) < count * 3 || error) return false;
  pixels->resize(count);
  return LoadRawImage(path.c_str(), pixels->data(), picture.width, picture.height);
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
  std::string dataDir, output;
  const OptionTable options = PreviewSheetTable(dataDir, output);
  if (const std::optional<int> status = options.Parse(argc, argv)) return *status;
  if (output.empty()) return options.Refuse("a data folder and an output file are needed");

  // A picture wider than a row starts on a fresh row, so that its strip stays whole.
  std::vector<int> firstSlot;
  int slots = 0;
  for (ImageId id : kImageLoadOrder) {
    const int windows = PictureFileOf(id).width / kCanvasWidth;
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
  for (size_t k = 0; k < kImageLoadOrder.size(); ++k) {
    const PictureFile& p = PictureFileOf(kImageLoadOrder[k]);
    const std::string path = DataPath(dataDir, p.fileName);
    std::vector<Pixel> pixels;
    if (!LoadPicture(path, p, &pixels)) {
      std::fprintf(stderr, "preview_sheet: cannot read %s\n", path.c_str());
      return 1;
    }
    for (int w = 0; w < p.width / kCanvasWidth; ++w) {
      const SourceRect window(w * kCanvasWidth, 0, (w + 1) * kCanvasWidth, kCanvasHeight);
      converter.Convert2x2(pixels.data(), window, p.width, 0, 0, cells.data());
      PasteWindow(RasterizeCells(cells.data()), firstSlot[k] + w, sheetWidth, &sheet);
    }
  }

  std::string error;
  if (!WritePng(output.c_str(), sheetWidth, sheetHeight, sheet, &error)) {
    std::fprintf(stderr, "preview_sheet: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
