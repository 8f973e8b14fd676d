// Where the show's pictures and music are found. In this order, the first folder that holds the
// show's data (its music file or one of its pictures, by name):
//   1. data/ under the working directory (a checkout: the paths stay "data//FILE" as always)
//   2. data/ beside the executable (the Windows zip, an unpacked release)
//   3. the installed share directory (share/quorvel4-demo/data, found from the executable's
//      own place, so an installation under any prefix finds its data)
// A data/ of the user's own (a common folder name) holds none of those files and is passed
// over. QVL_DATA_DIR, when set and not empty, replaces all three, and must hold the data.
#pragma once

#include <string>
#include <vector>

// The folder under the working directory (and beside the program) that holds the data.
inline constexpr const char* kDataDirectory = "data";
inline constexpr const char* kDataDirectoryVariable = "QVL_DATA_DIR";

struct DataDirectoryPlaces {
  std::string overridden;           // the value of QVL_DATA_DIR; empty when unset
  std::vector<std::string> places;  // the places to try, in order
  // File names of the show's data: a place counts when it holds any one of them (the first is
  // the one the messages name).
  std::vector<std::string> marks;
};

struct FoundDataDirectory {
  std::string directory;            // empty when none of the places holds the data
  std::vector<std::string> looked;  // every place looked at, as a reader should see it
  std::vector<std::string> unrelated;  // of those, the folders that exist but hold no data
  std::string mark;                 // the file named in the message (the music file)
  bool overridden = false;          // QVL_DATA_DIR chose the one place
};

// Whether `path` names a directory, following symbolic links. Anything that stops the question
// being answered (no such path, no permission, an empty path) answers false, never throws.
bool IsDirectory(const std::string& path);

// Whether the folder `path` holds an entry named by any of `marks` (of any kind: a music file
// that is a directory is still the show's, and fails later with its own message).
bool HoldsAnyOf(const std::string& path, const std::vector<std::string>& marks);

// The show's own files: the music file first, then the pictures.
std::vector<std::string> ShowDataFileNames();

// The places for this process: its environment, its working directory and its executable.
DataDirectoryPlaces DataDirectoryPlacesHere();

// The places for an executable in `executableDir` (empty when unknown) and a share directory
// reached from there by `installedFromExecutable`; a place counts when it holds one of `marks`.
DataDirectoryPlaces DataDirectoryPlacesFor(const std::string& overridden, const std::string& executableDir,
                                           const std::string& installedFromExecutable,
                                           std::vector<std::string> marks = ShowDataFileNames());

// The first of the places that holds the data.
FoundDataDirectory FindDataDirectory(const DataDirectoryPlaces& places);

// One line that says where the data was looked for, why a folder there did not count, and how
// to point at the data.
std::string NoDataDirectoryMessage(const FoundDataDirectory& found);

// For a folder the user named (an option): empty when it holds the data, else why not.
std::string ChosenDataDirectoryProblem(const std::string& path);

// The directory of the running executable; empty when the platform cannot tell. One file of
// primitives per system (data_directory_posix.cpp, data_directory_windows.cpp).
std::string ExecutableDirectory();
