// Where the capture's frames go.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "output_file.h"
#include "quorvel4/types.h"

class FrameWriter {
 public:
  virtual ~FrameWriter() = default;
  // One presented frame and the show time it was drawn for; false on failure (see error).
  virtual bool Write(int32_t time, const Cell* cells) = 0;
  // Completes the output and puts it under its final name.
  virtual bool Finish() { return true; }
  std::string error;
};

// Frames written one after another into a single file, kept under a temporary name until
// Finish.
class FileFrameWriter : public FrameWriter {
 public:
  explicit FileFrameWriter(const std::string& path);
  bool Finish() override { return Close({}); }

 protected:
  bool Put(const void* bytes, size_t size);
  bool Put(std::string_view bytes) { return Put(bytes.data(), bytes.size()); }
  // Writes `trailer`, closes the file and renames it into place.
  bool Close(std::string_view trailer);

 private:
  OutputFile output_;
};
