#include "demo/live_show.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "demo/frame.h"
#include "demo/number_text.h"
#include "demo/show_script.h"
#include "demo/show_tracks.h"
#include "quorvel4/console.h"

namespace {

constexpr int32_t kShortSeekMs = 1000;
constexpr int32_t kLongSeekMs = 10000;
// The status line's time and frame rate change every frame; a line a tenth of a second old is
// still right enough, and a terminal's title is not rewritten sixty times a second.
constexpr int64_t kStatusEveryMs = 100;

int64_t GridIndexAtOrBefore(int32_t t) {
  if (t <= 0) return 0;
  int64_t k = int64_t{t} * kGridFramesPerSecond / 1000 + 1;
  while (k > 0 && GridFrameTime(0, k, kGridFramesPerSecond) > t) --k;
  return k;
}

// One line of a message that may hold several.
std::string OnOneLine(std::string text) {
  while (!text.empty() && text.back() == '\n') text.pop_back();
  for (size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at)) text.replace(at, 1, " / ");
  return text;
}

}  // namespace

LiveCommand CommandOfKey(const KeyStroke& key) {
  switch (key.key) {
    case Key::kEscape:
      return LiveCommand::kQuit;
    case Key::kLeft:
      return key.shift ? LiveCommand::kBackLong : LiveCommand::kBack;
    case Key::kRight:
      return key.shift ? LiveCommand::kForwardLong : LiveCommand::kForward;
    case Key::kPageUp:
      return LiveCommand::kPreviousScene;
    case Key::kPageDown:
      return LiveCommand::kNextScene;
    case Key::kHome:
      return LiveCommand::kHome;
    case Key::kCharacter:
      break;
    default:
      return LiveCommand::kNone;
  }
  if (key.ctrl) return key.character == 'c' ? LiveCommand::kQuit : LiveCommand::kNone;
  if (key.alt) return LiveCommand::kNone;
  switch (key.character) {
    case 'q':
    case 'Q':
      return LiveCommand::kQuit;
    case ' ':
      return LiveCommand::kPlayPause;
    case '[':
      return LiveCommand::kLoopFrom;
    case ']':
      return LiveCommand::kLoopTo;
    case 'l':
      return LiveCommand::kLoopOnOff;
    case '.':
      return LiveCommand::kStepFrame;
    case 'r':
      return LiveCommand::kRestart;
    default:
      return LiveCommand::kNone;
  }
}

int32_t GridTimeAtOrBefore(int32_t t) {
  return static_cast<int32_t>(GridFrameTime(0, GridIndexAtOrBefore(t), kGridFramesPerSecond));
}

int32_t GridTimeAfter(int32_t t) {
  if (t < 0) return 0;
  // Past the last time a clock can show, the grid stops there: a row that runs to it ends.
  return static_cast<int32_t>(
      std::min<int64_t>(GridFrameTime(0, GridIndexAtOrBefore(t) + 1, kGridFramesPerSecond), INT32_MAX));
}

std::vector<int32_t> SceneStarts(const std::vector<ShowSceneRow>& rows) {
  std::vector<int32_t> starts;
  for (size_t i = 0; i < rows.size(); ++i) {
    // Skips over the windows of the rows before it, which take their times first.
    for (int32_t t = GridTimeAfter(rows[i].lower); t < rows[i].upper;) {
      const size_t first = FirstRowHolding(rows, t);
      if (first == i) {
        starts.push_back(t);
        break;
      }
      t = GridTimeAfter(rows[first].upper - 1);
    }
  }
  std::sort(starts.begin(), starts.end());
  starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
  return starts;
}

std::string ClockText(int32_t ms) {
  const char* sign = ms < 0 ? "-" : "";
  const int64_t value = std::llabs(int64_t{ms});
  char text[32];
  std::snprintf(text, sizeof text, "%s%lld:%02lld.%03lld", sign, static_cast<long long>(value / 60000),
                static_cast<long long>(value / 1000 % 60), static_cast<long long>(value % 1000));
  return text;
}

