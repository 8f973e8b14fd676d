// A show as its script declares it: the facts (title, music, pictures, texts, sync points,
// tempo) and the scene rows, and the frame loop's scene step run through the script. The
// script is ECMAScript 5.1 run by Duktape (demo/script_engine.h); what it may call is the
// binding table of demo/show_api.h.
//
// A show is loaded in two steps: Load runs the script's program, which declares; ReadFiles
// then reads what it declared from the show's folder. The session runs the rest of the start-up
// around them in the show's fixed order.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "demo/script_engine.h"
#include "demo/show_folder.h"
#include "demo/show_tracks.h"
#include "quorvel4/sync_tracks.h"
#include "quorvel4/types.h"

class BlockColorConverter;

struct ShowPicture {
  std::string name;  // as the script calls it
  std::string file;  // inside the show's folder
  int32_t width = 0;
  int32_t height = 0;
  std::vector<Pixel> pixels;
};

// A row of the scene table: lower < t < upper, both bounds excluded, tried in order.
struct ShowSceneRow {
  int32_t lower = 0;
  int32_t upper = 0;
  std::optional<int32_t> index;  // none: the row leaves the scene index as it was
  ScriptPlace place;             // where the script declared it
};

// The index of the first row whose window holds t, rows tried in order, as the frame loop picks
// the scene; rows.size() when none does.
size_t FirstRowHolding(const std::vector<ShowSceneRow>& rows, int32_t t);

struct ShowFacts {
  std::string title;
  std::string music;       // a file of the folder; empty: no music (a silent clock at real time)
  std::string syncPoints;  // a sync file of the folder, or empty
  double bpm = 0;          // 0: no tempo
  int32_t rowsPerBeat = 0;
  std::string trackSource = kDefaultTrackBase;  // where the tracks' keys are read from (show_tracks.h)
};

// The name under which the built-in show's script reports its places.
inline constexpr const char* kBuiltInScriptName = "show.js";

// The source of the built-in show, compiled into the programs from data/show.js.
const std::string& BuiltInShowSource();

class ShowScript {
 public:
  ShowScript();
  ~ShowScript();
  ShowScript(const ShowScript&) = delete;
  ShowScript& operator=(const ShowScript&) = delete;

  // Runs the script's program, which declares the show; `scriptName` is how errors name the
  // file. False with one message naming the place.
  bool Load(const std::string& scriptName, const std::string& source, ShowFolder folder, std::string& error);

  // The files the script declared, read from its folder in the order declared: the pictures,
  // then the sync points. False with a message naming the file and the place looked at; with
  // `blackWhenUnreadable`, a picture that cannot be read is drawn black instead and its path is
  // added to `unreadable`.
  bool ReadFiles(bool blackWhenUnreadable, std::vector<std::string>& unreadable, std::string& error);

  // Runs the program again in an engine of its own, so that the scenes start from the program's
  // start: what scenes keep in the script's globals and closures is forgotten. The texts and the
  // pictures are those read the first time, and the sync points read then are loaded again; no
  // file is read. The generator must be where it stood before the first run (the program may
  // draw from it). Only after ReadFiles; false with `error` when the program fails or declares
  // other files than it did the first time.
  bool Restart(std::string& error);

  // Every file the script names (pictures, texts, music, sync points, the files its tracks'
  // keys may be in), for a host that must fetch them first (the web page) and for the live
  // show, which watches them.
  std::vector<std::string> NamedFiles() const;

  const ShowFacts& Facts() const { return facts_; }
  const ShowFolder& Folder() const { return folder_; }
  const std::vector<ShowSceneRow>& Rows() const { return rows_; }
  const std::vector<ShowPicture>& Pictures() const { return pictures_; }
  const ShowPicture* FindPicture(const std::string& name) const;

