// One showing of the show, whatever program shows it: the live show in a terminal, a window or
// a Windows console, the offline renderer, the web page and the benchmarks. The session owns
// what a showing needs (the seed, the gentle mode, where the data comes from, the show's script
// and its pictures, the music, the flash guard), runs the start-up once, steps one frame at a time,
// finishes, and reports what happened. A program only chooses its back end, reads its options
// into ShowSettings and writes its own output.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "demo/music_clock.h"
#include "demo/music_stream.h"
#include "demo/show.h"
#include "quorvel4/sync_tracks.h"

struct ShowSettings {
  // The random generator's seed; none: the millisecond tick count, as the live show does.
  std::optional<uint32_t> seed;
  // The frame times of a scripted run, in order; none: the music is the clock.
  std::optional<std::vector<int32_t>> times;
  // The gentle mode: frames that would flash more than three times a second are held back.
  bool reduceFlashes = false;
  // The folder of the pictures and the music; empty: data/ here, beside the program, the
  // installed one, or QVL_DATA_DIR.
  std::string dataDir{};
  // The folder of a show of one's own (its show.js and the files it names); empty: the built-in
  // show, whose pictures and music are in the data folder.
  std::string showDir{};
  // A picture that cannot be read stops the start-up (an export must not show a black
  // picture in its place); otherwise the show draws it black and says so afterwards.
  bool picturesRequired = false;
  // Keys are commands (the live editing mode): a waiting key does not end the frames; the
  // program takes the keys itself, and only the back end's own reasons (a lost display, a
  // signal) end them as a key would.
  bool keysAreCommands = false;
  // A clock of the program's own instead of the music's (tests of the live controls); the music
  // is then not opened.
  LiveClock* clock = nullptr;
};

struct ShowReport {
  int frames = 0;
  int heldFrames = -1;  // frames held back so far by the gentle mode; -1 when it is off
  bool silent = false;  // the music played without an audio device
  std::vector<std::string> unreadablePictures;
  ShowEnd end = ShowEnd::kRunning;
  int32_t lastTime = 0;  // the clock's time of the last frame
};

class ShowSession {
 public:
  explicit ShowSession(ShowSettings settings);
  ~ShowSession();
  ShowSession(const ShowSession&) = delete;
  ShowSession& operator=(const ShowSession&) = delete;

  // Puts the show's state back to program start (demo/show_state.h), whatever an earlier
  // session in this process left, sets up the console on the back end the program chose
  // (seeding the generator), then everything before the music: the converter's table, the
  // pictures and the effects' tables, with the two loading lines; with music, opens the audio
  // output and decodes the file. On a failure the console is given back and `error` holds the
  // lines to print.
  bool Prepare(std::string& error);

  // Starts the clock: the music plays (a browser allows that only after a click). Refused, with
  // the console given back, unless Prepare succeeded.
  bool Start(std::string& error);

  // The gentle mode, until Start (the web page's box is read at the click that starts it).
  void SetGentleMode(bool on);

  // Prepare and Start.
  bool Open(std::string& error);

  // Reads the flash rule off every frame the show draws from now on (after a seek, from the
  // sought frame): what an author in edit mode sees on the status line. FlashWatching() is null
  // until then.
  void WatchFlashes();
  const FlashWatch* FlashWatching() const { return show_.flashWatch.get(); }

  // One frame of the clock's next time; false, drawing nothing, once a key is waiting, the
  // last scene is over or the clock has run out.
  bool Step();

  // Shows the frame of time t as a run from program start on the 60 fps grid shows it: puts the
  // show's state back to program start (demo/show_state.h), makes the start-up's random draws
  // again in their order (the session's seed, the script's program, the effects' tables), runs
  // the grid's frames before t without presenting them, then draws and presents the frame of t
  // as Step does. Frame k of the grid is at GridFrameTime(0, k, 60), as an export of --times
  // 0:T times it, so for a t on the grid this is the frame such an export ends on. The clock is
  // not moved: a program that plays music seeks the music itself. False, presenting nothing,
  // before Prepare or after Finish, when the show has ended by t (Report().end is
  // ShowEnd::kLastScene, and Report().lastTime the time of the frame that ended it: SeekTo of
  // that time shows the show's last frame) and when the script fails (ShowEnd::kFailed, with
  // State().failure).
  bool SeekTo(int32_t t);

