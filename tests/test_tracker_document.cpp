// The tracker's document: each edit as the editor's keys make it, its undo and redo, what the
// grid shows between keys, and the files it reads and writes.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>

#include "tracker/tracker_document.h"

namespace {

namespace fs = std::filesystem;
using I = TrackInterpolation;

// Two tracks: "a" with keys at 0, 4 and 8, "b" with one at 2.
TrackerDocument TwoTracks() {
  SyncProject project;
  SyncTrack a("a");
  a.SetKeys({{0, 1.0f, I::kLinear}, {4, 5.0f, I::kStep}, {8, 2.0f, I::kSmooth}});
  SyncTrack b("b");
  b.SetKeys({{2, -1.0f, I::kRamp}});
  project.tracks = {a, b};
  return TrackerDocument(project);
}

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

struct TempDir {
  fs::path path;
  TempDir() {
    path = fs::temp_directory_path() / ("qvl_tracker_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                                        "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(path);
    fs::create_directories(path);
  }
  ~TempDir() { fs::remove_all(path); }
};

}  // namespace

TEST(TrackerDocument, TypedValuesMakeStepKeysAndKeepAnExistingKeysInterpolation) {
  TrackerDocument doc = TwoTracks();
  EXPECT_EQ(doc.SetValue(1, 5, 3.5f), (KeyChanges{{1, 5, TrackKey{5, 3.5f, I::kStep}}}));
  EXPECT_EQ(doc.SetValue(0, 8, 7.0f), (KeyChanges{{0, 8, TrackKey{8, 7.0f, I::kSmooth}}}));
  // Nothing changes, so no step: a bad track, a negative row, a value that is not finite, the same value.
  EXPECT_TRUE(doc.SetValue(2, 0, 1.0f).empty());
  EXPECT_TRUE(doc.SetValue(0, -1, 1.0f).empty());
  EXPECT_TRUE(doc.SetValue(0, 1, std::numeric_limits<float>::infinity()).empty());
  EXPECT_TRUE(doc.SetValue(0, 8, 7.0f).empty());
  EXPECT_TRUE(doc.Dirty());

  EXPECT_EQ(doc.Undo(), (KeyChanges{{0, 8, TrackKey{8, 2.0f, I::kSmooth}}}));
  EXPECT_EQ(doc.Undo(), (KeyChanges{{1, 5, std::nullopt}}));
  EXPECT_FALSE(doc.CanUndo());
  EXPECT_EQ(doc.Project(), TwoTracks().Project());
  EXPECT_EQ(doc.Redo(), (KeyChanges{{1, 5, TrackKey{5, 3.5f, I::kStep}}}));
  // A new edit ends what could be redone.
  doc.SetValue(0, 1, 0.0f);
  EXPECT_FALSE(doc.CanRedo());
  EXPECT_TRUE(doc.Redo().empty());
}

TEST(TrackerDocument, DeletingABlockAndAddingToItsValuesUndoExactly) {
  TrackerDocument doc = TwoTracks();
  const SyncProject before = doc.Project();
  // The ends in any order; rows and tracks past the end are no trouble.
  const KeyChanges deleted = doc.DeleteBlock({1, 0, 9, 2});
  EXPECT_EQ(deleted, (KeyChanges{{0, 4, std::nullopt}, {0, 8, std::nullopt}, {1, 2, std::nullopt}}));
  EXPECT_EQ(doc.Track(0).Keys(), (std::vector<TrackKey>{{0, 1.0f, I::kLinear}}));
  EXPECT_TRUE(doc.DeleteBlock({0, 1, 5, 7}).empty());
  doc.Undo();
  EXPECT_EQ(doc.Project(), before);

  const KeyChanges added = doc.AddToValues({0, 5, 0, 4}, 0.1);
  ASSERT_EQ(added.size(), 3u);
  EXPECT_EQ(added[0].after->value, 1.1f);
  EXPECT_EQ(added[2].after->value, -0.9f);
  EXPECT_EQ(added[1].after->interpolation, I::kStep);
  // A sum beyond the float's range leaves the key as it was.
  doc.SetValue(0, 4, 3.4e38f);
  EXPECT_EQ(doc.AddToValues({0, 0, 4, 4}, 1e38).size(), 0u);
  doc.Undo();
  doc.Undo();
  EXPECT_EQ(doc.Project(), before);
}

TEST(TrackerDocument, InterpolationCyclesOnTheKeyAtOrBeforeTheCursor) {
  TrackerDocument doc = TwoTracks();
  // Row 6 is after the step key of row 4.
  const I order[] = {I::kLinear, I::kSmooth, I::kRamp, I::kStep};
  for (const I next : order) {
    const KeyChanges changes = doc.CycleInterpolation(0, 6);
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].row, 4);
    EXPECT_EQ(changes[0].after->interpolation, next);
    EXPECT_EQ(changes[0].after->value, 5.0f);
  }
  EXPECT_TRUE(doc.CycleInterpolation(1, 1).empty());  // no key at or before
  doc.Undo();
  EXPECT_EQ(doc.Track(0).KeyAt(4)->interpolation, I::kRamp);
}

