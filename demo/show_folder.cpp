#include "demo/show_folder.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "demo/data_file.h"
#include "demo/data_file_system.h"

namespace fs = std::filesystem;

namespace {

bool IsNameLeavingTheFolder(const std::string& name) {
  if (name.empty() || name.size() > 4096) return true;
  if (name.front() == '/' || name.find('\\') != std::string::npos || name.find(':') != std::string::npos) return true;
  if (name.find('\0') != std::string::npos) return true;
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = name.find('/', start);
    if (end == std::string::npos) end = name.size();
    const std::string part = name.substr(start, end - start);
    if (part.empty() || part == "." || part == "..") return true;
    start = end + 1;
  }
  return false;
}

// Windows opens a device for these in any folder and with any extension ("nul.txt" too), and
// reads "COM1 " as "COM1".
bool IsWindowsDeviceName(std::string base) {
  while (!base.empty() && base.back() == ' ') base.pop_back();
  for (char& c : base) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "CLOCK$"})
    if (base == device) return true;
  if (base.size() < 4 || (base.compare(0, 3, "COM") != 0 && base.compare(0, 3, "LPT") != 0)) return false;
  const std::string number = base.substr(3);
  // The digits, and the superscripts one, two and three in UTF-8, as a script's strings are.
  return (number.size() == 1 && number[0] >= '0' && number[0] <= '9') || number == "\xC2\xB9" ||
         number == "\xC2\xB2" || number == "\xC2\xB3";
}

// A name Windows cannot hold, or holds as another: "a." and "a " are "a" there, "..." is "..".
bool IsNameWindowsReadsOtherwise(const std::string& name) {
  for (const unsigned char c : name)
    if (c < 32 || c == '<' || c == '>' || c == '"' || c == '|' || c == '?' || c == '*') return true;
  size_t start = 0;
  while (start < name.size()) {
    size_t end = name.find('/', start);
    if (end == std::string::npos) end = name.size();
    const std::string part = name.substr(start, end - start);
    if (part.back() == '.' || part.back() == ' ') return true;
    if (IsWindowsDeviceName(part.substr(0, part.find('.')))) return true;
    start = end + 1;
  }
  return false;
}

// Whether `path` is `folder` or lies inside it. Both are real paths, as RealPathOf gives them:
// absolute, every link followed, parts joined by the system's one separator. Compared part by
// part, so that "/a/bc" is not inside "/a/b".
bool LiesInside(const std::string& folder, const std::string& path) {
  constexpr char separator = static_cast<char>(fs::path::preferred_separator);
  if (path.compare(0, folder.size(), folder) != 0) return false;
  return path.size() == folder.size() || (!folder.empty() && folder.back() == separator) ||
         path[folder.size()] == separator;
}

}  // namespace

std::string JoinPath(const std::string& folder, const std::string& name, const std::string& separator) {
  const auto isSeparator = [](char c) { return c == '/' || (c == '\\' && fs::path::preferred_separator == '\\'); };
  size_t end = folder.size();
  while (end > 1 && isSeparator(folder[end - 1])) --end;
  if (end == 1 && isSeparator(folder[0])) return folder.substr(0, 1) + name;
  return folder.substr(0, end) + separator + name;
}

std::string ShowFileNameProblem(const std::string& name) {
  const std::string quoted = "\"" + name + "\" is not a file name a show may use: ";
  if (IsNameLeavingTheFolder(name))
    return quoted + "name a file inside the show's folder, relative to it (no \"..\", no absolute path)";
  if (IsNameWindowsReadsOtherwise(name))
    return quoted + "a show plays on every system, and Windows cannot hold this name or takes it for a device or another file" +
           " (no CON, NUL, COM1 and the like, no part ending in a dot or a space, none of < > \" | ? *)";
  return "";
}

std::string ShowFolder::PathOf(const std::string& name, std::string& error) const {
  if (std::string problem = ShowFileNameProblem(name); !problem.empty()) {
    error = std::move(problem);
    return "";
  }
  return JoinPath(root_, name, separator_);
}

