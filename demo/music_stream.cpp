#include "demo/music_stream.h"

#include <cstdio>

#include "demo/data_file.h"

bool MixerVersionAtLeast(const MixerVersion& linked, const MixerVersion& minimum) {
  if (linked.major != minimum.major) return linked.major > minimum.major;
  if (linked.minor != minimum.minor) return linked.minor > minimum.minor;
  return linked.patch >= minimum.patch;
}

MusicFileResult ReadMusicFile(const std::string& path, MusicBlock& block, uint64_t* fileSize) {
  const DataFile data = OpenDataFile(path, kMaxMusicFileBytes);
  if (fileSize != nullptr) *fileSize = data.size;
  switch (data.error) {
    case DataFileError::kNone:
      break;
    case DataFileError::kNotFound:
      return MusicFileResult::kNotFound;
    case DataFileError::kNotRegular:
      return MusicFileResult::kNotRegular;
    case DataFileError::kTooLarge:
      return MusicFileResult::kTooLarge;
    case DataFileError::kUnreadable:
      return MusicFileResult::kUnreadable;
  }
  if (data.size == 0) return MusicFileResult::kEmpty;
  const size_t length = static_cast<size_t>(data.size);
  block.data.reset(static_cast<uint8_t*>(std::malloc(length)));
  if (!block.data || std::fread(block.data.get(), length, 1, data.file.get()) != 1) {
    block.data.reset();
    return MusicFileResult::kUnreadable;
  }
  block.size = length;
  return MusicFileResult::kRead;
}
