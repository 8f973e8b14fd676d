#include "demo/show_session.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "demo/data_directory.h"
#include "demo/demo_main.h"
#include "demo/frame.h"
#include "demo/images.h"
#include "demo/show_script.h"
#include "demo/show_state.h"
#include "demo/timeline.h"
#include "effects/water_ripples.h"
#include "quorvel4/console.h"
#include "quorvel4/debug.h"
#include "quorvel4/random.h"

namespace {

// The start-up's two loading lines; they stay in the cells until the first frame draws.
constexpr int32_t kLoadingColumn = 5;
constexpr int32_t kImagesRow = 4;
constexpr int32_t kMusicRow = 5;
constexpr const char* kLoadingImages = "loading images\n";
constexpr const char* kLoadingMusic = "loading music\n";

void ShowLoadingLine(int32_t row, const char* text) {
  PrintAt(kLoadingColumn, row, "%s", text);
  PresentScreen();
}

// The music file's failures, each in the one wording every program prints. The first line,
// "Error!", is what the show has always printed before the reason.
std::string MusicFileProblem(DataFileError problem, const std::string& path, uint64_t size,
                             const std::string& reason = {}) {
  switch (problem) {
    case DataFileError::kNone:
      return "";
    case DataFileError::kNotFound:
      return "Error!\nFile Not Found\nThe music file " + path + " does not exist\n";
    case DataFileError::kNotRegular:
      return "Error!\nThe music file " + path + " is not a regular file\n";
    case DataFileError::kTooLarge:
      return "Error!\nThe music file " + path + " is " + std::to_string(size) + " bytes; a music file may have at most " +
             std::to_string(kMaxMusicFileBytes) + " bytes\n";
    case DataFileError::kEmpty:
      return "Error!\nThe music file " + path + " is empty\n";
    case DataFileError::kUnreadable:
      return "Error!\nCannot read the music file " + path + (reason.empty() ? "" : ": " + reason) + "\n";
  }
  return "";
}

}  // namespace

std::string UnreadablePictureLine(const std::string& path, bool drawnBlack) {
  return "The picture file " + path + " could not be read" + (drawnBlack ? "; the show drew it black." : ".");
}

bool PrepareShow(Show& show, bool blackWhenUnreadable, std::string& error) {
  PrepareRippleFields();
  show.converter.BuildMap(0xFFFF);
  show.script->SetConverter(&show.converter);
  SetTitle(show.script->Facts().title.c_str());
  ShowLoadingLine(kImagesRow, kLoadingImages);
  // Reading the files draws no random number, so the tables' draws follow the script's program
  // as they always have (the sparkles first).
  if (!show.script->ReadFiles(blackWhenUnreadable, show.unreadablePictures, error)) return false;
  for (const std::string& path : show.unreadablePictures) DebugPrint("cannot read the picture file %s\n", path.c_str());
  BuildEffectTables();
  ShowLoadingLine(kMusicRow, kLoadingMusic);
  return true;
}

bool LoadBuiltInScript(Show& show, const std::string& dataDir, std::string& error) {
  show.script = std::make_unique<ShowScript>();
  return show.script->Load(kBuiltInScriptName, BuiltInShowSource(), ShowFolder(dataDir, kDataPathSeparator), error);
}

void PrepareShow(Show& show, const std::string& dataDir) {
  ResetShowState(show);
  std::string error;
  if (!LoadBuiltInScript(show, dataDir, error) || !PrepareShow(show, true, error)) {
    std::fprintf(stderr, "the built-in show could not be prepared: %s\n", error.c_str());
    std::abort();
  }
}


ShowSession::ShowSession(ShowSettings settings) : settings_(std::move(settings)) {}

ShowSession::~ShowSession() { Finish(); }

bool ShowSession::Fail(std::string& error, const std::string& why) {
  ShutdownConsole();
  error = why;
  if (!error.empty() && error.back() == '\n') error.pop_back();
  return false;
}

