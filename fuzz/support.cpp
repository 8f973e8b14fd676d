#include "support.h"

#include <unistd.h>

#include <filesystem>

// The sanitizer's quarantine of freed blocks (256 MB by default) would count against the
// fuzzer's memory limit per input (-rss_limit_mb=512) as if the readers held it.
extern "C" const char* __asan_default_options() { return "quarantine_size_mb=64"; }

ScratchFile::ScratchFile(const char* name) {
  // Files in memory where the system has a folder for them: the readers under test open a
  // path, and a disk would make each input a hundred times slower.
  std::error_code error;
  std::filesystem::path folder = std::filesystem::is_directory("/dev/shm", error)
                                     ? std::filesystem::path("/dev/shm")
                                     : std::filesystem::temp_directory_path(error);
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
