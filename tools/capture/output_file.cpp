#include "output_file.h"

#include <chrono>
#include <filesystem>

#include "file_primitives.h"

namespace {

// The longest file name the usual file systems take (ext4, NTFS), in bytes.
constexpr size_t kMaxNameLength = 255;
constexpr int kNameAttempts = 100;

// Six letters and digits from `value`.
std::string Tag(uint64_t value) {
  constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  std::string tag;
  for (int i = 0; i < 6; ++i, value /= 36) tag += kDigits[value % 36];
  return tag;
}

// The file a link names, however many links lead there; the link itself stays.
std::string LinkTarget(const std::string& path) {
  std::error_code code;
  std::filesystem::path named(path);
  for (int hops = 0; hops < 40 && std::filesystem::is_symlink(std::filesystem::symlink_status(named, code)); ++hops) {
    const std::filesystem::path target = std::filesystem::read_symlink(named, code);
    named = target.is_absolute() ? target : named.parent_path() / target;
  }
  return named.lexically_normal().string();
}

// The process's own descriptor that `path` names (/dev/stdout, /dev/stderr, /dev/fd/N,
// /proc/self/fd/N), or -1. Such a path is an open descriptor, not a file to replace: it is
// written where it stands, appended to when it was opened for appending (`>> file`).
int OwnDescriptor(const std::string& path) {
  if (path == "/dev/stdin") return 0;
  if (path == "/dev/stdout") return 1;
  if (path == "/dev/stderr") return 2;
  for (const std::string& folder :
       {std::string("/dev/fd/"), std::string("/proc/self/fd/"), "/proc/" + std::to_string(ProcessNumber()) + "/fd/"}) {
    if (path.rfind(folder, 0) != 0) continue;
    const std::string number = path.substr(folder.size());
    if (number.empty() || number.size() > 9 || number.find_first_not_of("0123456789") != std::string::npos) return -1;
    return std::stoi(number);
  }
  return -1;
}

}  // namespace

std::string TemporaryName(const std::string& finalPath, const std::string& tag) {
  const std::filesystem::path target(finalPath);
  std::string name = target.filename().string();
  const size_t room = kMaxNameLength - 2 - tag.size();  // the leading dot, the dot before the tag
  if (name.size() > room) {
    name.resize(room);
    // Not in the middle of a UTF-8 sequence: drop its continuation bytes and its lead byte.
    while (!name.empty() && (static_cast<unsigned char>(name.back()) & 0xC0) == 0x80) name.pop_back();
    if (!name.empty() && static_cast<unsigned char>(name.back()) >= 0xC0) name.pop_back();
  }
  std::string hidden = ".";  // (appending, not "." + name: GCC 12 warns wrongly on that)
  hidden += name;
  hidden += '.';
  hidden += tag;
  return ((target.has_parent_path() ? target.parent_path() : ".") / hidden).string();
}

OutputFile::OutputFile(std::string finalPath) : finalPath_(std::move(finalPath)) {
  if (const int own = OwnDescriptor(finalPath_); own >= 0) {
    fd_ = DuplicateDescriptor(own, &error);
    if (fd_ < 0) error = CannotWrite(error);
    tempPath_ = finalPath_;
    inPlace_ = true;
    return;
  }
  if (IsWrittenInPlace(finalPath_)) {
    // A pipe, a terminal or a device (/dev/stdout, NUL): written in place, never replaced.
    fd_ = OpenInPlace(finalPath_, &error);
    if (fd_ < 0) error = CannotWrite(error);
    tempPath_ = finalPath_;
    inPlace_ = true;
    return;
  }
  finalPath_ = LinkTarget(finalPath_);
  uint64_t seed = ProcessNumber() * 1000003ull +
                  static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  bool taken = true;
  for (int attempt = 0; attempt < kNameAttempts && taken; ++attempt) {
    tempPath_ = TemporaryName(finalPath_, Tag(seed));
    seed = seed * 6364136223846793005ull + 1442695040888963407ull;
    taken = false;
    fd_ = CreateNewFile(tempPath_, finalPath_, &taken, &error);
  }
  if (fd_ < 0) {
    error = CannotWrite(taken ? "no free temporary name beside it" : error);
    tempPath_.clear();
    return;
  }
  SetInterruptTemp(tempPath_);
}

OutputFile::~OutputFile() {
  if (!committed_) Discard();
}

bool OutputFile::Write(const void* bytes, size_t size) {
  std::string why;
  if (size == 0 || WriteAll(fd_, bytes, size, &why)) return true;
  error = CannotWrite(why);
  return false;
}

std::string OutputFile::NameForChild() const { return inPlace_ && fd_ >= 0 ? ::NameForChild(fd_) : std::string(); }

void OutputFile::Release() {
  std::string ignored;
  if (fd_ >= 0) CloseFile(fd_, &ignored);
  fd_ = -1;
}

bool OutputFile::Commit() {
  std::string why;
  const bool closed = fd_ < 0 || CloseFile(fd_, &why);
  fd_ = -1;
  if (!closed) {
    error = CannotWrite(why);
    Discard();
    return false;
  }
  committed_ = true;
  if (inPlace_) return true;
  if (!MoveIntoPlace(tempPath_, finalPath_, &why)) {
    error = "cannot rename " + tempPath_ + " to " + finalPath_ + ": " + why;
    committed_ = false;
    Discard();
    return false;
  }
  SetInterruptTemp({});
  return true;
}

void OutputFile::Discard() {
  Release();
  if (inPlace_) return;
  if (!tempPath_.empty()) RemoveFile(tempPath_);
  SetInterruptTemp({});
}