// The folder the settings name, else the first of the usual places that holds the show's
// files; when there is none, the message names every place looked at.
bool ShowSession::ChooseDataDirectory(std::string& error) {
  if (!settings_.dataDir.empty()) {
    dataDir_ = settings_.dataDir;
    error = ChosenDataDirectoryProblem(dataDir_);
    return error.empty();
  }
  const FoundDataDirectory found = FindDataDirectory(DataDirectoryPlacesHere());
  dataDir_ = found.directory;
  if (!dataDir_.empty()) return true;
  error = NoDataDirectoryMessage(found);
  // The show's own first words when its music is missing stand before the reason.
  if (!settings_.times) error = MusicFileProblem(DataFileError::kNotFound, DataPath(kDataDirectory, kMusicFile), 0) + error;
  return false;
}

// The script: the built-in one, or the show.js of the folder the settings name.
bool ShowSession::LoadScript(std::string& error) {
  if (settings_.showDir.empty()) return LoadBuiltInScript(show_, dataDir_, error);
  show_.script = std::make_unique<ShowScript>();
  return LoadShowFolder(*show_.script, settings_.showDir, error);
}

// The console stays as it is: the start-up gives it back on a failure, a reload does not.
bool ShowSession::OpenMusic(const std::string& path, std::string& error) {
  music_ = std::make_unique<MusicStream>();
  const auto failed = [&](const std::string& why) {
    error = why;
    if (!error.empty() && error.back() == '\n') error.pop_back();
    return false;
  };
  if (!music_->Init()) return failed("Error!\n" + music_->Error());
  uint64_t size = 0;
  std::string reason;
  if (const DataFileError problem = ReadMusicFile(path, block_, &size, &reason); problem != DataFileError::kNone)
    return failed(MusicFileProblem(problem, path, size, reason));
  if (!music_->Open(block_)) return failed("Error!\nCannot decode the music file " + path + " as MP3: " + music_->Error());
  return true;
}

std::string ShowSession::MusicPath() const {
  std::string ignored;
  return show_.script->Folder().PathOf(show_.script->Facts().music, ignored);
}

std::string ShowSession::MusicFile() const {
  return show_.script && !show_.script->Facts().music.empty() ? MusicPath() : "";
}

bool ShowSession::Prepare(std::string& error) {
  // Whatever an earlier session in this process left behind is put back before anything draws.
  ResetShowState(show_);
  // InitConsole's own choice of seed, made here so that a seek can use it again.
  seed_ = settings_.seed ? *settings_.seed : TickCount();
  InitConsoleWithSeed(seed_);
  std::string problem;
  if (settings_.showDir.empty()) {
    if (!ChooseDataDirectory(problem)) return Fail(error, problem);
  } else {
    dataDir_ = settings_.showDir;
  }
  if (!LoadScript(problem)) return Fail(error, problem);
  // A show of one's own stops at a picture it cannot read; the built-in show draws it black
  // and says so afterwards, unless the program needs every picture (an export: below).
  const bool blackWhenUnreadable = settings_.showDir.empty();
  if (!PrepareShow(show_, blackWhenUnreadable, problem)) return Fail(error, problem);
  report_.unreadablePictures = show_.unreadablePictures;
  if (!show_.converter.HasMap()) return Fail(error, "Error!\nNot enough memory for the colour table");
  std::string pictures;
  for (const std::string& path : show_.unreadablePictures) pictures += UnreadablePictureLine(path, false) + "\n";
  if (settings_.picturesRequired && !pictures.empty()) return Fail(error, pictures);
  const std::string& music = show_.script->Facts().music;
  // The music of a show of one's own passes the same checks as its other files.
  if (!settings_.showDir.empty() && !music.empty() &&
      show_.script->Folder().CheckedPath(music, kMaxMusicFileBytes, problem).empty())
    return Fail(error, problem);
  if (!settings_.times && !settings_.clock && !music.empty() && !OpenMusic(MusicPath(), error)) {
    ShutdownConsole();
    // No show ran, so no picture was drawn black: they are only named.
    error += "\n" + pictures;
    if (error.back() == '\n') error.pop_back();
    return false;
  }
  prepared_ = true;
  return true;
}

