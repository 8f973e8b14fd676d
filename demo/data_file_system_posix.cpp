// Opening a data file on POSIX systems (and in the browser, whose file system is POSIX too).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "demo/data_file_system.h"

// Opening a FIFO without O_NONBLOCK waits for a writer, so the type is checked on the open
// descriptor before any read.
OpenedFile OpenRegularFile(const std::string& path) {
  OpenedFile opened;
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    const bool missing = errno == ENOENT || errno == ENOTDIR;
    opened.error = missing ? DataFileError::kNotFound : DataFileError::kUnreadable;
    opened.reason = std::strerror(errno);
    return opened;
  }
  struct stat status {};
  const bool known = fstat(fd, &status) == 0;
  if (!known || !S_ISREG(status.st_mode)) {
    opened.error = known ? DataFileError::kNotRegular : DataFileError::kUnreadable;
    if (!known) opened.reason = std::strerror(errno);
    close(fd);
    return opened;
  }
  opened.handle = fd;
  opened.size = static_cast<uint64_t>(status.st_size);
  return opened;
}

FILE* StreamFromFile(const OpenedFile& file) {
  const int fd = static_cast<int>(file.handle);
  // Reads of a regular file never wait anyway; plain blocking reads keep stdio's usual sense.
  const int flags = fcntl(fd, F_GETFL);
  if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  FILE* stream = fdopen(fd, "rb");
  if (stream == nullptr) close(fd);
  return stream;
}

void CloseFile(const OpenedFile& file) { close(static_cast<int>(file.handle)); }

RealPath RealPathOf(const std::string& path) {
  RealPath real;
  std::error_code code;
  const std::filesystem::path found = std::filesystem::canonical(path, code);
  if (code) {
    real.error = code == std::errc::no_such_file_or_directory ? DataFileError::kNotFound : DataFileError::kUnreadable;
    real.reason = code.message();
    return real;
  }
  real.path = found.string();
  return real;
}