TEST(TrackerDocument, PasteReplacesTheCoveredAreaAndUndoRestoresItExactly) {
  TrackerDocument doc = TwoTracks();
  doc.AddTrack("c");
  const SyncProject before = doc.Project();
  // Rows 0-4 of both tracks: a's keys at 0 and 4, b's at 2.
  const TrackClip clip = doc.Copy({0, 1, 0, 4});
  EXPECT_EQ(clip.tracks, 2u);
  EXPECT_EQ(clip.rows, 5);
  EXPECT_EQ(clip.keys[1], (std::vector<TrackKey>{{2, -1.0f, I::kRamp}}));

  // Onto track b at row 6: b gets a's keys at 6 and 10; c gets b's key at 8. Then onto the
  // last track: the clip's second track is dropped.
  const KeyChanges pasted = doc.Paste(1, 6, clip);
  EXPECT_EQ(pasted, (KeyChanges{{1, 6, TrackKey{6, 1.0f, I::kLinear}}, {1, 10, TrackKey{10, 5.0f, I::kStep}},
                                {2, 8, TrackKey{8, -1.0f, I::kRamp}}}));
  // Over a's keys: the area rows 3-7 hold a's keys at 4 (replaced by the clip's row 1, empty:
  // deleted) and at 7 (the clip's 4); a's 8 is outside the area.
  doc.SetValue(0, 7, 9.0f);
  const SyncProject beforeOver = doc.Project();
  const KeyChanges over = doc.Paste(0, 3, clip);
  EXPECT_EQ(over, (KeyChanges{{0, 3, TrackKey{3, 1.0f, I::kLinear}},
                              {0, 4, std::nullopt},
                              {0, 7, TrackKey{7, 5.0f, I::kStep}},
                              {1, 5, TrackKey{5, -1.0f, I::kRamp}},
                              {1, 6, std::nullopt}}));
  EXPECT_EQ(doc.Track(0).KeyAt(8)->value, 2.0f);
  EXPECT_EQ(doc.Undo(), (KeyChanges{{0, 3, std::nullopt},
                                    {0, 4, TrackKey{4, 5.0f, I::kStep}},
                                    {0, 7, TrackKey{7, 9.0f, I::kStep}},
                                    {1, 5, std::nullopt},
                                    {1, 6, TrackKey{6, 1.0f, I::kLinear}}}));
  EXPECT_EQ(doc.Project(), beforeOver);
  EXPECT_EQ(doc.Paste(2, 0, clip).size(), 2u);  // c: 0 and 4 set, 8 stays (outside), b's dropped
  doc.Undo();
  doc.Undo();
  doc.Undo();
  EXPECT_EQ(doc.Project(), before);

  // Cut is one step; a paste near the last row drops what would fall past it.
  TrackClip cut;
  EXPECT_EQ(doc.Cut({0, 0, 0, 8}, cut).size(), 3u);
  EXPECT_EQ(cut.keys[0].size(), 3u);
  EXPECT_EQ(doc.Paste(0, INT32_MAX - 4, cut), (KeyChanges{{0, INT32_MAX - 4, TrackKey{INT32_MAX - 4, 1.0f, I::kLinear}},
                                                          {0, INT32_MAX, TrackKey{INT32_MAX, 5.0f, I::kStep}}}));
  doc.Undo();
  doc.Undo();
  EXPECT_EQ(doc.Project(), before);
}

