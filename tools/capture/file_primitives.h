// The few file operations whose calls differ between the platforms, for the output files
// (output_file.cpp, portable) to build on. One file of them per platform, chosen by CMake:
// file_primitives_posix.cpp and file_primitives_windows.cpp. Descriptors are the C runtime's.
#pragma once

#include <cstddef>
#include <string>

// Whether `path` names something written in place rather than replaced: a pipe, a terminal,
// a device (/dev/null; NUL and CON on Windows) or a directory.
bool IsWrittenInPlace(const std::string& path);

// Opens the pipe, terminal or device `path` for writing; -1, with `error` set, on failure.
int OpenInPlace(const std::string& path, std::string* error);

// A copy of the process's descriptor `fd` for writing, sharing its position and its append
// mode; -1, with `error` set, when the process has no such descriptor.
int DuplicateDescriptor(int fd, std::string* error);

// The name a child program (ffmpeg) writes to `fd` by, once the descriptor is passed on to
// it ("pipe:N"); empty where descriptors are not inherited by number.
std::string NameForChild(int fd);

// Creates the file `path`, which must not exist yet, for writing. It gets the permissions of
// the file `replaced` when there is one, otherwise those of a new file. -1 on failure, with
// `taken` set when the name already exists and `error` otherwise.
int CreateNewFile(const std::string& path, const std::string& replaced, bool* taken, std::string* error);

// Writes all of `bytes`; false, with the system's reason in `error`, on failure.
bool WriteAll(int fd, const void* bytes, size_t size, std::string* error);

// Closes `fd`; false, with the reason, if the system reports that the writes did not land.
bool CloseFile(int fd, std::string* error);

// Puts the file `from` in place of `to` in one step; false, with the reason, on failure.
bool MoveIntoPlace(const std::string& from, const std::string& to, std::string* error);

void RemoveFile(const std::string& path);

// This process's number, to make temporary names that other captures do not pick.
unsigned ProcessNumber();

// The temporary file an interrupt (Ctrl+C, SIGTERM) removes; empty for none.
void SetInterruptTemp(const std::string& path);

// Whether standard error is a terminal (that can show a progress bar).
bool StandardErrorIsTerminal();
