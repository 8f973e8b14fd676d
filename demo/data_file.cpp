#include "demo/data_file.h"

#include "demo/data_file_system.h"

namespace {

DataFile Refused(DataFileError error, uint64_t size = 0, std::string reason = {}) {
  DataFile refused;
  refused.error = error;
  refused.size = size;
  refused.reason = std::move(reason);
  return refused;
}

}  // namespace

DataFile OpenDataFile(const std::string& path, uint64_t maxBytes) {
  const OpenedFile opened = OpenRegularFile(path);
  if (opened.error != DataFileError::kNone) return Refused(opened.error, 0, opened.reason);
  if (opened.size > maxBytes) {
    CloseFile(opened);
    return Refused(DataFileError::kTooLarge, opened.size);
  }
  FILE* file = StreamFromFile(opened);
  if (file == nullptr) return Refused(DataFileError::kUnreadable, 0, "the file could not be opened as a stream");
  DataFile data;
  data.file.reset(file);
  data.size = opened.size;
  return data;
}
