#include "demo/music_stream.h"

#include <sys/stat.h>

#include <cstdio>

bool MixerVersionAtLeast(const MixerVersion& linked, const MixerVersion& minimum) {
  if (linked.major != minimum.major) return linked.major > minimum.major;
  if (linked.minor != minimum.minor) return linked.minor > minimum.minor;
  return linked.patch >= minimum.patch;
}

MusicFileResult ReadMusicFile(const std::string& path, MusicBlock& block) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return MusicFileResult::kNotFound;
  // A directory opens too, and reports a length of LONG_MAX.
  struct stat status {};
  if (fstat(fileno(file), &status) != 0 || !S_ISREG(status.st_mode)) {
    std::fclose(file);
    return MusicFileResult::kUnreadable;
  }
  long length = -1;
  if (std::fseek(file, 0, SEEK_END) == 0) length = std::ftell(file);
  if (length < 0 || std::fseek(file, 0, SEEK_SET) != 0) {
    std::fclose(file);
    return MusicFileResult::kUnreadable;
  }
  if (length == 0) {
    std::fclose(file);
    return MusicFileResult::kEmpty;
  }
  block.data.reset(static_cast<uint8_t*>(std::malloc(static_cast<size_t>(length))));
  const bool read = block.data && std::fread(block.data.get(), static_cast<size_t>(length), 1, file) == 1;
  std::fclose(file);
  if (!read) {
    block.data.reset();
    return MusicFileResult::kUnreadable;
  }
  block.size = static_cast<size_t>(length);
  return MusicFileResult::kRead;
}

