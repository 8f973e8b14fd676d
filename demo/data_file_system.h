// What each system does to open a data file, in a file of its own chosen by the build
// (data_file_system_posix.cpp, data_file_system_windows.cpp); demo/data_file.cpp holds the rest.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "demo/data_file.h"

// A file opened for reading, or why not.
struct OpenedFile {
  DataFileError error = DataFileError::kNone;  // kNotFound, kNotRegular or kUnreadable: nothing is open
  intptr_t handle = -1;                        // the system's descriptor or handle
  uint64_t size = 0;                           // bytes
  std::string reason;                          // the system's words for kUnreadable
};

// Opens `path` without waiting for the other end of a FIFO or a pipe, and keeps it open only
// when it is a regular file, whose size it then tells.
OpenedFile OpenRegularFile(const std::string& path);

// A stdio stream for binary reading, with plain blocking reads, that takes the file over. On
// failure the file is closed and the result is null.
FILE* StreamFromFile(const OpenedFile& file);

void CloseFile(const OpenedFile& file);

// Where `path` really is: absolute, every link followed (on Windows junctions too), as the
// system itself resolves it, its parts joined by the system's one separator. Nothing of the
// file is read and no device is opened for reading. `error` is kNotFound or kUnreadable
// (with the system's words in `reason`) when it cannot be told.
struct RealPath {
  std::string path;
  DataFileError error = DataFileError::kNone;
  std::string reason;
};
RealPath RealPathOf(const std::string& path);