TEST(TrackerDocument, BookmarksToggleAsUndoSteps) {
  TrackerDocument doc;
  doc.ToggleBookmark(16);
  doc.ToggleBookmark(4);
  doc.ToggleBookmark(-1);
  EXPECT_EQ(doc.Bookmarks(), (std::vector<int32_t>{4, 16}));
  EXPECT_EQ(doc.NextBookmark(4, true), 16);
  EXPECT_EQ(doc.NextBookmark(4, false), std::nullopt);
  EXPECT_EQ(doc.NextBookmark(20, false), 16);
  doc.ToggleBookmark(16);
  EXPECT_FALSE(doc.IsBookmark(16));
  EXPECT_TRUE(doc.Undo().empty());
  EXPECT_TRUE(doc.IsBookmark(16));
  doc.Undo();
  doc.Undo();
  EXPECT_TRUE(doc.Bookmarks().empty());
  EXPECT_FALSE(doc.CanUndo());
}

TEST(TrackerDocument, CellsShowKeysAndTheValuesBetweenThem) {
  const TrackerDocument doc = TwoTracks();
  EXPECT_EQ(doc.CellAt(0, 0).kind, TrackCell::Kind::kKey);
  const TrackCell linear = doc.CellAt(0, 1);
  EXPECT_EQ(linear.kind, TrackCell::Kind::kBetween);
  EXPECT_EQ(linear.value, 2.0);
  const TrackCell held = doc.CellAt(0, 6);
  EXPECT_EQ(held.kind, TrackCell::Kind::kHeld);
  EXPECT_EQ(held.value, 5.0);
  EXPECT_EQ(doc.CellAt(0, 9).kind, TrackCell::Kind::kEmpty);  // after the last key
  EXPECT_EQ(doc.CellAt(1, 1).kind, TrackCell::Kind::kEmpty);  // before the first
  EXPECT_EQ(doc.CellAt(1, 3).kind, TrackCell::Kind::kEmpty);  // after the only one
  EXPECT_EQ(doc.CellAt(7, 0).kind, TrackCell::Kind::kEmpty);
  EXPECT_EQ(doc.Rows(), TrackerDocument::kDefaultRows);
}

TEST(TrackerDocument, HistoryIsBoundedAndEveryChangeCounts) {
  TrackerDocument doc;
  const size_t track = doc.AddTrack("x");
  EXPECT_EQ(doc.AddTrack("x"), track);
  EXPECT_EQ(doc.Generation(), 1u);
  EXPECT_FALSE(doc.CanUndo());
  doc.MarkSaved();
  for (size_t i = 0; i < TrackerDocument::kMostUndoSteps + 5; ++i) doc.SetValue(track, static_cast<int32_t>(i), 1.0f);
  EXPECT_EQ(doc.Generation(), TrackerDocument::kMostUndoSteps + 6);
  size_t undone = 0;
  while (doc.CanUndo()) {
    doc.Undo();
    ++undone;
  }
  EXPECT_EQ(undone, TrackerDocument::kMostUndoSteps);
  EXPECT_EQ(doc.Track(track).Keys().size(), 5u);
  EXPECT_TRUE(doc.Dirty());
  doc.MarkSaved();
  EXPECT_FALSE(doc.Dirty());
}

TEST(TrackerFiles, SaveThenLoadGivesTheSameProject) {
  TempDir dir;
  TrackerDocument doc = TwoTracks();
  doc.ToggleBookmark(8);
  doc.ToggleBookmark(2);
  SyncProject project = doc.Project();
  project.rows = 256;
  project.rowsPerBeat = 4;
  doc = TrackerDocument(project);
  const std::string path = (dir.path / "show.rocket").string();
  std::string error;
  ASSERT_TRUE(SaveTrackerProject(doc, path, error)) << error;
  EXPECT_FALSE(fs::exists(path + ".saving"));
  TrackerDocument read;
  ASSERT_TRUE(LoadTrackerProject(path, read, error)) << error;
  EXPECT_EQ(read.Project(), project);
  EXPECT_EQ(read.Rows(), 256);
  EXPECT_FALSE(read.Dirty());

  // A file that is not there is a new project.
  ASSERT_TRUE(LoadTrackerProject((dir.path / "new.rocket").string(), read, error)) << error;
  EXPECT_EQ(read.Project(), SyncProject{});
}

