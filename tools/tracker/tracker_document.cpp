#include "tracker/tracker_document.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <map>
#include <utility>

namespace {

// The same key to the bit: typing 0 over -0 is a change.
bool Same(const std::optional<TrackKey>& a, const std::optional<TrackKey>& b) {
  if (a.has_value() != b.has_value()) return false;
  return !a || (a->row == b->row && a->interpolation == b->interpolation &&
                std::bit_cast<uint32_t>(a->value) == std::bit_cast<uint32_t>(b->value));
}

struct RowRange {
  int32_t first = 0;
  int32_t last = -1;  // below `first`: no rows
};

// The block's tracks that exist, and its rows from 0 on: false when there are none.
bool Clamped(const TrackBlock& block, size_t trackCount, size_t& firstTrack, size_t& lastTrack, RowRange& rows) {
  firstTrack = std::min(block.firstTrack, block.lastTrack);
  lastTrack = std::max(block.firstTrack, block.lastTrack);
  rows.first = std::max<int32_t>(std::min(block.firstRow, block.lastRow), 0);
  rows.last = std::max(block.firstRow, block.lastRow);
  if (firstTrack >= trackCount || rows.last < rows.first) return false;
  lastTrack = std::min(lastTrack, trackCount - 1);
  return true;
}

// The keys of `track` with rows in `rows`.
std::pair<std::vector<TrackKey>::const_iterator, std::vector<TrackKey>::const_iterator> KeysIn(const SyncTrack& track,
                                                                                                 RowRange rows) {
  const auto& keys = track.Keys();
  const auto byRow = [](const TrackKey& key, int32_t row) { return key.row < row; };
  const auto begin = std::lower_bound(keys.begin(), keys.end(), rows.first, byRow);
  auto end = begin;
  while (end != keys.end() && end->row <= rows.last) ++end;
  return {begin, end};
}

}  // namespace

TrackerDocument::TrackerDocument(SyncProject project) : project_(std::move(project)) {}

std::optional<size_t> TrackerDocument::FindTrack(const std::string& name) const {
  for (size_t i = 0; i < project_.tracks.size(); ++i)
    if (project_.tracks[i].Name() == name) return i;
  return std::nullopt;
}

size_t TrackerDocument::AddTrack(const std::string& name) {
  if (const std::optional<size_t> found = FindTrack(name)) return *found;
  project_.tracks.emplace_back(name);
  ++generation_;
  return project_.tracks.size() - 1;
}

TrackCell TrackerDocument::CellAt(size_t track, int32_t row) const {
  TrackCell cell;
  if (!ValidTrack(track)) return cell;
  const SyncTrack& shown = project_.tracks[track];
  const auto& keys = shown.Keys();
  const auto next = std::upper_bound(keys.begin(), keys.end(), row, [](int32_t r, const TrackKey& key) { return r < key.row; });
  if (next == keys.begin()) return cell;
  const TrackKey& before = *(next - 1);
  if (before.row == row) {
    cell.kind = TrackCell::Kind::kKey;
    cell.key = before;
    cell.value = before.value;
  } else if (next != keys.end()) {
    cell.kind = before.interpolation == TrackInterpolation::kStep ? TrackCell::Kind::kHeld : TrackCell::Kind::kBetween;
    cell.key = before;
    cell.value = shown.ValueAt(row);
  }
  return cell;
}

KeyChanges TrackerDocument::SetValue(size_t track, int32_t row, float value) {
  if (!ValidTrack(track) || row < 0 || !std::isfinite(value)) return {};
  const TrackKey* there = project_.tracks[track].KeyAt(row);
  TrackKey key{row, value, there ? there->interpolation : TrackInterpolation::kStep};
  Step step;
  step.keys.push_back({track, row, there ? std::optional<TrackKey>(*there) : std::nullopt, key});
  return Commit(std::move(step));
}

