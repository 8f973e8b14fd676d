#include "support.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

// The sanitizer's quarantine of freed blocks (256 MB by default) would count against the
// fuzzer's memory limit per input (-rss_limit_mb=512) as if the readers held it.
extern "C" const char* __asan_default_options() { return "quarantine_size_mb=64"; }

namespace {

[[noreturn]] void ScratchFailed(const std::string& what) {
  // No input would reach the reader: a replay that passed now would have tested nothing.
  std::fprintf(stderr, "fuzz: cannot make a scratch file %s: %s\n", what.c_str(), std::strerror(errno));
  std::abort();
}

}  // namespace

ScratchFile::ScratchFile(const char* name) {
  // Files in memory where the system has a folder for them: the readers under test open a
  // path, and a disk would make each input a hundred times slower. TMPDIR, when set, is the
  // user's choice. A name of mkstemp's own: the folder is everyone's.
  std::error_code error;
  const char* chosen = std::getenv("TMPDIR");
  std::filesystem::path folder = chosen && *chosen                                ? std::filesystem::path(chosen)
                                 : std::filesystem::is_directory("/dev/shm", error) ? std::filesystem::path("/dev/shm")
                                                                                    : std::filesystem::path("/tmp");
  std::string path = (folder / (std::string("qvl_fuzz_") + name + "_XXXXXX")).string();
  const int fd = mkstemp(path.data());
  if (fd < 0) ScratchFailed("in " + folder.string());
  close(fd);
  path_ = path;
}

ScratchFile::~ScratchFile() { std::remove(path_.c_str()); }

void ScratchFile::Write(std::string_view bytes) const {
  FILE* file = std::fopen(path_.c_str(), "wb");
  if (file == nullptr) ScratchFailed(path_);
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  if (std::fclose(file) != 0 || !written) ScratchFailed(path_);
}
