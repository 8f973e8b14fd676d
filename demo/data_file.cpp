#include "demo/data_file.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace {

DataFile Refused(DataFileError error, uint64_t size = 0) {
  DataFile refused;
  refused.error = error;
  refused.size = size;
  return refused;
}

}  // namespace

#ifdef _WIN32

// CreateFile never waits for the other end of a pipe (a busy pipe fails at once), and
// GetFileType tells a file on disk from a pipe or a console device.
DataFile OpenDataFile(const std::string& path, uint64_t maxBytes) {
  const HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return Refused(DataFileError::kNotFound);
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
      return Refused(DataFileError::kNotRegular);
    return Refused(DataFileError::kUnreadable);
  }
  if (GetFileType(handle) != FILE_TYPE_DISK) {
    CloseHandle(handle);
    return Refused(DataFileError::kNotRegular);
  }
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(handle, &size) || size.QuadPart < 0) {
    CloseHandle(handle);
    return Refused(DataFileError::kUnreadable);
  }
  const uint64_t bytes = static_cast<uint64_t>(size.QuadPart);
  if (bytes > maxBytes) {
    CloseHandle(handle);
    return Refused(DataFileError::kTooLarge, bytes);
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY);
  if (fd < 0) {
    CloseHandle(handle);
    return Refused(DataFileError::kUnreadable);
  }
  FILE* file = _fdopen(fd, "rb");
  if (file == nullptr) {
    _close(fd);  // closes the handle too
    return Refused(DataFileError::kUnreadable);
  }
  DataFile opened;
  opened.file.reset(file);
  opened.size = bytes;
  return opened;
}

#else

// Opening a FIFO without O_NONBLOCK waits for a writer, so the type is checked on the open
// descriptor before any read.
DataFile OpenDataFile(const std::string& path, uint64_t maxBytes) {
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    const bool missing = errno == ENOENT || errno == ENOTDIR;
    return Refused(missing ? DataFileError::kNotFound : DataFileError::kUnreadable);
  }
  struct stat status {};
  if (fstat(fd, &status) != 0) {
    close(fd);
    return Refused(DataFileError::kUnreadable);
  }
  if (!S_ISREG(status.st_mode)) {
    close(fd);
    return Refused(DataFileError::kNotRegular);
  }
  const uint64_t bytes = static_cast<uint64_t>(status.st_size);
  if (bytes > maxBytes) {
    close(fd);
    return Refused(DataFileError::kTooLarge, bytes);
  }
  // Reads of a regular file never wait anyway; plain blocking reads keep stdio's usual sense.
  const int flags = fcntl(fd, F_GETFL);
  if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  FILE* file = fdopen(fd, "rb");
  if (file == nullptr) {
    close(fd);
    return Refused(DataFileError::kUnreadable);
  }
  DataFile opened;
  opened.file.reset(file);
  opened.size = bytes;
  return opened;
}

#endif
