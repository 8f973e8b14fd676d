// Opening a data file on Windows.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <string>
#include <vector>

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

// The program's narrow strings are in the ANSI code page, as CreateFileA and the command line
// have them.
std::wstring Wide(const std::string& text) {
  if (text.empty()) return L"";
  const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

// False when a character has no form in the ANSI code page: a path spelt with a stand-in would
// name another file.
bool Narrow(const std::wstring& wide, std::string& text) {
  text.clear();
  if (wide.empty()) return true;
  BOOL lossy = FALSE;
  const int size = static_cast<int>(wide.size());
  const int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), size, nullptr, 0, nullptr, &lossy);
  if (length <= 0 || lossy) return false;
  text.resize(static_cast<size_t>(length));
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), size, text.data(), length, nullptr, nullptr);
  return true;
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

// The C++ library's canonical() resolves nothing on Windows (a link or a junction stays as it
// is named, and wine's Unix links pass unseen): the system's final name of the opened handle is
// what a check must compare. Opened with no access asked, a file is not read and a folder opens
// as well (backup semantics).
RealPath RealPathOf(const std::string& path) {
  RealPath real;
  const HANDLE handle = CreateFileW(Wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    real.error = code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ? DataFileError::kNotFound
                                                                               : DataFileError::kUnreadable;
    real.reason = SystemWords(code);
    return real;
  }
  std::vector<wchar_t> name(MAX_PATH);
  DWORD length = 0;
  for (;;) {
    length = GetFinalPathNameByHandleW(handle, name.data(), static_cast<DWORD>(name.size()),
                                       FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length < name.size()) break;
    name.resize(length + 1);  // the size it needs, with the terminating zero
  }
  const DWORD code = GetLastError();
  CloseHandle(handle);
  if (length == 0) {
    real.error = DataFileError::kUnreadable;
    real.reason = SystemWords(code);
    return real;
  }
  // "\\?\C:\dir" is "C:\dir" and "\\?\UNC\server\share" is "\\server\share" to every other call.
  std::wstring named(name.data(), length);
  if (named.rfind(L"\\\\?\\UNC\\", 0) == 0)
    named = L"\\" + named.substr(7);
  else if (named.rfind(L"\\\\?\\", 0) == 0)
    named = named.substr(4);
  if (!Narrow(named, real.path)) {
    real.error = DataFileError::kUnreadable;
    real.reason = "its real path has characters that the system's code page cannot spell";
  }
  return real;
}