KeyChanges TrackerDocument::DeleteBlock(const TrackBlock& block) {
  size_t first = 0;
  size_t last = 0;
  RowRange rows;
  if (!Clamped(block, TrackCount(), first, last, rows)) return {};
  Step step;
  for (size_t t = first; t <= last; ++t) {
    const auto [begin, end] = KeysIn(project_.tracks[t], rows);
    for (auto key = begin; key != end; ++key) step.keys.push_back({t, key->row, *key, std::nullopt});
  }
  return Commit(std::move(step));
}

KeyChanges TrackerDocument::CycleInterpolation(size_t track, int32_t row) {
  if (!ValidTrack(track)) return {};
  const auto& keys = project_.tracks[track].Keys();
  const auto next = std::upper_bound(keys.begin(), keys.end(), row, [](int32_t r, const TrackKey& key) { return r < key.row; });
  if (next == keys.begin()) return {};
  const TrackKey before = *(next - 1);
  TrackKey after = before;
  after.interpolation =
      static_cast<TrackInterpolation>((static_cast<int>(before.interpolation) + 1) % kTrackInterpolationCount);
  Step step;
  step.keys.push_back({track, before.row, before, after});
  return Commit(std::move(step));
}

KeyChanges TrackerDocument::AddToValues(const TrackBlock& block, double delta) {
  size_t first = 0;
  size_t last = 0;
  RowRange rows;
  if (!Clamped(block, TrackCount(), first, last, rows) || !std::isfinite(delta)) return {};
  Step step;
  for (size_t t = first; t <= last; ++t) {
    const auto [begin, end] = KeysIn(project_.tracks[t], rows);
    for (auto key = begin; key != end; ++key) {
      // Judged before it is rounded: a double beyond the float's range has no float to become.
      const double sum = static_cast<double>(key->value) + delta;
      if (!(std::fabs(sum) <= std::numeric_limits<float>::max())) continue;
      TrackKey after = *key;
      after.value = static_cast<float>(sum);
      step.keys.push_back({t, key->row, *key, after});
    }
  }
  return Commit(std::move(step));
}

TrackClip TrackerDocument::Copy(const TrackBlock& block) const {
  TrackClip clip;
  size_t first = 0;
  size_t last = 0;
  RowRange rows;
  if (!Clamped(block, TrackCount(), first, last, rows)) return clip;
  clip.tracks = last - first + 1;
  clip.rows = static_cast<int32_t>(std::min<int64_t>(int64_t{rows.last} - rows.first + 1, INT32_MAX));
  clip.keys.resize(clip.tracks);
  for (size_t t = first; t <= last; ++t) {
    const auto [begin, end] = KeysIn(project_.tracks[t], rows);
    for (auto key = begin; key != end; ++key) {
      TrackKey copied = *key;
      copied.row -= rows.first;
      clip.keys[t - first].push_back(copied);
    }
  }
  return clip;
}

KeyChanges TrackerDocument::Cut(const TrackBlock& block, TrackClip& clip) {
  clip = Copy(block);
  return DeleteBlock(block);
}

KeyChanges TrackerDocument::Paste(size_t track, int32_t row, const TrackClip& clip) {
  if (row < 0 || clip.rows <= 0) return {};
  const RowRange rows{row, static_cast<int32_t>(std::min<int64_t>(int64_t{row} + clip.rows - 1, INT32_MAX))};
  Step step;
  for (size_t i = 0; i < clip.tracks && i < clip.keys.size(); ++i) {
    const size_t t = track + i;
    if (t < track || !ValidTrack(t)) break;
    // Row by row: what is there now, and what the clip puts there.
    std::map<int32_t, Step::Key> area;
    const auto [begin, end] = KeysIn(project_.tracks[t], rows);
    for (auto key = begin; key != end; ++key) area.emplace(key->row, Step::Key{t, key->row, *key, std::nullopt});
    for (const TrackKey& key : clip.keys[i]) {
      const int64_t at = int64_t{row} + key.row;
      if (key.row < 0 || key.row >= clip.rows || at > rows.last || !std::isfinite(key.value) ||
          static_cast<int>(key.interpolation) >= kTrackInterpolationCount) {
        continue;
      }
      TrackKey placed = key;
      placed.row = static_cast<int32_t>(at);
      auto [slot, isNew] = area.emplace(placed.row, Step::Key{t, placed.row, std::nullopt, placed});
      if (!isNew) slot->second.after = placed;
    }
    for (auto& [at, key] : area) step.keys.push_back(key);
  }
  return Commit(std::move(step));
}