bool ShowFolder::Has(const std::string& name) const {
  std::string error;
  const std::string path = PathOf(name, error);
  std::error_code code;
  return !path.empty() && fs::exists(path, code);
}

bool ShowFolder::Write(const std::string& name, const std::string& bytes, std::string& error) const {
  const std::string path = PathOf(name, error);
  if (path.empty()) return false;
  const std::string where = "the file " + path;
  std::error_code code;
  const fs::path parent = fs::path(path).parent_path();
  fs::create_directories(parent, code);
  const RealPath realParent = RealPathOf(parent.string());
  const RealPath realRoot = RealPathOf(root_);
  if (realParent.error != DataFileError::kNone || realRoot.error != DataFileError::kNone) {
    error = where + " cannot be written: its folder cannot be made or read";
    return false;
  }
  if (!LiesInside(realRoot.path, realParent.path)) {
    error = where + " would lead out of the show's folder (to " + realParent.path + "): a show writes only its own files";
    return false;
  }
  return WriteFileWhole(path, bytes, error);
}

bool WriteFileWhole(const std::string& path, const std::string& bytes, std::string& error) {
  const std::string where = "the file " + path;
  std::error_code code;
  const std::string saving = path + ".saving";
  FILE* file = std::fopen(saving.c_str(), "wb");
  if (file == nullptr) {
    error = where + " cannot be written";
    return false;
  }
  const bool whole = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  if (std::fclose(file) != 0 || !whole) {
    fs::remove(saving, code);
    error = where + " could not be written whole";
    return false;
  }
  // Renaming replaces the name itself, never what a link of that name leads to.
  fs::rename(saving, path, code);
  if (code) {
    error = where + " could not be put in place: " + code.message();
    fs::remove(saving, code);
    return false;
  }
  return true;
}

std::string ShowFolder::CheckedPath(const std::string& name, uint64_t maxBytes, std::string& error) const {
  DataFile file;
  return Open(name, maxBytes, file, error);
}

bool ShowFolder::Read(const std::string& name, uint64_t maxBytes, std::vector<uint8_t>& bytes,
                      std::string& error) const {
  DataFile file;
  const std::string path = Open(name, maxBytes, file, error);
  if (path.empty()) return false;
  bytes.resize(static_cast<size_t>(file.size));
  if (!bytes.empty() && std::fread(bytes.data(), 1, bytes.size(), file.file.get()) != bytes.size()) {
    error = "the file " + path + " could not be read whole";
    return false;
  }
  return true;
}

std::string ShowFolder::Open(const std::string& name, uint64_t maxBytes, DataFile& file, std::string& error) const {
  const std::string path = PathOf(name, error);
  if (path.empty()) return "";
  const std::string where = "the file " + path;
  // A link (or, on Windows, a junction) may lead anywhere: what counts is where the file really
  // is, as the system itself resolves it.
  const RealPath real = RealPathOf(path);
  if (real.error != DataFileError::kNone) {
    error = where + (real.error == DataFileError::kNotFound ? " does not exist" : " cannot be read: " + real.reason);
    return "";
  }
  const RealPath realRoot = RealPathOf(root_);
  if (realRoot.error != DataFileError::kNone) {
    error = "the show's folder " + root_ + " cannot be read: " + realRoot.reason;
    return "";
  }
  if (!LiesInside(realRoot.path, real.path)) {
    error = where + " leads out of the show's folder (to " + real.path + "): a show reads only its own files";
    return "";
  }
  file = OpenDataFile(real.path, maxBytes);
  switch (file.error) {
    case DataFileError::kNone:
    case DataFileError::kEmpty:
      break;
    case DataFileError::kNotFound:
      error = where + " does not exist";
      return "";
    case DataFileError::kNotRegular:
      error = where + " is not a regular file";
      return "";
    case DataFileError::kTooLarge:
      error = where + " is " + std::to_string(file.size) + " bytes; it may have at most " + std::to_string(maxBytes);
      return "";
    case DataFileError::kUnreadable:
      error = where + " cannot be read" + (file.reason.empty() ? "" : ": " + file.reason);
      return "";
  }
  return real.path;
}
