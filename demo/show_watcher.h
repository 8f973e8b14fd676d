// Notices when the files of a show's folder are saved: its script and every file it names. It
// only looks at each file's size and time of last change (nothing is read), often enough for a
// live editor to reload within a fraction of a second of a save.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "demo/show_folder.h"

class ShowWatcher {
 public:
  // How often the files are looked at: a save is seen within this time.
  static constexpr int64_t kLookEveryMs = 50;

  // Watches `names` (the script's file and the files it names) in `folder`: those watched
  // already as they were last seen (a save while the show loaded is still to be noticed), the
  // others as they are now.
  void Watch(const ShowFolder& folder, const std::vector<std::string>& names);
  // Watches one more file of the same folder, if it is not watched yet.
  void Add(const std::string& name);

  // Looks at the files when kLookEveryMs has passed since the last look (`nowMs`, a steady
  // clock): true when one of them was changed, created or removed since Watch or the last true.
  // The names of the files that changed are then in Changed().
  bool Look(int64_t nowMs);

  const std::vector<std::string>& Changed() const { return changed_; }

  // The files of `names` as they are now count as seen: the show wrote them itself (the sync
  // tracks an editor asked it to save) and has what they hold.
  void Accept(const std::vector<std::string>& names);

 private:
  struct Stamp {
    bool exists = false;
    uint64_t size = 0;
    int64_t changedNs = 0;
    bool operator==(const Stamp&) const = default;
  };
  struct Watched {
    std::string name;
    std::string path;
    Stamp stamp;
  };
  static Stamp StampOf(const std::string& path);

  ShowFolder folder_;
  std::vector<Watched> files_;
  std::vector<std::string> changed_;
  std::optional<int64_t> lastLookMs_;
};
