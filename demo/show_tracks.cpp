#include "demo/show_tracks.h"

#include <algorithm>

namespace {

// A project of a hundred tracks of ten thousand keys is a few megabytes; a track file of a
// million keys nine.
constexpr uint64_t kMostTrackFileBytes = uint64_t{16} << 20;
constexpr uint64_t kMostProjectBytes = kMostSyncProjectBytes;

bool EndsWith(const std::string& text, const char* tail) {
  const std::string end(tail);
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

bool IsIdentifierCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$' ||
         static_cast<unsigned char>(c) >= 0x80;
}

// Past a comment or a string literal that starts at `i`, or `i` itself when none does.
size_t SkipCommentOrString(const std::string& s, size_t i) {
  if (s.compare(i, 2, "//") == 0) {
    const size_t end = s.find('\n', i);
    return end == std::string::npos ? s.size() : end;
  }
  if (s.compare(i, 2, "/*") == 0) {
    const size_t end = s.find("*/", i + 2);
    return end == std::string::npos ? s.size() : end + 2;
  }
  if (s[i] == '"' || s[i] == '\'') {
    const char quote = s[i];
    for (size_t j = i + 1; j < s.size(); ++j) {
      if (s[j] == '\\') {
        ++j;
      } else if (s[j] == quote || s[j] == '\n') {
        return j + 1;
      }
    }
    return s.size();
  }
  return i;
}

size_t SkipSpace(const std::string& s, size_t i) {
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\n' || s[i] == '\r')) ++i;
  return i;
}

// The text of a plain string literal at `i` (no escapes: a name with escapes is not taken) and
// the place after it.
bool PlainLiteral(const std::string& s, size_t i, std::string& text, size_t& after) {
  if (i >= s.size() || (s[i] != '"' && s[i] != '\'')) return false;
  const size_t end = s.find_first_of(std::string(1, s[i]) + "\\\n", i + 1);
  if (end == std::string::npos || s[end] != s[i]) return false;
  text = s.substr(i + 1, end - i - 1);
  after = end + 1;
  return true;
}

}  // namespace

bool IsTrackProjectSource(const std::string& source) { return EndsWith(source, ".rocket") || EndsWith(source, ".xml"); }

std::string TrackSourceProblem(const std::string& source) {
  if (IsTrackProjectSource(source)) return ShowFileNameProblem(source);
  if (source.empty()) return "the base of the track files is empty";
  return ShowFileNameProblem(TrackFileName(source, "name"));
}

