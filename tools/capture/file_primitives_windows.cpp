// The output files' primitives on Windows, through the Win32 calls themselves (so a failure
// is reported in Windows' own words), and the clean-up on Ctrl+C, Ctrl+Break and closing the
// console (a give-back step of the library's console-event handler).
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <mutex>

#include "file_primitives.h"
#include "output_file.h"
#include "quorvel4/display_signals.h"
#include "windows_error.h"

namespace {

std::mutex gLock;  // the control handler runs on a thread of its own
std::string gTempPath;
std::atomic<long> gChild{0};

// On the control handler's thread; the process ends right after.
void CleanUpOnInterrupt() {
  if (const long child = gChild.exchange(0); child > 0) {
    if (HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, static_cast<DWORD>(child))) {
      TerminateProcess(process, 1);
      WaitForSingleObject(process, 5000);
      CloseHandle(process);
    }
  }
  std::lock_guard<std::mutex> lock(gLock);
  if (!gTempPath.empty()) DeleteFileA(gTempPath.c_str());
}

HANDLE HandleOf(int fd) { return reinterpret_cast<HANDLE>(_get_osfhandle(fd)); }

// A descriptor of the C runtime for `handle`; -1, with the handle closed, when it has none.
int Descriptor(HANDLE handle, std::string* error) {
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
  if (fd < 0) {
    *error = std::strerror(errno);
    CloseHandle(handle);
  }
  return fd;
}

// The names Windows keeps for devices in every directory, with any extension: CON, NUL.txt,
// C:\\out\\com1. (CON opens only where there is a console, but is never a file to replace.)
bool IsDeviceName(const std::string& path) {
  std::string name = std::filesystem::path(path).filename().string();
  name = name.substr(0, name.find('.'));
  while (!name.empty() && (name.back() == ' ' || name.back() == ':')) name.pop_back();
  for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
    if (name == device) return true;
  return name.size() == 4 && (name.rfind("COM", 0) == 0 || name.rfind("LPT", 0) == 0) && name[3] >= '1' &&
         name[3] <= '9';
}

}  // namespace

bool IsWrittenInPlace(const std::string& path) {
  if (IsDeviceName(path)) return true;
  // Devices (NUL, CON, COM1, pipes) open as files of another type than a disk file; the
  // console's CON opens only with an access right, the others with none.
  HANDLE handle = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE)
    handle = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                         nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION information{};
  const bool device = GetFileType(handle) != FILE_TYPE_DISK;
  const bool directory = !device && GetFileInformationByHandle(handle, &information) &&
                         (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  CloseHandle(handle);
  return device || directory;
}

int OpenInPlace(const std::string& path, std::string* error) {
  const HANDLE handle = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    *error = WindowsError(GetLastError());
    return -1;
  }
  return Descriptor(handle, error);
}

int DuplicateDescriptor(int fd, std::string* error) {
  const int copy = _dup(fd);
  if (copy < 0) *error = std::strerror(errno);
  return copy;
}

// Child programs get their own standard handles only; they open the path themselves.
std::string NameForChild(int) { return {}; }

// The new file takes the permissions its directory passes on, as the one it replaces did.
int CreateNewFile(const std::string& path, const std::string&, bool* taken, std::string* error) {
  const HANDLE handle = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    *taken = code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS;
    *error = WindowsError(code);
    return -1;
  }
  return Descriptor(handle, error);
}

bool WriteAll(int fd, const void* bytes, size_t size, std::string* error) {
  const auto* at = static_cast<const char*>(bytes);
  while (size > 0) {
    const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
    DWORD wrote = 0;
    if (!WriteFile(HandleOf(fd), at, chunk, &wrote, nullptr) || wrote == 0) {
      *error = WindowsError(GetLastError());
      return false;
    }
    at += wrote;
    size -= wrote;
  }
  return true;
}

bool CloseFile(int fd, std::string* error) {
  if (_close(fd) == 0) return true;
  *error = std::strerror(errno);
  return false;
}

bool MoveIntoPlace(const std::string& from, const std::string& to, std::string* error) {
  if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
  *error = WindowsError(GetLastError());
  return false;
}

void RemoveFile(const std::string& path) { DeleteFileA(path.c_str()); }

unsigned ProcessNumber() { return GetCurrentProcessId(); }

void SetInterruptTemp(const std::string& path) {
  std::lock_guard<std::mutex> lock(gLock);
  gTempPath = path;
}

bool StandardErrorIsTerminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

void InstallInterruptCleanup() { display_signals::AddGiveBackStep(CleanUpOnInterrupt); }

void SetInterruptChild(long child) { gChild = child; }