  // Draws and presents the frame of time t from the state the frames so far left, as Step
  // does with the clock's time: after SeekTo(t0) on the grid, StepTo of the grid's next time is
  // the next frame of the export. False as Step is.
  bool StepTo(int32_t t);

  // The show of the settings' folder loaded again from its files (the script and everything it
  // names), then SeekTo(t) in it; the music is opened again when `musicChanged` or when the
  // script names another file. A script that fails to load, or fails in a frame up to t, leaves
  // the show as it was (the old one sought to t again where the failure had already touched
  // it): false with `error`. True when the new show is in place, `error` then saying why its
  // music could not be played, if it could not (the show goes on silently). Only for a show of
  // one's own, after Start.
  bool Reload(int32_t t, bool musicChanged, std::string& error);

  // The clock that live editing moves: the music's, or the silent clock of a show without
  // music, or the settings' own; null for a scripted run and before Start.
  LiveClock* Live() const { return live_; }

  // The folder of the show of one's own; empty for the built-in show.
  const std::string& ShowDirectory() const { return settings_.showDir; }

  // The show's script (after Prepare).
  const ShowScript& Script() const { return *show_.script; }
  // The keys of its sync tracks, which the live show's editor changes.
  std::vector<SyncTrack>& MutableTracks();
  // Called with the tracks of every show a Reload loads, once their files are read and before
  // any of its frames is drawn: the live show gives them the keys an editor sent.
  void SetTracksHook(std::function<void(std::vector<SyncTrack>&)> hook) { tracksHook_ = std::move(hook); }

  // Steps until the frames stop, calling `pause` after each (the live show sleeps there).
  void Run(const std::function<void()>& pause);

  // Marks the showing as stopped by the program (ShowEnd::kStopped).
  void Stop();

  // Closes the music, releases the pictures and gives the console back; the last frame stays
  // on it. Safe to call more than once.
  void Finish();

  const ShowReport& Report() const { return report_; }

  // What to say after the show: the silent playback and the pictures drawn black.
  std::vector<std::string> ClosingLines() const;

  // The data folder in use (after Prepare): the built-in show's data, or the show's folder.
  const std::string& DataDirectory() const { return dataDir_; }

  // The show's music file, or empty for a show without music (after Prepare).
  std::string MusicFile() const;

  // The frame loop's state, for tests and the benchmarks.
  Show& State() { return show_; }

 private:
  bool ChooseDataDirectory(std::string& error);
  bool LoadScript(std::string& error);
  bool OpenMusic(const std::string& path, std::string& error);
  // Where the show's music file is (after the script was loaded).
  std::string MusicPath() const;
  bool Fail(std::string& error, const std::string& why);
  bool SeekFailed(const std::string& why);
  bool ReplaceMusic(std::string& error);
  void ChooseLiveClock();

  ShowSettings settings_;
  uint32_t seed_ = 0;  // the settings' seed, or the tick count Prepare chose
  std::string dataDir_;
  Show show_;
  MusicBlock block_;
  std::unique_ptr<MusicStream> music_;
  std::unique_ptr<ScriptedClock> script_;
  std::unique_ptr<RealTimeClock> silence_;  // the clock of a show without music
  MusicClock* clock_ = nullptr;
  LiveClock* live_ = nullptr;
  ShowReport report_;
  std::function<void(std::vector<SyncTrack>&)> tracksHook_;
  bool prepared_ = false;
  bool finished_ = false;
};

// The steps of the start-up before the music, in their order (Prepare runs them, once the
// show's script has declared the show): exposed for the tests that check the order and its
// loading lines. A picture that cannot be read is drawn black when `blackWhenUnreadable`, and
// otherwise stops the start-up: false with `error`.
bool PrepareShow(Show& show, bool blackWhenUnreadable, std::string& error);

// From program-start state (ResetShowState), the built-in show's script with its data in
// `dataDir`, then the start-up as above, pictures that cannot be read drawn black (for the tests
// and the benchmarks).
void PrepareShow(Show& show, const std::string& dataDir);

// Loads the built-in show's script into `show` with its files in `dataDir`; false with `error`.
bool LoadBuiltInScript(Show& show, const std::string& dataDir, std::string& error);


// The one wording for a picture that could not be read; `drawnBlack` when the show went on.
std::string UnreadablePictureLine(const std::string& path, bool drawnBlack);
