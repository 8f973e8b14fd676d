#include "frame_writer.h"

FileFrameWriter::FileFrameWriter(const std::string& path) : output_(path) { error = output_.error; }

bool FileFrameWriter::Put(const void* bytes, size_t size) {
  if (output_.Write(bytes, size)) return true;
  error = output_.error;
  return false;
}

bool FileFrameWriter::Close(std::string_view trailer) {
  if (!Put(trailer)) return false;
  if (output_.Commit()) return true;
  error = output_.error;
  return false;
}