bool ShowSession::Start(std::string& error) {
  // Without a preparation there is no script to run, and the music of a failed one never opened.
  if (!prepared_ || finished_) return Fail(error, "Error!\nThe show cannot start: it was not prepared");
  if (settings_.reduceFlashes) {
    // A seek made before Start has fed the guard its frames already.
    if (!show_.flashGuard) show_.flashGuard = std::make_unique<FlashGuard>();
    report_.heldFrames = show_.flashGuard->HeldFrames();
  }
  if (settings_.clock) {
    clock_ = settings_.clock;
  } else if (settings_.times) {
    script_ = std::make_unique<ScriptedClock>(*settings_.times);
    clock_ = script_.get();
  } else if (!music_) {
    silence_ = std::make_unique<RealTimeClock>();
    silence_->Start();
    clock_ = silence_.get();
  } else {
    if (!music_->Play()) return Fail(error, "Error!\nCannot play the music file " + MusicPath() + ": " + music_->Error());
    clock_ = music_.get();
  }
  ChooseLiveClock();
  show_.sceneIndex = 0;
  show_.ended = false;
  return true;
}

bool ShowSession::Open(std::string& error) { return Prepare(error) && Start(error); }

void ShowSession::SetGentleMode(bool on) { settings_.reduceFlashes = on; }

void ShowSession::WatchFlashes() {
  if (!show_.flashWatch) show_.flashWatch = std::make_unique<FlashWatch>();
}

void ShowSession::ChooseLiveClock() {
  if (settings_.clock) {
    live_ = settings_.clock;
  } else if (music_) {
    live_ = music_.get();
  } else {
    live_ = silence_.get();
  }
}

bool ShowSession::Step() {
  if (clock_ == nullptr || report_.end != ShowEnd::kRunning) return false;
  report_.end = StopReason(*clock_, show_, !settings_.keysAreCommands);
  if (report_.end != ShowEnd::kRunning) return false;
  return StepTo(clock_->MusicTime());
}

bool ShowSession::StepTo(int32_t t) {
  if (!prepared_ || finished_ || report_.end != ShowEnd::kRunning) return false;
  if (show_.ended) {
    report_.end = ShowEnd::kLastScene;
    return false;
  }
  report_.lastTime = t;
  RunFrame(t, show_);
  if (!show_.failure.empty()) {
    report_.end = ShowEnd::kFailed;
    return false;
  }
  ++report_.frames;
  if (show_.flashGuard) report_.heldFrames = show_.flashGuard->HeldFrames();
  return true;
}

bool ShowSession::SeekFailed(const std::string& why) {
  show_.failure = why;
  report_.end = ShowEnd::kFailed;
  return false;
}

bool ShowSession::SeekTo(int32_t t) {
  if (!prepared_ || finished_) return false;
  if (settings_.reduceFlashes && !show_.flashGuard) show_.flashGuard = std::make_unique<FlashGuard>();
  ResetShowState(show_);
  // The start-up's random draws, in its order: the console's, the script's program's, the tables'.
  SeedRandomAsAtStartUp(seed_);
  std::string error;
  if (!show_.script->Restart(error)) return SeekFailed(error);
  BuildEffectTables();
  // The cells as the start-up leaves them for the first frame, unseen this time.
  PrintAt(kLoadingColumn, kImagesRow, "%s", kLoadingImages);
  PrintAt(kLoadingColumn, kMusicRow, "%s", kLoadingMusic);
  // The frames before t, checked for the end as Step checks before drawing one.
  for (int64_t k = 0;; ++k) {
    const int64_t time = GridFrameTime(0, k, kGridFramesPerSecond);
    if (time >= t) break;
    ReplayFrame(static_cast<int32_t>(time), show_);
    if (!show_.failure.empty()) return SeekFailed(show_.failure);
    if (show_.ended) {
      report_.end = ShowEnd::kLastScene;
      report_.lastTime = static_cast<int32_t>(time);
      return false;
    }
  }
  report_.end = ShowEnd::kRunning;
  report_.lastTime = t;
  RunFrame(t, show_);
  if (!show_.failure.empty()) return SeekFailed(show_.failure);
  ++report_.frames;
  if (show_.flashGuard) report_.heldFrames = show_.flashGuard->HeldFrames();
  return true;
}

