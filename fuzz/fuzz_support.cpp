#include "fuzz_support.h"

#include <unistd.h>

#include <filesystem>

ScratchFile::ScratchFile(const char* name) {
  std::error_code error;
  std::filesystem::path folder = std::filesystem::temp_directory_path(error);
  if (error) folder = "/tmp";
  path_ = (folder / (std::string("qvl_fuzz_") + name + "_" + std::to_string(getpid()))).string();
}

ScratchFile::~ScratchFile() { std::remove(path_.c_str()); }

bool ScratchFile::Write(std::string_view bytes) const {
  FILE* file = std::fopen(path_.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}
