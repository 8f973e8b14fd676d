// The XML project's reader on any text. A project it reads is written and read again equal,
// and written again the same; a text it refuses leaves the project empty and says where.
#include <cstdint>
#include <string>

#include "quorvel4/sync_tracks.h"
#include "support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  SyncProject project;
  std::string error;
  if (!ReadSyncProject(text, project, error)) {
    FUZZ_CHECK(project == SyncProject{});
    FUZZ_CHECK(error.starts_with("line "));
    return 0;
  }
  const std::string written = WriteSyncProject(project);
  SyncProject again;
  if (!ReadSyncProject(written, again, error)) {
    std::fprintf(stderr, "%s\n%s\n", error.c_str(), written.c_str());
    FUZZ_CHECK(false);
  }
  FUZZ_CHECK(again == project);
  FUZZ_CHECK(WriteSyncProject(again) == written);
  return 0;
}
