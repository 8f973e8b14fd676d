#include "demo/data_directory.h"

#include <cstdlib>
#include <filesystem>

#include "demo/demo_main.h"
#include "demo/images.h"

namespace {

namespace fs = std::filesystem;

// The place as a reader should see it: a relative one together with the folder it is in.
std::string Described(const std::string& place) {
  if (fs::path(place).is_absolute()) return place;
  std::error_code error;
  const fs::path here = fs::current_path(error);
  if (error) return place;
  return (here / place).lexically_normal().string();
}

// "A, B and C".
std::string Listed(const std::vector<std::string>& items) {
  std::string text;
  for (size_t i = 0; i < items.size(); ++i) {
    if (i > 0) text += i + 1 == items.size() ? " and " : ", ";
    text += items[i];
  }
  return text;
}

}  // namespace

bool IsDirectory(const std::string& path) {
  std::error_code error;
  return fs::is_directory(path, error);
}

bool HoldsAnyOf(const std::string& path, const std::vector<std::string>& marks) {
  if (!IsDirectory(path)) return false;
  for (const std::string& mark : marks) {
    std::error_code error;
    if (fs::exists(fs::path(path) / mark, error)) return true;
  }
  return false;
}

std::vector<std::string> ShowDataFileNames() {
  std::vector<std::string> names = {kMusicFile};
  for (int id = 0; id < kImageCount; ++id) names.push_back(PictureFileOf(static_cast<ImageId>(id)).fileName);
  return names;
}

DataDirectoryPlaces DataDirectoryPlacesFor(const std::string& overridden, const std::string& executableDir,
                                           const std::string& installedFromExecutable,
                                           std::vector<std::string> marks) {
  DataDirectoryPlaces places;
  places.overridden = overridden;
  places.marks = std::move(marks);
  if (!overridden.empty()) {
    places.places = {overridden};
    return places;
  }
  // Relative, as the show always named its files: a checkout's run reads "data//FILE".
  places.places.push_back(kDataDirectory);
  if (!executableDir.empty()) {
    const fs::path exe(executableDir);
    places.places.push_back((exe / kDataDirectory).lexically_normal().string());
    places.places.push_back((exe / installedFromExecutable).lexically_normal().string());
  }
  return places;
}

DataDirectoryPlaces DataDirectoryPlacesHere() {
  const char* overridden = std::getenv(kDataDirectoryVariable);
  return DataDirectoryPlacesFor(overridden != nullptr ? overridden : "", ExecutableDirectory(),
                                QVL_DATA_FROM_EXECUTABLE);
}

FoundDataDirectory FindDataDirectory(const DataDirectoryPlaces& places) {
  FoundDataDirectory found;
  found.overridden = !places.overridden.empty();
  if (!places.marks.empty()) found.mark = places.marks.front();
  for (const std::string& place : places.places) {
    const std::string described = Described(place);
    // The same folder reached twice (the program started from its own folder) is named once.
    bool seen = false;
    for (const std::string& earlier : found.looked) seen = seen || earlier == described;
    if (seen) continue;
    found.looked.push_back(described);
    if (HoldsAnyOf(place, places.marks)) {
      found.directory = place;
      break;
    }
    if (IsDirectory(place)) found.unrelated.push_back(described);
  }
  return found;
}

std::string NoDataDirectoryMessage(const FoundDataDirectory& found) {
  const std::string files = "the show's files (" + found.mark + " and the pictures)";
  if (found.overridden && !found.looked.empty()) {
    const std::string& place = found.looked.front();
    return std::string(kDataDirectoryVariable) + " names " + place +
           (found.unrelated.empty() ? ", which is not a directory" : ", which holds none of " + files) +
           ": set it to the folder that holds them, or unset it.";
  }
  std::string message = "The show's data directory (pictures and music) was not found; looked in " +
                        Listed(found.looked) + ".";
  if (!found.unrelated.empty()) {
    // Appended piece by piece: GCC 12 warns (-Wrestrict) on " " + a returned string.
    message += ' ';
    message += Listed(found.unrelated);
    message += found.unrelated.size() == 1 ? " holds none of " : " hold none of ";
    message += files + ".";
  }
  message += " Start the program from the folder that holds data/" + found.mark + ", or set ";
  message += kDataDirectoryVariable;
  message += " to the folder that holds " + found.mark + ".";
  return message;
}

std::string ChosenDataDirectoryProblem(const std::string& path) {
  if (!IsDirectory(path)) return "The data directory " + path + " does not exist or is not a directory.";
  const std::vector<std::string> names = ShowDataFileNames();
  if (!HoldsAnyOf(path, names))
    return "The data directory " + path + " holds none of the show's files (" + names.front() + " and the pictures).";
  return "";
}
