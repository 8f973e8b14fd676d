// The show made live: keys that pause, seek, loop and step it, a reload whenever its files are
// saved, and a status line beside the picture. Every stop (a seek, a pause, a step, a reload, a
// loop's jump back) shows exactly the frame an export of the 60 fps grid from 0 ends on there:
// the session replays the grid's frames from program-start state (ShowSession::SeekTo). The
// live frames after it follow the music's clock, as in a plain show.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "demo/show_session.h"
#include "demo/show_watcher.h"
#include "demo/sync_client.h"
#include "quorvel4/keys.h"

struct ShowSceneRow;

struct LoopSpan {
  int32_t from = 0;
  int32_t to = 0;
};

struct LiveSettings {
  bool edit = false;                // keys are commands, the folder is watched, a status line
  std::optional<int32_t> startMs;   // --start MS
  std::optional<LoopSpan> loop;     // --loop A:B, on from the start
  std::optional<SyncAddress> sync;  // --sync [HOST:]PORT: follow a sync-tracker there (edit mode)
};

enum class LiveCommand {
  kNone,
  kQuit,           // q, Escape, Ctrl-C
  kPlayPause,      // Space
  kBack,           // Left: one second back
  kForward,        // Right
  kBackLong,       // Shift-Left: ten seconds
  kForwardLong,    // Shift-Right
  kPreviousScene,  // Page Up: the start of this scene, or of the one before when at its start
  kNextScene,      // Page Down
  kHome,           // Home: to 0
  kLoopFrom,       // [
  kLoopTo,         // ]
  kLoopOnOff,      // l
  kStepFrame,      // .: one frame of the grid on, paused
  kRestart,        // r: from 0, playing
};

// What a key does in the live editing mode.
LiveCommand CommandOfKey(const KeyStroke& key);

// The time of the grid's frame at or before t (0 for t below 0): the frame an export of
// --times 0:t ends on.
int32_t GridTimeAtOrBefore(int32_t t);
// The time of the grid's first frame after t (INT32_MAX at most).
int32_t GridTimeAfter(int32_t t);

// The time of each scene row's first frame on the grid (where it is the first row whose window
// holds the time), in time order; rows that never show are left out.
std::vector<int32_t> SceneStarts(const std::vector<ShowSceneRow>& rows);

// m:ss.mmm
std::string ClockText(int32_t ms);

// The grid's first frame in the row `row` of a tempo (at or after the row's start): where the
// show goes when a sync-tracker asks for a row.
int32_t GridTimeOfRow(uint32_t row, double bpm, int32_t rowsPerBeat);

// "A:B" in milliseconds, A < B, both 0 or more; none when it is not.
std::optional<LoopSpan> ParseLoopSpan(const std::string& text);

class LiveShow {
 public:
  // A steady clock in milliseconds: when to look at the files, and the frame rate. It never
  // reaches a frame.
  using Milliseconds = std::function<int64_t()>;

  LiveShow(ShowSession& session, LiveSettings settings, Milliseconds now);
  ~LiveShow();
  LiveShow(const LiveShow&) = delete;
  LiveShow& operator=(const LiveShow&) = delete;

  // After the session's Open: the start and the loop of the settings, and the files watched.
  // False with `error` when the settings ask for what the clock here cannot do.
  bool Begin(std::string& error);

  // One pass: the keys (edit mode), a reload when a file was saved, the loop's jump back, then
  // the clock's frame, unless paused or at the end. False when the show is over: quit, or in a
  // plain show its end or failure (the session's report says which).
  bool Tick();

  // Ticks until the show is over, calling `pause` after each pass.
  void Run(const std::function<void()>& pause);

  // What a key asks (the tests give commands directly).
  void Do(LiveCommand command);

  // Loads the show again now, as a save does.
  void Reload();

  int32_t ShownTime() const { return shown_; }
  bool Paused() const { return paused_; }
  bool Looping() const { return looping_; }
  bool AtEnd() const { return atEnd_; }
  bool Quit() const { return quit_; }
  const std::optional<int32_t>& LoopFrom() const { return loopFrom_; }
  const std::optional<int32_t>& LoopTo() const { return loopTo_; }
  // The last failure: a save that did not load, a scene that threw; empty after a good reload.
  const std::string& LastError() const { return error_; }

  // The status line: time, pause or loop, scene and its window, beat and row when the show has
  // a tempo, frames a second, the loop's span, the sync-tracker's connection, the last error.
  std::string Status() const;

  // The sync-tracker client of --sync, or null.
  const SyncClient* Sync() const { return sync_.get(); }

 private:
  void JumpTo(int32_t t);
  void SetPaused(bool paused);
  void Stop(int32_t t);
  void StepOneFrame();
  void AfterFailure();
  void WatchFiles();
  void LookAtFiles();
  void ShowStatus(bool now);
  bool BeginSync(std::string& error);
  void FollowEditor();
  void SaveTracks();
  void CountFrame();
  std::optional<int32_t> SceneStartBefore(int32_t t) const;
  std::optional<int32_t> SceneStartAfter(int32_t t) const;

  ShowSession& session_;
  LiveSettings settings_;
  Milliseconds now_;
  ShowWatcher watcher_;
  std::unique_ptr<SyncClient> sync_;
  std::vector<int32_t> sceneStarts_;
  int32_t shown_ = 0;
  // The frames so far are exactly the grid's, up to and including shown_: a step is one frame.
  bool onGrid_ = false;
  bool paused_ = false;
  bool atEnd_ = false;
  bool quit_ = false;
  bool looping_ = false;
  std::optional<int32_t> loopFrom_;
  std::optional<int32_t> loopTo_;
  std::string error_;
  std::string note_;  // a word on the last command that could not be done
  std::string statusSent_;
  int64_t statusSentMs_ = 0;
  int64_t secondStartMs_ = 0;
  int framesThisSecond_ = 0;
  int framesPerSecond_ = 0;
};