std::vector<SyncTrack>& ShowSession::MutableTracks() { return show_.script->MutableTracks(); }

bool ShowSession::Reload(int32_t t, bool musicChanged, std::string& error) {
  if (!prepared_ || finished_ || clock_ == nullptr || settings_.showDir.empty()) {
    error = "only a show of one's own that is playing can be loaded again";
    return false;
  }
  // A script that fails to load has drawn from the generator and touched nothing else: the
  // frames go on as if it had never run.
  const uint32_t generator = RandomState();
  auto fresh = std::make_unique<ShowScript>();
  if (!LoadShowFolder(*fresh, settings_.showDir, error)) {
    SeedRandom(generator);
    return false;
  }
  fresh->SetConverter(&show_.converter);
  const std::string oldMusic = show_.script->Facts().music;
  std::unique_ptr<ShowScript> old = std::move(show_.script);
  show_.script = std::move(fresh);
  std::vector<std::string> unreadable;
  bool ok = show_.script->ReadFiles(false, unreadable, error);
  const std::string& music = show_.script->Facts().music;
  if (ok && !music.empty()) ok = !show_.script->Folder().CheckedPath(music, kMaxMusicFileBytes, error).empty();
  if (ok && tracksHook_) tracksHook_(show_.script->MutableTracks());
  if (ok && !SeekTo(t) && report_.end == ShowEnd::kFailed) {
    ok = false;
    error = show_.failure;
  }
  if (!ok) {
    // Reading the files loaded their sync points, and a failed replay left its state: the
    // old show is sought to t again, which puts all of it back.
    show_.script = std::move(old);
    SeekTo(t);
    return false;
  }
  if (show_.script->Facts().title != old->Facts().title) SetTitle(show_.script->Facts().title.c_str());
  error.clear();
  if (musicChanged || music != oldMusic) ReplaceMusic(error);
  return true;
}

// The music of a reloaded show: the old stream is closed first (the audio output takes one at a
// time). When the new one cannot be played, the show goes on silently and `error` says why.
bool ShowSession::ReplaceMusic(std::string& error) {
  if (settings_.clock) return true;  // the program's own clock stays
  if (music_) music_->Close();
  music_.reset();
  block_.data.reset();
  block_.size = 0;
  silence_.reset();
  const bool none = show_.script->Facts().music.empty();
  bool ok = none;
  if (!none && OpenMusic(MusicPath(), error)) {
    ok = music_->Play();
    if (!ok) error = "Cannot play the music file " + MusicPath() + ": " + music_->Error();
  }
  if (!ok) music_.reset();
  if (music_) {
    clock_ = music_.get();
  } else {
    silence_ = std::make_unique<RealTimeClock>();
    silence_->Start();
    clock_ = silence_.get();
  }
  ChooseLiveClock();
  return ok;
}

void ShowSession::Run(const std::function<void()>& pause) {
  while (Step()) pause();
}

void ShowSession::Stop() {
  if (report_.end == ShowEnd::kRunning) report_.end = ShowEnd::kStopped;
}

void ShowSession::Finish() {
  if (finished_) return;
  finished_ = true;
  if (music_) {
    music_->Close();
    report_.silent = prepared_ && music_->Silent();
  }
  show_.script.reset();
  block_.data.reset();
  ShutdownConsole();
}

std::vector<std::string> ShowSession::ClosingLines() const {
  std::vector<std::string> lines;
  // Only a show that drew frames played at all (not one that ended at once, or never fitted
  // its terminal).
  if (report_.silent && report_.frames > 0)
    lines.push_back("No audio device could be opened, so the show played without sound.");
  for (const std::string& path : report_.unreadablePictures) lines.push_back(UnreadablePictureLine(path, true));
  return lines;
}
