// Opening the show's data files. A FIFO, a device or a directory put in place of a picture or
// the music must not stall the start-up, so a file is opened without waiting for a writer and
// is refused unless it is a regular file; its size is known before anything is read.
#pragma once

#include <cstdint>
#include <cstdio>
#include <limits>
#include <memory>
#include <string>

// kEmpty: a file that must hold something (the music) holds nothing; OpenDataFile itself opens
// an empty file.
enum class DataFileError { kNone, kNotFound, kNotRegular, kTooLarge, kEmpty, kUnreadable };

struct DataFile {
  struct Close {
    void operator()(FILE* file) const { std::fclose(file); }
  };
  std::unique_ptr<FILE, Close> file;  // open for binary reading when error is kNone
  uint64_t size = 0;                  // bytes, also when the file was refused as too large
  DataFileError error = DataFileError::kNone;
  std::string reason;  // kUnreadable: the system's words (a loop of links, a name too long, no permission)
};

// Opens `path` for binary reading when it is a regular file of at most `maxBytes` bytes. Never
// blocks on a FIFO or a device: they are refused as not regular.
DataFile OpenDataFile(const std::string& path, uint64_t maxBytes = std::numeric_limits<uint64_t>::max());
