#include "demo/data_directory.h"

#include <cstdlib>
#include <filesystem>

#include "demo/demo_main.h"

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

}  // namespace

bool IsDirectory(const std::string& path) {
  std::error_code error;
  return fs::is_directory(path, error);
}

DataDirectoryPlaces DataDirectoryPlacesFor(const std::string& overridden, const std::string& executableDir,
                                           const std::string& installedFromExecutable) {
  DataDirectoryPlaces places;
  places.overridden = overridden;
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
  for (const std::string& place : places.places) {
    const std::string described = Described(place);
    // The same folder reached twice (the program started from its own folder) is named once.
    bool seen = false;
    for (const std::string& earlier : found.looked) seen = seen || earlier == described;
    if (!seen) found.looked.push_back(described);
    if (IsDirectory(place)) {
      found.directory = place;
      break;
    }
  }
  return found;
}

std::string NoDataDirectoryMessage(const FoundDataDirectory& found) {
  if (found.overridden && !found.looked.empty())
    return std::string(kDataDirectoryVariable) + " names " + found.looked.front() +
           ", which is not a directory: set it to the folder of the show's pictures and music, or unset it.";
  std::string message = "The show's data directory (pictures and music) was not found; looked in ";
  for (size_t i = 0; i < found.looked.size(); ++i) {
    if (i > 0) message += i + 1 == found.looked.size() ? " and " : ", ";
    message += found.looked[i];
  }
  message += ". Start the show from the folder that holds data/, or set ";
  message += kDataDirectoryVariable;
  message += " to the data directory.";
  return message;
}
