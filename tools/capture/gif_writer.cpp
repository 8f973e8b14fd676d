#include "gif_writer.h"

#include "quorvel4/raster.h"

GifWriter::GifWriter(const std::string& path, int scale, int fps)
    : FileFrameWriter(path), scale_(scale), encoder_(kRasterWidth * scale, kRasterHeight * scale, 100 / fps) {}

bool GifWriter::Write(int32_t, const Cell* cells) {
  IndexCells(cells, scale_, &picture_);
  encoder_.AddPicture(picture_.indices);
  return Put(encoder_.TakeBytes());
}

bool GifWriter::Finish() {
  encoder_.Finish();
  return Close(encoder_.TakeBytes());
}
