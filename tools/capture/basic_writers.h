// The capture's plain formats: raw cells, one PNG per frame, and the terminal's bytes.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "frame_writer.h"
#include "quorvel4/terminal_encoder.h"

// Every frame's 4000 Cells as little-endian 16-bit values, frames one after another.
class CellsWriter : public FileFrameWriter {
 public:
  using FileFrameWriter::FileFrameWriter;
  bool Write(int32_t time, const Cell* cells) override;
};

// Encodes an RGB picture as PNG into `buffer` (kept by the caller, so a run of frames reuses its
// memory) and puts it at `path` through an OutputFile: a failure leaves any old file as it was
// and says why in `error`, naming the file.
bool WritePngFile(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb,
                  std::vector<uint8_t>* buffer, std::string* error);

// One PNG per frame, named by its time.
class PngWriter : public FrameWriter {
 public:
  explicit PngWriter(const std::string& directory);
  bool Write(int32_t time, const Cell* cells) override;

 private:
  std::filesystem::path directory_;
  std::vector<uint8_t> file_;  // the PNG file of the frame
};

// The terminal back end's bytes for every frame (24-bit colour, or the palette mode's, which
// sets the VGA palette before the first frame): `cat` replays the frames.
class AnsiWriter : public FileFrameWriter {
 public:
  AnsiWriter(const std::string& path, ColorMode mode) : FileFrameWriter(path), encoder_(mode) {}
  bool Write(int32_t time, const Cell* cells) override;
  // Plain colours (and the terminal's own palette) again for whatever it shows after the replay.
  bool Finish() override;

 private:
  TerminalEncoder encoder_;
  bool first_ = true;
};