bool TrackerDocument::IsBookmark(int32_t row) const {
  return std::binary_search(project_.bookmarks.begin(), project_.bookmarks.end(), row);
}

void TrackerDocument::ToggleBookmark(int32_t row) {
  if (row < 0) return;
  Step step;
  step.bookmark = row;
  Commit(std::move(step));
}

std::optional<int32_t> TrackerDocument::NextBookmark(int32_t row, bool forward) const {
  const auto& marks = project_.bookmarks;
  if (forward) {
    const auto after = std::upper_bound(marks.begin(), marks.end(), row);
    if (after != marks.end()) return *after;
  } else {
    const auto at = std::lower_bound(marks.begin(), marks.end(), row);
    if (at != marks.begin()) return *(at - 1);
  }
  return std::nullopt;
}

void TrackerDocument::Toggle(int32_t row) {
  auto& marks = project_.bookmarks;
  const auto at = std::lower_bound(marks.begin(), marks.end(), row);
  if (at != marks.end() && *at == row) {
    marks.erase(at);
  } else {
    marks.insert(at, row);
  }
}

KeyChanges TrackerDocument::Apply(const Step& step, bool forward) {
  KeyChanges changes;
  changes.reserve(step.keys.size());
  // The step's keys come sorted by track and row: each track's keys are rebuilt once, in one
  // pass over the old ones, so that a paste of thousands of keys does not move the others
  // thousands of times.
  for (size_t from = 0; from < step.keys.size();) {
    const size_t track = step.keys[from].track;
    size_t to = from;
    while (to < step.keys.size() && step.keys[to].track == track) ++to;
    const std::vector<TrackKey>& old = project_.tracks[track].Keys();
    std::vector<TrackKey> rebuilt;
    rebuilt.reserve(old.size() + (to - from));
    auto kept = old.begin();
    for (size_t i = from; i < to; ++i) {
      const Step::Key& change = step.keys[i];
      while (kept != old.end() && kept->row < change.row) rebuilt.push_back(*kept++);
      if (kept != old.end() && kept->row == change.row) ++kept;
      const std::optional<TrackKey>& now = forward ? change.after : change.before;
      if (now) rebuilt.push_back(*now);
      changes.push_back({track, change.row, now});
    }
    rebuilt.insert(rebuilt.end(), kept, old.end());
    project_.tracks[track].SetKeys(std::move(rebuilt));
    from = to;
  }
  if (step.bookmark) Toggle(*step.bookmark);
  ++generation_;
  return changes;
}

KeyChanges TrackerDocument::Commit(Step step) {
  std::erase_if(step.keys, [](const Step::Key& key) { return Same(key.before, key.after); });
  if (step.keys.empty() && !step.bookmark) return {};
  std::sort(step.keys.begin(), step.keys.end(),
            [](const Step::Key& a, const Step::Key& b) { return a.track != b.track ? a.track < b.track : a.row < b.row; });
  KeyChanges changes = Apply(step, true);
  undo_.push_back(std::move(step));
  if (undo_.size() > kMostUndoSteps) undo_.pop_front();
  redo_.clear();
  return changes;
}

// Takes the last step of `from`, applies it back or forth, and keeps it on `to`.
KeyChanges TrackerDocument::Move(std::deque<Step>& from, std::deque<Step>& to, bool forward) {
  if (from.empty()) return {};
  Step step = std::move(from.back());
  from.pop_back();
  KeyChanges changes = Apply(step, forward);
  to.push_back(std::move(step));
  return changes;
}

KeyChanges TrackerDocument::Undo() { return Move(undo_, redo_, false); }
KeyChanges TrackerDocument::Redo() { return Move(redo_, undo_, true); }
