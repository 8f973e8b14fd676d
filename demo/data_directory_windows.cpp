// The executable's folder on Windows: the module file name of the process.
#include <windows.h>

#include <exception>
#include <filesystem>
#include <vector>

#include "demo/data_directory.h"

std::string ExecutableDirectory() {
  std::vector<wchar_t> name(MAX_PATH);
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
    if (length == 0) return "";
    if (length < name.size()) {
      try {
        return std::filesystem::path(name.data()).parent_path().string();
      } catch (const std::exception&) {
        return "";  // a name the narrow code page cannot spell
      }
    }
    name.resize(name.size() * 2);  // the name was cut off
  }
}
