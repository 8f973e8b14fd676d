// The files of a show's folder, as its script may reach them: only files inside the folder,
// named relative to it (no "..", no absolute paths, no link that leads out of it), and only
// regular files (never a device or a FIFO, which could stall the start-up or read a machine's
// secrets). Every refusal names the file and the place looked at.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct DataFile;

class ShowFolder {
 public:
  // `root` empty: a show with no folder (the built-in one before its data is found) reads nothing.
  // `separator` joins the folder and a name (JoinPath) in the paths that messages show (the
  // built-in show's is kDataPathSeparator).
  explicit ShowFolder(std::string root = "", std::string separator = "/")
      : root_(std::move(root)), separator_(std::move(separator)) {}

  const std::string& Root() const { return root_; }

  // The path a script's file name stands for, or empty with `error` when the name is not one a
  // show may use (checked without touching the disk).
  std::string PathOf(const std::string& name, std::string& error) const;

  // The real path of the file `name` once every check has passed (inside the folder, a regular
  // file of at most `maxBytes` bytes), or empty with `error`.
  std::string CheckedPath(const std::string& name, uint64_t maxBytes, std::string& error) const;

  // Reads the whole file `name` of at most `maxBytes` bytes; false with `error`, naming the
  // file and where it was looked for.
  bool Read(const std::string& name, uint64_t maxBytes, std::vector<uint8_t>& bytes, std::string& error) const;

  // True when `name` is a file of the folder (for the web page, which fetches what is missing).
  bool Has(const std::string& name) const;

  // Writes `bytes` as the file `name`, making the folders its name holds: whole under a
  // temporary name beside it first, then put in place of the old one, so that a reader sees the
  // old file or the new, never half of one. Refused (false with `error`) for a name a show may
  // not use and where a folder on the way is a link that leads out of the show's folder.
  bool Write(const std::string& name, const std::string& bytes, std::string& error) const;

 private:
  // Every check, then the file opened: its real path, or empty with `error`.
  std::string Open(const std::string& name, uint64_t maxBytes, DataFile& file, std::string& error) const;

  std::string root_;
  std::string separator_;
};

// What the built-in show has always put between its data folder and a file name: "data//NAME",
// in its messages too.
inline constexpr const char* kDataPathSeparator = "//";

// `folder` and `name` joined by `separator`, the separators `folder` ends with dropped first, so
// that "DIR" and "DIR/" name the same files. The root stays itself: "/" and "NAME" make "/NAME".
// Every path of a show's file or the data's is made here.
std::string JoinPath(const std::string& folder, const std::string& name, const std::string& separator = "/");

// Writes `bytes` as the file `path`, whole as PATH.saving first, then renamed in place of the
// old one (the name itself replaced, never what a link of that name leads to); false with
// `error`, the old file as it was and no PATH.saving left.
bool WriteFileWhole(const std::string& path, const std::string& bytes, std::string& error);

// A show folder's script.
inline constexpr const char* kShowScriptFile = "show.js";
inline constexpr uint64_t kMaxShowScriptBytes = uint64_t{4} << 20;

// Why `name` is not a name a show's script may give, as the message to show (quoting the name),
// or empty when it is one: a relative name of parts that are neither empty, "." nor "..",
// without a drive or a backslash, and a name that means the same file on every system (none that
// Windows takes for a device, such as NUL or COM1.txt, or for another name: no part that ends
// in a dot or a space, none of the characters Windows refuses).
std::string ShowFileNameProblem(const std::string& name);
inline bool IsShowFileName(const std::string& name) { return ShowFileNameProblem(name).empty(); }
