// The tracker's files: its project, the recovery copy beside it, and the track files a release
// plays from.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "demo/show_folder.h"
#include "tracker/tracker_document.h"

namespace fs = std::filesystem;

bool LoadTrackerProject(const std::string& path, TrackerDocument& document, std::string& error) {
  std::error_code code;
  const fs::file_status status = fs::status(path, code);
  if (status.type() == fs::file_type::not_found) {
    document = TrackerDocument();
    return true;
  }
  if (code || status.type() != fs::file_type::regular) {
    error = path + ": not a file that can be read" + (code ? " (" + code.message() + ")" : std::string());
    return false;
  }
  // Judged before reading, so that a huge file is not read into memory to be refused.
  const uintmax_t size = fs::file_size(path, code);
  if (code || size > kMostSyncProjectBytes) {
    error = path + ": " + (code ? "its size cannot be read (" + code.message() + ")"
                                : "the project is " + std::to_string(size) + " bytes, more than " +
                                      std::to_string(kMostSyncProjectBytes));
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  std::string text;
  if (in) text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (!in.is_open() || in.bad()) {
    error = path + ": cannot be read";
    return false;
  }
  SyncProject project;
  std::string why;
  if (!ReadSyncProject(text, project, why)) {
    error = path + ": " + why;
    return false;
  }
  document = TrackerDocument(std::move(project));
  return true;
}

bool SaveTrackerProject(const TrackerDocument& document, const std::string& path, std::string& error) {
  return WriteFileWhole(path, WriteSyncProject(document.Project()), error);
}

std::string RecoveryPath(const std::string& path) { return path + ".recovery"; }

bool RecoveryIsNewer(const std::string& path) {
  std::error_code code;
  const fs::file_time_type recovered = fs::last_write_time(RecoveryPath(path), code);
  if (code) return false;
  const fs::file_time_type saved = fs::last_write_time(path, code);
  return code || recovered > saved;
}

bool ExportTrackFiles(const TrackerDocument& document, const std::string& dir, const std::string& base,
                      std::string& error, size_t* written) {
  // The folder's checks are the show's own: the same names are refused where the show would
  // refuse to save them, and no link on the way leads out of `dir`.
  const ShowFolder folder(dir);
  size_t done = 0;
  size_t failed = 0;
  std::string first;
  for (const SyncTrack& track : document.Project().tracks) {
    std::string why;
    if (folder.Write(TrackFileName(base, track.Name()), EncodeTrackFile(track.Keys()), why)) {
      ++done;
    } else if (failed++ == 0) {
      first = "the track \"" + track.Name() + "\": " + why;
    }
  }
  if (written != nullptr) *written = done;
  if (failed == 0) return true;
  error = first + (failed > 1 ? " (and " + std::to_string(failed - 1) + " more not written)" : "");
  return false;
}