std::vector<std::string> TrackNamesInSource(const std::string& source) {
  std::vector<std::string> names;
  for (size_t i = 0; i < source.size();) {
    if (const size_t past = SkipCommentOrString(source, i); past != i) {
      i = past;
      continue;
    }
    const bool starts = source.compare(i, 5, "track") == 0 && (i == 0 || (!IsIdentifierCharacter(source[i - 1]) &&
                                                                          source[i - 1] != '.'));
    if (!starts || (i + 5 < source.size() && IsIdentifierCharacter(source[i + 5]))) {
      ++i;
      continue;
    }
    size_t at = SkipSpace(source, i + 5);
    std::string name;
    size_t after = 0;
    if (at < source.size() && source[at] == '(' && PlainLiteral(source, SkipSpace(source, at + 1), name, after) &&
        SkipSpace(source, after) < source.size() && source[SkipSpace(source, after)] == ')') {
      if (!name.empty() && std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
      at = after;
    }
    i = std::max(at, i + 5);
  }
  return names;
}

std::vector<std::string> TrackFilesOf(const std::string& source, const std::vector<SyncTrack>& tracks) {
  if (IsTrackProjectSource(source)) return {source};
  std::vector<std::string> files;
  for (const SyncTrack& track : tracks) files.push_back(TrackFileName(source, track.Name()));
  return files;
}

namespace {

// The project of the folder, if it holds one (an empty project otherwise); false with `error`
// naming the file when it is there but cannot be read, and `why` (for the writer's wording)
// saying what is wrong inside it.
bool ReadProjectOfFolder(const ShowFolder& folder, const std::string& source, SyncProject& project,
                         std::string& error, std::string& why) {
  if (!folder.Has(source)) return true;
  std::vector<uint8_t> bytes;
  if (!folder.Read(source, kMostProjectBytes, bytes, error)) return false;
  if (ReadSyncProject(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), project, why))
    return true;
  std::string ignored;
  error = "the track project " + folder.PathOf(source, ignored);
  return false;
}

bool ReadFromProject(const ShowFolder& folder, const std::string& source, std::vector<SyncTrack>& tracks,
                     std::string& error) {
  SyncProject project;
  std::string why;
  if (!ReadProjectOfFolder(folder, source, project, error, why)) {
    if (!why.empty()) error += ": " + why;
    return false;
  }
  std::vector<std::vector<TrackKey>> keys(tracks.size());
  for (size_t i = 0; i < tracks.size(); ++i)
    for (const SyncTrack& held : project.tracks)
      if (held.Name() == tracks[i].Name()) keys[i] = held.Keys();
  for (size_t i = 0; i < tracks.size(); ++i) tracks[i].SetKeys(std::move(keys[i]));
  return true;
}

bool ReadFromTrackFiles(const ShowFolder& folder, const std::string& base, std::vector<SyncTrack>& tracks,
                        std::string& error) {
  std::vector<std::vector<TrackKey>> keys(tracks.size());
  for (size_t i = 0; i < tracks.size(); ++i) {
    const std::string file = TrackFileName(base, tracks[i].Name());
    std::string problem;
    if (folder.PathOf(file, problem).empty()) {
      error = "the track \"" + tracks[i].Name() + "\" cannot have a track file: " + problem;
      return false;
    }
    if (!folder.Has(file)) continue;
    std::vector<uint8_t> bytes;
    if (!folder.Read(file, kMostTrackFileBytes, bytes, error)) return false;
    std::string why;
    if (!DecodeTrackFile(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), keys[i], why)) {
      std::string ignored;
      error = "the track file " + folder.PathOf(file, ignored) + ": " + why;
      return false;
    }
  }
  for (size_t i = 0; i < tracks.size(); ++i) tracks[i].SetKeys(std::move(keys[i]));
  return true;
}

bool WriteProject(const ShowFolder& folder, const std::string& source, const std::vector<SyncTrack>& tracks,
                  std::string& error) {
  SyncProject project;
  std::string why;
  // A project that cannot be read is not written over: it may hold what nobody has elsewhere.
  if (!ReadProjectOfFolder(folder, source, project, error, why)) {
    if (!why.empty()) error += " is not written over, since it cannot be read: " + why;
    return false;
  }
  for (const SyncTrack& track : tracks) {
    const auto held = std::find_if(project.tracks.begin(), project.tracks.end(),
                                   [&](const SyncTrack& t) { return t.Name() == track.Name(); });
    if (held == project.tracks.end()) {
      project.tracks.push_back(track);
    } else {
      *held = track;
    }
  }
  return folder.Write(source, WriteSyncProject(project), error);
}

}  // namespace

bool ReadTrackKeys(const ShowFolder& folder, const std::string& source, std::vector<SyncTrack>& tracks,
                   std::string& error) {
  if (tracks.empty()) return true;
  return IsTrackProjectSource(source) ? ReadFromProject(folder, source, tracks, error)
                                      : ReadFromTrackFiles(folder, source, tracks, error);
}

bool WriteTrackKeys(const ShowFolder& folder, const std::string& source, const std::vector<SyncTrack>& tracks,
                    std::vector<std::string>& written, std::string& error) {
  written.clear();
  if (IsTrackProjectSource(source)) {
    if (!WriteProject(folder, source, tracks, error)) return false;
    written.push_back(source);
    return true;
  }
  for (const SyncTrack& track : tracks) {
    const std::string file = TrackFileName(source, track.Name());
    if (!folder.Write(file, EncodeTrackFile(track.Keys()), error)) return false;
    written.push_back(file);
  }
  return true;
}