int32_t GridTimeOfRow(uint32_t row, double bpm, int32_t rowsPerBeat) {
  const double starts = std::ceil(row * 60000.0 / (bpm * rowsPerBeat));
  if (starts >= INT32_MAX) return INT32_MAX;
  const auto ms = static_cast<int32_t>(starts);
  const int32_t at = GridTimeAtOrBefore(ms);
  return at < ms ? GridTimeAfter(at) : at;
}

std::optional<LoopSpan> ParseLoopSpan(const std::string& text) {
  const size_t colon = text.find(':');
  if (colon == std::string::npos) return std::nullopt;
  const auto from = ParseWholeNumber(text.substr(0, colon));
  const auto to = ParseWholeNumber(text.substr(colon + 1));
  if (!from || !to || *from < 0 || *to <= *from || *to > INT32_MAX) return std::nullopt;
  return LoopSpan{static_cast<int32_t>(*from), static_cast<int32_t>(*to)};
}

LiveShow::LiveShow(ShowSession& session, LiveSettings settings, Milliseconds now)
    : session_(session), settings_(std::move(settings)), now_(std::move(now)) {}

LiveShow::~LiveShow() {
  if (sync_) session_.SetTracksHook(nullptr);
}

bool LiveShow::Begin(std::string& error) {
  LiveClock* clock = session_.Live();
  const bool moves = settings_.edit || settings_.startMs || settings_.loop;
  if (moves && (clock == nullptr || !clock->CanSeek())) {
    error = "the music cannot be paused or moved here, so --edit, --start and --loop are not available";
    return false;
  }
  if (settings_.edit && !ConsoleReadsKeys()) {
    error = "--edit needs a display that reads keys: the terminal or the window";
    return false;
  }
  sceneStarts_ = SceneStarts(session_.Script().Rows());
  if (settings_.loop) {
    loopFrom_ = GridTimeAtOrBefore(settings_.loop->from);
    loopTo_ = settings_.loop->to;
    looping_ = true;
  }
  if (settings_.sync && !BeginSync(error)) return false;
  if (settings_.edit) session_.WatchFlashes();
  WatchFiles();
  secondStartMs_ = now_();
  if (settings_.startMs) {
    JumpTo(*settings_.startMs);
  } else if (looping_) {
    JumpTo(*loopFrom_);
  }
  if (settings_.edit) ShowStatus(true);
  return true;
}

void LiveShow::Run(const std::function<void()>& pause) {
  while (Tick()) pause();
}

bool LiveShow::Tick() {
  if (settings_.edit) {
    KeyStroke key;
    while (!quit_ && TakeKey(key)) Do(CommandOfKey(key));
    // A closed window, a lost terminal or a signal end the show as a key ends a plain one.
    if (!quit_ && ConsoleMustEnd()) quit_ = true;
    if (quit_) {
      session_.Stop();
      return false;
    }
    LookAtFiles();
    FollowEditor();
  }
  // Outside edit mode the show ends as it always has: at its end, or when a scene fails.
  if (!settings_.edit && ((atEnd_ && !looping_) || session_.Report().end == ShowEnd::kFailed)) return false;
  LiveClock* clock = session_.Live();
  if (paused_ || atEnd_) {
    PollConsole();
  } else if (looping_ && clock && clock->MusicTime() >= *loopTo_) {
    JumpTo(*loopFrom_);
  } else if (session_.Step()) {
    shown_ = session_.Report().lastTime;
    onGrid_ = false;
    CountFrame();
    if (sync_) {
      const ShowFacts& facts = session_.Script().Facts();
      sync_->Playing(static_cast<uint32_t>(std::max(0.0, std::floor(RowAtMilliseconds(shown_, facts.bpm, facts.rowsPerBeat)))));
    }
  } else {
    const ShowEnd end = session_.Report().end;
    if (end == ShowEnd::kLastScene && looping_) {
      JumpTo(*loopFrom_);
    } else if (end == ShowEnd::kLastScene && settings_.edit) {
      atEnd_ = true;
      if (clock) clock->Pause();
      paused_ = true;
    } else if (end == ShowEnd::kFailed && settings_.edit) {
      AfterFailure();
    } else {
      return false;
    }
  }
  if (settings_.edit) ShowStatus(false);
  return true;
}

