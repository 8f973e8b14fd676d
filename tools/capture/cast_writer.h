// An asciinema recording (format version 2): a header line, then one output event per
// frame that changed the screen, with the bytes the terminal back end sends for it, at
// the frame's show time counted from the first frame. In palette mode the VGA colours travel
// as the recording's theme (the header's 16-colour palette): asciinema's player takes its
// colours from there and ignores a palette set by escape sequences.
#pragma once

#include "frame_writer.h"
#include "quorvel4/terminal_encoder.h"

class CastWriter : public FileFrameWriter {
 public:
  CastWriter(const std::string& path, const std::string& title, ColorMode mode);
  bool Write(int32_t time, const Cell* cells) override;
  bool Finish() override;

 private:
  bool PutEvent(int32_t time, std::string_view bytes);

  TerminalEncoder encoder_;
  bool first_ = true;
  int32_t start_ = 0;
  int32_t last_ = 0;
  std::string line_;
};

// `bytes` as the inside of a JSON string.
std::string JsonEscaped(std::string_view bytes);