TEST(TrackerFiles, AProjectThatCannotBeReadLeavesTheDocumentAsItWas) {
  TempDir dir;
  const std::string whole = WriteSyncProject(TwoTracks().Project());
  const fs::path path = dir.path / "show.rocket";
  TrackerDocument doc = TwoTracks();
  doc.SetValue(0, 1, 4.0f);
  const SyncProject before = doc.Project();
  std::string error;

  WriteAll(path, whole.substr(0, whole.size() / 2));
  EXPECT_FALSE(LoadTrackerProject(path.string(), doc, error));
  EXPECT_EQ(error.rfind(path.string() + ": line ", 0), 0u) << error;
  EXPECT_NE(error.find("column"), std::string::npos) << error;

  WriteAll(path, "<sync><tracks><track name=\"a\"><key row=\"1\" value=\"x\" interpolation=\"0\"/></track></tracks></sync>");
  EXPECT_FALSE(LoadTrackerProject(path.string(), doc, error));
  EXPECT_EQ(error, path.string() + ": line 1, column 51: key: the value is not a decimal number within the float's range");

  // Too large is refused before it is read.
  fs::resize_file(path, kMostSyncProjectBytes + 1);
  EXPECT_FALSE(LoadTrackerProject(path.string(), doc, error));
  EXPECT_NE(error.find("more than"), std::string::npos) << error;
  EXPECT_FALSE(LoadTrackerProject(dir.path.string(), doc, error));

  EXPECT_EQ(doc.Project(), before);
  EXPECT_TRUE(doc.CanUndo());
}

TEST(TrackerFiles, RecoveryIsNewerOnlyWhenWrittenAfterTheProject) {
  TempDir dir;
  const std::string path = (dir.path / "p.rocket").string();
  EXPECT_EQ(RecoveryPath(path), path + ".recovery");
  EXPECT_FALSE(RecoveryIsNewer(path));  // neither is there
  WriteAll(RecoveryPath(path), "<sync/>");
  EXPECT_TRUE(RecoveryIsNewer(path));  // no project
  WriteAll(path, "<sync/>");
  const auto now = fs::last_write_time(path);
  fs::last_write_time(RecoveryPath(path), now - std::chrono::seconds(10));
  EXPECT_FALSE(RecoveryIsNewer(path));
  fs::last_write_time(RecoveryPath(path), now + std::chrono::seconds(10));
  EXPECT_TRUE(RecoveryIsNewer(path));
}

TEST(TrackerFiles, ExportWritesEveryTrackFileAndNothingOutsideTheFolder) {
  TempDir dir;
  SyncProject project = TwoTracks().Project();
  SyncTrack nested("fx/glow:x");
  nested.SetKeys({{3, 0.5f, I::kLinear}});
  project.tracks.push_back(nested);
  project.tracks.emplace_back("../../escape");
  TrackerDocument doc(project);
  const fs::path out = dir.path / "out";
  std::string error;
  size_t written = 0;
  // The last name is refused as the show refuses to save it ("sync_.." is no name for a
  // folder everywhere); the others are written all the same.
  EXPECT_FALSE(ExportTrackFiles(doc, out.string(), "sync", error, &written));
  EXPECT_EQ(error.rfind("the track \"../../escape\": \"sync_../-2E-2E/escape.track\" is not a file name", 0), 0u) << error;
  EXPECT_EQ(written, 3u);
  for (size_t i = 0; i < 3; ++i) {
    const SyncTrack& track = project.tracks[i];
    EXPECT_EQ(ReadAll(out / TrackFileName("sync", track.Name())), EncodeTrackFile(track.Keys())) << track.Name();
  }
  EXPECT_TRUE(fs::exists(out / "sync_fx" / "glow-3Ax.track"));
  EXPECT_FALSE(fs::exists(dir.path / "escape.track"));
  EXPECT_FALSE(fs::exists(out / "sync_a.track.saving"));

  // A base that leads out is refused, and said so.
  EXPECT_FALSE(ExportTrackFiles(doc, out.string(), "../sync", error, &written));
  EXPECT_EQ(written, 0u);
  EXPECT_NE(error.find("(and 3 more not written)"), std::string::npos) << error;
  EXPECT_FALSE(fs::exists(dir.path / "sync_a.track"));
}
