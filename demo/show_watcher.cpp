#include "demo/show_watcher.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <system_error>

void ShowWatcher::Watch(const ShowFolder& folder, const std::vector<std::string>& names) {
  std::vector<Watched> before = std::move(files_);
  files_.clear();
  folder_ = folder;
  for (const std::string& name : names) {
    const auto known = std::find_if(before.begin(), before.end(), [&](const Watched& w) { return w.name == name; });
    if (known != before.end()) {
      files_.push_back(*known);
    } else {
      Add(name);
    }
  }
}

void ShowWatcher::Add(const std::string& name) {
  if (std::any_of(files_.begin(), files_.end(), [&](const Watched& w) { return w.name == name; })) return;
  std::string ignored;
  const std::string path = folder_.PathOf(name, ignored);
  if (path.empty()) return;  // a name no show may use is refused when the show loads
  files_.push_back({name, path, StampOf(path)});
}

bool ShowWatcher::Look(int64_t nowMs) {
  if (lastLookMs_ && nowMs - *lastLookMs_ < kLookEveryMs) return false;
  lastLookMs_ = nowMs;
  changed_.clear();
  for (Watched& file : files_) {
    const Stamp now = StampOf(file.path);
    if (now == file.stamp) continue;
    file.stamp = now;
    changed_.push_back(file.name);
  }
  return !changed_.empty();
}

void ShowWatcher::Accept(const std::vector<std::string>& names) {
  for (Watched& file : files_)
    if (std::find(names.begin(), names.end(), file.name) != names.end()) file.stamp = StampOf(file.path);
}

ShowWatcher::Stamp ShowWatcher::StampOf(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path file = fs::u8path(path);
  Stamp stamp;
  const fs::file_status status = fs::status(file, error);
  if (error || !fs::is_regular_file(status)) return stamp;
  stamp.exists = true;
  stamp.size = fs::file_size(file, error);
  const fs::file_time_type changed = fs::last_write_time(file, error);
  if (!error) stamp.changedNs = std::chrono::duration_cast<std::chrono::nanoseconds>(changed.time_since_epoch()).count();
  return stamp;
}