  // The sync tracks the show asks for: the names its source passes to track("...") as they
  // first appear, then those its program asks for; their keys read from the folder by
  // ReadFiles. Restart keeps them, keys and all. The live show's sync client changes the keys.
  const std::vector<SyncTrack>& Tracks() const { return tracks_; }
  std::vector<SyncTrack>& MutableTracks() { return tracks_; }
  // The index of a track in Tracks(), or -1.
  int32_t TrackIndex(const std::string& name) const;
  // The track of that name, added when it is new (while the program declares the show).
  int32_t DeclareTrack(const std::string& name);
  // A track's value at the running frame's row (0 outside a scene).
  double TrackValue(int32_t index) const;

  // The converter that Convert2x2 uses (the session's).
  void SetConverter(BlockColorConverter* converter) { converter_ = converter; }
  BlockColorConverter* Converter() const { return converter_; }

  // The frame loop's scene step at time t: runs the first row whose window holds t and sets
  // `sceneIndex` as the row says; with no row, applies the end rule: once the show's last scene
  // (the index set by the last row that sets one) has run, a frame in no window ends the show;
  // any other such frame sets the index to 404. Returns whether the scene
  // filled the cells itself. On a script failure `error` is set (with the scene's window and t)
  // and the frame is to be abandoned.
  bool RunScene(int32_t t, int32_t& sceneIndex, bool& ended, std::string& error);

  // The end rule's last scene, or -1 when no row sets an index.
  int32_t LastSceneIndex() const { return lastScene_; }

  // Used by the binding table while the program runs and while scenes run.
  enum class Phase { kDeclaring, kReading, kPlaying };
  Phase CurrentPhase() const { return phase_; }
  bool InScene() const { return inScene_; }
  ShowFacts& MutableFacts() { return facts_; }
  // Declares a picture; false with `error` when the name is taken or the file not usable.
  bool DeclarePicture(const std::string& name, const std::string& file, int32_t width, int32_t height,
                      std::string& error);
  // Declares a scene row whose function is on top of the script's stack (it is taken).
  void DeclareScene(const ShowSceneRow& row);
  // A text file's contents (UTF-8), remembered as named.
  bool ReadText(const std::string& file, std::string& text, std::string& error);

  // For a host that fetches the files a show names before it starts (the web page), and cannot
  // know in advance what the program reads with Text(): while on, a text file the folder does
  // not hold yet is remembered as named and reads as "" instead of stopping the program. Such a
  // script is only ever looked at, never played.
  void SetDiscovery(bool on) { discovery_ = on; }
  ScriptEngine& Engine() { return *engine_; }

 private:
  std::unique_ptr<ScriptEngine> engine_;
  ShowFolder folder_;
  ShowFacts facts_;
  std::vector<ShowPicture> pictures_;
  std::vector<ShowSceneRow> rows_;
  std::vector<SyncTrack> tracks_;
  double sceneRow_ = 0;             // the running frame's row, for the tracks
  std::vector<std::string> texts_;  // the text files named, in order
  std::string source_;              // the program, for Restart
  // What each text file read held, and the sync points loaded: Restart uses them again.
  std::vector<std::pair<std::string, std::string>> textsRead_;
  std::vector<int32_t> syncTimes_;
  bool restarting_ = false;
  int32_t lastScene_ = -1;
  bool indexFromRow_ = false;  // the scene index was set by a row that ran
  BlockColorConverter* converter_ = nullptr;
  Phase phase_ = Phase::kDeclaring;
  bool inScene_ = false;
  bool discovery_ = false;
  std::string scriptName_;
};

// Loads the show.js of the folder `showDir` into `script`; false with one message naming the file
// or the place in the script.
bool LoadShowFolder(ShowScript& script, const std::string& showDir, std::string& error);

// The files that the show in `showDir` names so far, each once, in the order named, as a host
// fetches them: its program is run in discovery mode, and as far as it gets (a script that stops
// on a text read as "" names more once that text is there). Only names a show may use, and none
// with a line break, so that a list of lines carries them.
std::vector<std::string> DiscoverShowFiles(const std::string& showDir);