void LiveShow::Do(LiveCommand command) {
  note_.clear();
  switch (command) {
    case LiveCommand::kNone:
      return;
    case LiveCommand::kQuit:
      quit_ = true;
      return;
    case LiveCommand::kPlayPause:
      SetPaused(!paused_);
      break;
    case LiveCommand::kBack:
      JumpTo(shown_ - kShortSeekMs);
      break;
    case LiveCommand::kForward:
      JumpTo(shown_ + kShortSeekMs);
      break;
    case LiveCommand::kBackLong:
      JumpTo(shown_ - kLongSeekMs);
      break;
    case LiveCommand::kForwardLong:
      JumpTo(shown_ + kLongSeekMs);
      break;
    case LiveCommand::kPreviousScene:
      JumpTo(SceneStartBefore(shown_).value_or(0));
      break;
    case LiveCommand::kNextScene:
      if (const std::optional<int32_t> next = SceneStartAfter(shown_)) {
        JumpTo(*next);
      } else {
        note_ = "no scene after this one";
      }
      break;
    case LiveCommand::kHome:
      JumpTo(0);
      break;
    case LiveCommand::kLoopFrom:
      loopFrom_ = GridTimeAtOrBefore(shown_);
      if (loopTo_ && *loopTo_ <= *loopFrom_) loopTo_.reset(), looping_ = false;
      break;
    case LiveCommand::kLoopTo:
      loopTo_ = shown_;
      if (loopFrom_ && *loopFrom_ >= *loopTo_) loopFrom_.reset(), looping_ = false;
      break;
    case LiveCommand::kLoopOnOff:
      if (loopFrom_ && loopTo_) {
        looping_ = !looping_;
      } else {
        note_ = "set the loop's start with [ and its end with ] first";
      }
      break;
    case LiveCommand::kStepFrame:
      StepOneFrame();
      break;
    case LiveCommand::kRestart:
      paused_ = false;
      JumpTo(0);
      break;
  }
  ShowStatus(true);
}

// Every stop lands on the grid, where the replay makes it exact; the music is held while the
// frames are replayed, so that it goes on from the frame shown.
void LiveShow::JumpTo(int32_t t) {
  t = GridTimeAtOrBefore(t);
  LiveClock* clock = session_.Live();
  if (clock) clock->Pause();
  atEnd_ = false;
  bool shown = session_.SeekTo(t);
  if (!shown && session_.Report().end == ShowEnd::kLastScene) {
    // Past the end: the show's last frame, where it stops.
    t = session_.Report().lastTime;
    shown = session_.SeekTo(t);
    atEnd_ = true;
  }
  Stop(t);
  if (!shown && session_.Report().end == ShowEnd::kFailed) {
    AfterFailure();
    return;
  }
  onGrid_ = shown;
  if (atEnd_ && settings_.edit) paused_ = true;
  if (clock && !paused_ && !atEnd_) clock->Resume();
}

// The clock stands at the frame shown (a new music stream after a reload too).
void LiveShow::Stop(int32_t t) {
  shown_ = t;
  if (LiveClock* clock = session_.Live()) {
    clock->Pause();
    clock->Seek(t);
  }
}

void LiveShow::SetPaused(bool paused) {
  LiveClock* clock = session_.Live();
  if (!paused) {
    paused_ = false;
    if (atEnd_) {
      JumpTo(looping_ ? *loopFrom_ : 0);
    } else if (!session_.State().failure.empty()) {
      JumpTo(shown_);  // the frames go on from a fresh replay, which fails again or not
    } else if (clock) {
      clock->Resume();
    }
    return;
  }
  paused_ = true;
  if (clock) clock->Pause();
  // The live frames are the clock's; the picture a pause shows is the grid's.
  const int32_t at = GridTimeAtOrBefore(shown_);
  if (!(onGrid_ && at == shown_) && session_.State().failure.empty() && !atEnd_) JumpTo(at);
}

