#include "frame_writer.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

FileFrameWriter::FileFrameWriter(const std::string& path) : output_(path) {
  if (!output_.error.empty()) {
    error = output_.error;
    return;
  }
  const int fd = output_.TakeDescriptor();
  file_ = fdopen(fd, "wb");
  if (file_ == nullptr) {
    close(fd);
    error = "cannot write " + path + ": " + std::strerror(errno);
  }
}

FileFrameWriter::~FileFrameWriter() {
  if (file_ != nullptr) std::fclose(file_);
}

bool FileFrameWriter::Put(const void* bytes, size_t size) {
  if (size == 0 || std::fwrite(bytes, size, 1, file_) == 1) return true;
  error = "cannot write " + output_.FinalPath() + ": " + std::strerror(errno);
  return false;
}

bool FileFrameWriter::Close(std::string_view trailer) {
  const bool written = Put(trailer);
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  if (written && !closed) error = "cannot write " + output_.FinalPath() + ": " + std::strerror(errno);
  if (!written || !closed) return false;
  if (output_.Commit()) return true;
  error = output_.error;
  return false;
}
