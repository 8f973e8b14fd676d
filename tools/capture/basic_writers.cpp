#include "basic_writers.h"

#include <cstdio>

#include "demo/data_directory.h"
#include "png_io.h"
#include "quorvel4/raster.h"

bool CellsWriter::Write(int32_t, const Cell* cells) {
  uint8_t bytes[kScreenCells * 2];
  for (int i = 0; i < kScreenCells; ++i) {
    bytes[2 * i] = static_cast<uint8_t>(cells[i] & 0xFF);
    bytes[2 * i + 1] = static_cast<uint8_t>(cells[i] >> 8);
  }
  return Put(bytes, sizeof bytes);
}

bool WritePngFile(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb,
                  std::vector<uint8_t>* buffer, std::string* error) {
  std::string why;
  if (!EncodePng(width, height, rgb, buffer, &why)) {
    *error = "cannot write " + path + ": " + why;
    return false;
  }
  OutputFile output(path);
  if (output.error.empty() && output.Write(buffer->data(), buffer->size()) && output.Commit()) return true;
  *error = output.error;
  return false;
}

PngWriter::PngWriter(const std::string& directory) : directory_(directory) {
  std::error_code code;
  std::filesystem::create_directories(directory_, code);
  if (!IsDirectory(directory_.string())) error = "cannot create the directory " + directory;
}

bool PngWriter::Write(int32_t time, const Cell* cells) {
  char name[32];
  std::snprintf(name, sizeof name, "t%06d.png", time);
  return WritePngFile((directory_ / name).string(), kRasterWidth, kRasterHeight, RasterizeCells(cells), &file_, &error);
}

bool AnsiWriter::Write(int32_t, const Cell* cells) {
  const bool palette = first_ && encoder_.Mode() == ColorMode::kPalette;
  first_ = false;
  return Put(encoder_.EncodeFrame(cells, palette ? SetVgaPaletteBytes() : std::string_view{}));
}

bool AnsiWriter::Finish() {
  std::string end(TerminalEncoder::PlainColors());
  if (encoder_.Mode() == ColorMode::kPalette) end += ResetPaletteBytes();
  return Close(end + "\n");
}