void LiveShow::StepOneFrame() {
  if (!paused_) {
    SetPaused(true);
    return;
  }
  if (atEnd_) {
    note_ = "the show is at its end";
    return;
  }
  const int32_t next = GridTimeAfter(shown_);
  if (!onGrid_ || !session_.State().failure.empty()) {
    JumpTo(next);
    return;
  }
  if (session_.StepTo(next)) {
    Stop(next);
    atEnd_ = session_.State().ended;
  } else if (session_.Report().end == ShowEnd::kFailed) {
    Stop(next);
    AfterFailure();
  } else {
    atEnd_ = true;
  }
}

void LiveShow::AfterFailure() {
  error_ = OnOneLine(session_.State().failure);
  onGrid_ = false;
  paused_ = true;
  if (LiveClock* clock = session_.Live()) clock->Pause();
}

void LiveShow::Reload() {
  const int32_t t = GridTimeAtOrBefore(shown_);
  LiveClock* clock = session_.Live();
  if (clock) clock->Pause();
  const std::string& music = session_.Script().Facts().music;
  const std::vector<std::string>& changed = watcher_.Changed();
  const bool musicChanged = !music.empty() && std::find(changed.begin(), changed.end(), music) != changed.end();
  std::string error;
  const bool loaded = session_.Reload(t, musicChanged, error);
  error_ = OnOneLine(error);
  if (loaded) sceneStarts_ = SceneStarts(session_.Script().Rows());
  // A show that failed to load may be waiting for a file it names that is not there yet.
  WatchFiles();
  if (!loaded) {
    for (const std::string& name : DiscoverShowFiles(session_.ShowDirectory())) watcher_.Add(name);
  }
  atEnd_ = false;
  const ShowEnd end = session_.Report().end;
  if (end == ShowEnd::kLastScene) {
    JumpTo(session_.Report().lastTime);
  } else if (end == ShowEnd::kFailed) {
    Stop(t);
    AfterFailure();
  } else {
    Stop(t);
    onGrid_ = true;
    atEnd_ = session_.State().ended;
    if (!paused_ && !atEnd_) session_.Live()->Resume();
  }
  ShowStatus(true);
}

bool LiveShow::BeginSync(std::string& error) {
  if (!settings_.edit) {
    error = "--sync follows an editor in the live editing mode: give --edit too";
    return false;
  }
  if (session_.Script().Facts().bpm <= 0) {
    error = "--sync needs the show's tempo, since an editor's rows are beats: declare it with Tempo(BPM, ROWS_PER_BEAT)";
    return false;
  }
  TcpAddress address;
  if (!LookUpTcpAddress(settings_.sync->host, settings_.sync->port, address, error)) return false;
  sync_ = std::make_unique<SyncClient>(std::move(address), now_);
  session_.SetTracksHook([this](std::vector<SyncTrack>& tracks) { sync_->Adopt(tracks); });
  return true;
}

// What the editor asked, done as the keys would do it: a play or pause, a row to go to through
// the exact seek, and a paused picture shown again with the keys it has now.
void LiveShow::FollowEditor() {
  if (!sync_) return;
  const SyncClient::Asked asked = sync_->Poll(session_.MutableTracks());
  const bool pauseChanges = asked.pause && *asked.pause != paused_;
  if (asked.row) {
    // The jump shows the row's frame and plays on from it or not: one replay, not two.
    if (pauseChanges) paused_ = *asked.pause;
    note_.clear();
    JumpTo(GridTimeOfRow(*asked.row, session_.Script().Facts().bpm, session_.Script().Facts().rowsPerBeat));
  } else if (pauseChanges) {
    SetPaused(*asked.pause);
  } else if (asked.keysChanged && (paused_ || atEnd_)) {
    JumpTo(shown_);
  }
  if (asked.save) SaveTracks();
  if (asked.keysChanged || asked.row || asked.pause || asked.save) ShowStatus(true);
}

void LiveShow::SaveTracks() {
  if (session_.ShowDirectory().empty()) {
    note_ = "the built-in show has no folder to save tracks in";
    return;
  }
  const ShowScript& script = session_.Script();
  std::vector<std::string> written;
  std::string error;
  if (!WriteTrackKeys(ShowFolder(session_.ShowDirectory()), script.Facts().trackSource, script.Tracks(), written,
                      error)) {
    note_ = "tracks not saved: " + error;
    return;
  }
  // The show has what it wrote: no reload for that.
  watcher_.Accept(written);
  note_ = "tracks saved: " + std::to_string(written.size()) + (written.size() == 1 ? " file" : " files");
}

