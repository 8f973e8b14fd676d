#include "demo/show_folder.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "demo/data_file.h"

namespace fs = std::filesystem;

bool IsShowFileName(const std::string& name) {
  if (name.empty() || name.size() > 4096) return false;
  if (name.front() == '/' || name.find('\\') != std::string::npos || name.find(':') != std::string::npos) return false;
  if (name.find('\0') != std::string::npos) return false;
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = name.find('/', start);
    if (end == std::string::npos) end = name.size();
    const std::string part = name.substr(start, end - start);
    if (part.empty() || part == "." || part == "..") return false;
    start = end + 1;
  }
  return true;
}

std::string ShowFolder::PathOf(const std::string& name, std::string& error) const {
  if (!IsShowFileName(name)) {
    error = "\"" + name + "\" is not a file name a show may use: name a file inside the show's folder, relative to it" +
            " (no \"..\", no absolute path)";
    return "";
  }
  return root_ + separator_ + name;
}

bool ShowFolder::Has(const std::string& name) const {
  std::string error;
  const std::string path = PathOf(name, error);
  std::error_code code;
  return !path.empty() && fs::exists(path, code);
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
  // A link may lead anywhere: what counts is where the file really is.
  std::error_code code;
  const fs::path real = fs::canonical(path, code);
  if (code) {
    error = where + (code == std::errc::no_such_file_or_directory ? " does not exist" : " cannot be read: " + code.message());
    return "";
  }
  const fs::path realRoot = fs::canonical(root_, code);
  if (code) {
    error = "the show's folder " + root_ + " cannot be read: " + code.message();
    return "";
  }
  const auto [rootEnd, unused] = std::mismatch(realRoot.begin(), realRoot.end(), real.begin(), real.end());
  if (rootEnd != realRoot.end()) {
    error = where + " leads out of the show's folder (to " + real.string() + "): a show reads only its own files";
    return "";
  }
  file = OpenDataFile(real.string(), maxBytes);
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
  return real.string();
}
