// An animated GIF of pictures in the 16-colour palette: lossless, one global colour
// table, and after the first picture only the rectangle that changed, with the unchanged
// pixels inside it transparent where a colour is free to mean "unchanged". Pictures equal
// to the one before lengthen its delay instead of adding a frame.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class GifEncoder {
 public:
  // Pictures of `width` x `height` palette indices (0 to 15), each shown for `delay`
  // hundredths of a second; the animation loops for ever.
  GifEncoder(int width, int height, int delay);

  void AddPicture(const std::vector<uint8_t>& indices);
  // Ends the file: the last frame and the trailer.
  void Finish();
  // The bytes completed since the last call.
  std::string TakeBytes();

 private:
  struct Rect {
    int left, top, width, height;
  };
  struct Frame {
    Rect rect;
    int transparent;  // the index that leaves a pixel unchanged, or -1
    std::vector<uint8_t> pixels;
    int delay = 0;
  };

  Frame Difference(const std::vector<uint8_t>& next) const;
  void Flush();  // writes the frame held back for its delay
  void WriteFrame(const Frame& frame);
  void WriteLzw(const std::vector<uint8_t>& pixels);

  int width_, height_, delay_;
  std::vector<uint8_t> shown_;  // the picture after the last added frame
  bool havePending_ = false;
  Frame pending_;
  std::string bytes_;
};