void LiveShow::WatchFiles() {
  if (!settings_.edit || session_.ShowDirectory().empty()) return;
  std::vector<std::string> names{kShowScriptFile};
  for (const std::string& name : session_.Script().NamedFiles()) names.push_back(name);
  watcher_.Watch(ShowFolder(session_.ShowDirectory()), names);
}

void LiveShow::LookAtFiles() {
  if (!settings_.edit || session_.ShowDirectory().empty()) return;
  if (watcher_.Look(now_())) Reload();
}

void LiveShow::CountFrame() {
  if (!settings_.edit) return;  // only the status line shows it
  ++framesThisSecond_;
  const int64_t now = now_();
  if (now - secondStartMs_ >= 1000) {
    framesPerSecond_ = static_cast<int>(framesThisSecond_ * 1000 / (now - secondStartMs_));
    framesThisSecond_ = 0;
    secondStartMs_ = now;
  }
}

void LiveShow::ShowStatus(bool now) {
  if (!settings_.edit) return;
  // Between sends the line is not even made: it would be made every frame for nothing.
  const int64_t ms = now_();
  if (!now && ms - statusSentMs_ < kStatusEveryMs) return;
  const std::string text = Status();
  if (text == statusSent_) return;
  SetStatusLine(text);
  statusSent_ = text;
  statusSentMs_ = ms;
}

std::optional<int32_t> LiveShow::SceneStartBefore(int32_t t) const {
  const auto after = std::lower_bound(sceneStarts_.begin(), sceneStarts_.end(), t);
  if (after == sceneStarts_.begin()) return std::nullopt;
  return *(after - 1);
}

std::optional<int32_t> LiveShow::SceneStartAfter(int32_t t) const {
  const auto after = std::upper_bound(sceneStarts_.begin(), sceneStarts_.end(), t);
  if (after == sceneStarts_.end()) return std::nullopt;
  return *after;
}

std::string LiveShow::Status() const {
  std::string line = ClockText(shown_);
  if (atEnd_) {
    line += "  end";
  } else if (paused_) {
    line += "  paused";
  }
  if (looping_) line += "  looping";
  if (!error_.empty()) return line + "  error: " + error_;
  // Early in the line, where a narrow terminal does not cut it off: it matters most.
  if (const FlashWatch* watch = session_.FlashWatching()) {
    const std::string warning = FlashWarning(watch->Latest());
    if (!warning.empty()) line += "  " + warning;
  }
  // Before the scene's words: a terminal's status row is as wide as the picture, and what the
  // editor's connection is doing is what an author looks for while syncing.
  if (sync_) line += "  " + sync_->Status();
  const ShowScript& script = session_.Script();
  const std::vector<ShowSceneRow>& rows = script.Rows();
  const size_t at = FirstRowHolding(rows, shown_);
  const ShowSceneRow* row = at < rows.size() ? &rows[at] : nullptr;
  if (row == nullptr) {
    line += "  no scene";
  } else {
    line += "  scene " + (row->index ? std::to_string(*row->index) : std::string("-")) + " " +
            std::to_string(row->lower) + "-" + std::to_string(row->upper);
  }
  const ShowFacts& facts = script.Facts();
  if (facts.bpm > 0) {
    const double beat = shown_ * facts.bpm / 60000.0;
    char text[64];
    std::snprintf(text, sizeof text, "  beat %.2f", beat);
    line += text;
    if (facts.rowsPerBeat > 0) line += "  row " + std::to_string(static_cast<int64_t>(std::floor(beat * facts.rowsPerBeat)));
  }
  if (!paused_ && !atEnd_) line += "  " + std::to_string(framesPerSecond_) + " fps";
  if (loopFrom_ || loopTo_) {
    line += "  loop " + (loopFrom_ ? ClockText(*loopFrom_) : std::string("?")) + "-" +
            (loopTo_ ? ClockText(*loopTo_) : std::string("?"));
  }
  if (!note_.empty()) line += "  (" + note_ + ")";
  return line;
}
