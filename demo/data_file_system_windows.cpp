// Opening a data file on Windows.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <string>

#include "demo/data_file_system.h"

namespace {

// Windows' own words for an error code, without the line end it puts after them.
std::string SystemWords(DWORD code) {
  char text[512] = {};
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                                      sizeof text, nullptr);
  std::string words(text, length);
  while (!words.empty() && (words.back() == '\n' || words.back() == '\r' || words.back() == ' ' || words.back() == '.'))
    words.pop_back();
  return words.empty() ? "error " + std::to_string(code) : words;
}

}  // namespace

// CreateFile never waits for the other end of a pipe (a busy pipe fails at once), and
// GetFileType tells a file on disk from a pipe or a console device.
OpenedFile OpenRegularFile(const std::string& path) {
  OpenedFile opened;
  const HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND)
      opened.error = DataFileError::kNotFound;
    else if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
      opened.error = DataFileError::kNotRegular;
    else
      opened.error = DataFileError::kUnreadable;
    opened.reason = SystemWords(code);
    return opened;
  }
  LARGE_INTEGER size{};
  if (GetFileType(handle) != FILE_TYPE_DISK)
    opened.error = DataFileError::kNotRegular;
  else if (!GetFileSizeEx(handle, &size) || size.QuadPart < 0)
    opened.error = DataFileError::kUnreadable, opened.reason = SystemWords(GetLastError());
  if (opened.error != DataFileError::kNone) {
    CloseHandle(handle);
    return opened;
  }
  opened.handle = reinterpret_cast<intptr_t>(handle);
  opened.size = static_cast<uint64_t>(size.QuadPart);
  return opened;
}

FILE* StreamFromFile(const OpenedFile& file) {
  const int fd = _open_osfhandle(file.handle, _O_RDONLY | _O_BINARY);
  if (fd < 0) {
    CloseHandle(reinterpret_cast<HANDLE>(file.handle));
    return nullptr;
  }
  FILE* stream = _fdopen(fd, "rb");
  if (stream == nullptr) _close(fd);  // closes the handle too
  return stream;
}

void CloseFile(const OpenedFile& file) { CloseHandle(reinterpret_cast<HANDLE>(file.handle)); }
