// The sync-tracker's document: the project being edited (its tracks, rows, rows per beat and
// bookmarks), every edit of the editor's keys as one step of an undo history, and the files the
// tracker reads and writes. No user interface and no sockets here: an edit says which keys it
// changed (KeyChange), and the caller passes them on to the show (TrackerServer::SendChanges).
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "quorvel4/sync_tracks.h"

// One key that an edit, an undo or a redo changed: the key of `row` in the document's track
// `track` is `after` now, or there is none any more (the show is sent SET_KEY for an `after`,
// DELETE_KEY for none). Only keys that really changed are listed.
struct KeyChange {
  size_t track = 0;
  int32_t row = 0;
  std::optional<TrackKey> after;
  bool operator==(const KeyChange&) const = default;
};
using KeyChanges = std::vector<KeyChange>;

// A rectangle of the grid, both ends included; the ends may be given in any order.
struct TrackBlock {
  size_t firstTrack = 0;
  size_t lastTrack = 0;
  int32_t firstRow = 0;
  int32_t lastRow = 0;
};

// Keys copied from a block: `keys[i]` are those of the block's i-th track, their rows counted
// from the block's first row.
struct TrackClip {
  size_t tracks = 0;
  int32_t rows = 0;
  std::vector<std::vector<TrackKey>> keys;
};

// What a cell of the grid shows.
struct TrackCell {
  enum class Kind {
    kEmpty,    // before the first key, after the last one, or a track without keys
    kKey,      // a key on this row: `key`, and `value` its value
    kBetween,  // strictly between a key that is not step and the next one: `value` interpolated
    kHeld,     // strictly between a step key and the next one: `value` the key's, held
  };
  Kind kind = Kind::kEmpty;
  TrackKey key;
  double value = 0;
};

class TrackerDocument {
 public:
  // The rows of a project that does not say how many it has.
  static constexpr int32_t kDefaultRows = 10000;
  // The undo steps kept; the oldest go once there are more.
  static constexpr size_t kMostUndoSteps = 10000;

  TrackerDocument() = default;
  // A document of `project` (its keys not checked again: ReadSyncProject's are sound), with no
  // history, not dirty.
  explicit TrackerDocument(SyncProject project);

  const SyncProject& Project() const { return project_; }
  size_t TrackCount() const { return project_.tracks.size(); }
  const SyncTrack& Track(size_t index) const { return project_.tracks[index]; }
  // The index of the track named `name`, or none.
  std::optional<size_t> FindTrack(const std::string& name) const;
  // The track named `name`, added at the end when there is none: its index. Adding is not an
  // undo step (the show asked for the track; undo must not take it from under the show), but it
  // is a change: the document is dirty and Generation() moves.
  size_t AddTrack(const std::string& name);

  // The project's rows, or kDefaultRows when it gives none.
  int32_t Rows() const { return project_.rows > 0 ? project_.rows : kDefaultRows; }
  // The project's rows per beat (0: not given).
  int32_t RowsPerBeat() const { return project_.rowsPerBeat; }

  TrackCell CellAt(size_t track, int32_t row) const;

  // The edits. Each one that changes something is one undo step; one that changes nothing (a
  // track index beyond the last, a negative row, a value that is not finite, a block without
  // keys) is none, and returns no changes.

  // A number typed on a cell: a new key is step, a key that is there keeps its interpolation.
  KeyChanges SetValue(size_t track, int32_t row, float value);
  // Removes every key of the block.
  KeyChanges DeleteBlock(const TrackBlock& block);
  // The key at `row`, or else the last one before it: its interpolation goes on to the next,
  // step, linear, smooth, ramp, step again. Nothing when the track has no key at or before `row`.
  KeyChanges CycleInterpolation(size_t track, int32_t row);
  // Adds `delta` to the value of every key of the block (the sum rounded to a float; a sum that
  // is not finite leaves that key as it was).
  KeyChanges AddToValues(const TrackBlock& block, double delta);
  // The keys of the block, the document unchanged.
  TrackClip Copy(const TrackBlock& block) const;
  // Copy, then DeleteBlock, as one undo step.
  KeyChanges Cut(const TrackBlock& block, TrackClip& clip);
  // The clip with its first track at `track` and its first row at `row`: every key of the area
  // it covers (clip.tracks tracks from `track`, clip.rows rows from `row`) is replaced by the
  // clip's. Tracks beyond the last one, and rows beyond 2147483647, are dropped.
  KeyChanges Paste(size_t track, int32_t row, const TrackClip& clip);

  // Bookmarks: rows, increasing. A toggle is an undo step of its own (with no key changes).
  const std::vector<int32_t>& Bookmarks() const { return project_.bookmarks; }
  bool IsBookmark(int32_t row) const;
  void ToggleBookmark(int32_t row);
  // The nearest bookmark after (or, `forward` false, before) `row`, or none.
  std::optional<int32_t> NextBookmark(int32_t row, bool forward) const;

  // Undo goes back one step, redo forward again; the keys they changed (none when there is
  // no step to go to, or the step was a bookmark's).
  bool CanUndo() const { return !undo_.empty(); }
  bool CanRedo() const { return !redo_.empty(); }
  KeyChanges Undo();
  KeyChanges Redo();

  // Counts every change (an edit, an undo, a redo, an added track): the recovery file is due
  // when it is not the one last written.
  uint64_t Generation() const { return generation_; }
  // Changed since the document was made, loaded or last marked saved (an undo back to the
  // saved state is still dirty: the history does not say so for certain).
  bool Dirty() const { return generation_ != savedGeneration_; }
  void MarkSaved() { savedGeneration_ = generation_; }

 private:
  struct Step {
    struct Key {
      size_t track;
      int32_t row;
      std::optional<TrackKey> before;
      std::optional<TrackKey> after;
    };
    std::vector<Key> keys;
    std::optional<int32_t> bookmark;  // a toggled row
  };
  // Makes the step's keys `after` (forward) or `before`, and its bookmark toggled.
  KeyChanges Apply(const Step& step, bool forward);
  KeyChanges Commit(Step step);
  KeyChanges Move(std::deque<Step>& from, std::deque<Step>& to, bool forward);
  void Toggle(int32_t row);
  bool ValidTrack(size_t track) const { return track < project_.tracks.size(); }

  SyncProject project_;
  std::deque<Step> undo_;
  std::deque<Step> redo_;
  uint64_t generation_ = 0;
  uint64_t savedGeneration_ = 0;
};

// The project file at `path` into `document`: false with `error` naming the path and the line
// and column (or why it cannot be read), `document` left as it was: the editor starts empty
// rather than half-loaded. A file that is not there is a new project: an empty document, true.
bool LoadTrackerProject(const std::string& path, TrackerDocument& document, std::string& error);
// The project as XML, written whole as PATH.saving and then put in place of PATH; false with
// `error` (PATH left as it was). Marking the document saved is the caller's.
bool SaveTrackerProject(const TrackerDocument& document, const std::string& path, std::string& error);

// Where the tracker keeps the project while it is not saved: PATH.recovery.
std::string RecoveryPath(const std::string& path);
// A recovery file is there and written later than the project (or there is no project).
bool RecoveryIsNewer(const std::string& path);

// Every track as its track file BASE_NAME.track in `dir` (TrackFileName), each written whole
// and put in place, the folders a name with '/' needs made; a name that would lead out of `dir`
// is refused. False with `error` (the first problem, and how many files were not written) when
// any file was not written; `written` counts those that were.
bool ExportTrackFiles(const TrackerDocument& document, const std::string& dir, const std::string& base,
                      std::string& error, size_t* written = nullptr);
