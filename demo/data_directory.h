// Where the show's pictures and music are found. In this order, the first that is a directory:
//   1. data/ under the working directory (a checkout: the paths stay "data//FILE" as always)
//   2. data/ beside the executable (the Windows zip, an unpacked release)
//   3. the installed share directory (share/quorvel4-demo/data, found from the executable's
//      own place, so an installation under any prefix finds its data)
// QVL_DATA_DIR, when set and not empty, replaces all three.
#pragma once

#include <string>
#include <vector>

// The folder under the working directory (and beside the program) that holds the data.
inline constexpr const char* kDataDirectory = "data";
inline constexpr const char* kDataDirectoryVariable = "QVL_DATA_DIR";

struct DataDirectoryPlaces {
  std::string overridden;           // the value of QVL_DATA_DIR; empty when unset
  std::vector<std::string> places;  // the places to try, in order
};

struct FoundDataDirectory {
  std::string directory;            // empty when none of the places is a directory
  std::vector<std::string> looked;  // every place looked at, as a reader should see it
  bool overridden = false;          // QVL_DATA_DIR chose the one place
};

// Whether `path` names a directory, following symbolic links. Anything that stops the question
// being answered (no such path, no permission, an empty path) answers false, never throws.
bool IsDirectory(const std::string& path);

// The places for this process: its environment, its working directory and its executable.
DataDirectoryPlaces DataDirectoryPlacesHere();

// The places for an executable in `executableDir` (empty when unknown) and a share directory
// reached from there by `installedFromExecutable`.
DataDirectoryPlaces DataDirectoryPlacesFor(const std::string& overridden, const std::string& executableDir,
                                           const std::string& installedFromExecutable);

// The first of the places that is a directory.
FoundDataDirectory FindDataDirectory(const DataDirectoryPlaces& places);

// One line that says where the data was looked for and how to point at it.
std::string NoDataDirectoryMessage(const FoundDataDirectory& found);

// The directory of the running executable; empty when the platform cannot tell. One file of
// primitives per system (data_directory_posix.cpp, data_directory_windows.cpp).
std::string ExecutableDirectory();
