// The frames as an animated GIF (see gif_encoder.h), every frame shown for 100 / fps
// hundredths of a second.
#pragma once

#include "frame_writer.h"
#include "gif_encoder.h"
#include "indexed_picture.h"

class GifWriter : public FileFrameWriter {
 public:
  // `fps` divides 100.
  GifWriter(const std::string& path, int scale, int fps);
  bool Write(int32_t time, const Cell* cells) override;
  bool Finish() override;

 private:
  int scale_;
  GifEncoder encoder_;
  IndexedPicture picture_;
};
