#include "demo/show_script.h"

#include <duktape.h>

#include <algorithm>
#include <chrono>
#include <memory>

#include "demo/picture_decode.h"
#include "demo/show_api.h"
#include "demo/utf8.h"
#include "quorvel4/sync_points.h"

namespace {

constexpr uint64_t kMaxPictureFileBytes = uint64_t{64} << 20;
constexpr uint64_t kMaxTextFileBytes = uint64_t{1} << 20;
constexpr uint64_t kMaxSyncFileBytes = uint64_t{1} << 20;
// The stash's arrays of the scene rows' functions and of their windows (the `scene` argument
// each function is given), in the rows' order.
constexpr const char* kRowFunctions = "sceneFunctions";
constexpr const char* kRowWindows = "sceneWindows";

// The scene index of a frame that lies in no window.
constexpr int32_t kNoSceneIndex = 404;

std::string WindowWords(const ShowSceneRow& row) {
  std::string words = "the scene " + std::to_string(row.lower) + " < t < " + std::to_string(row.upper);
  if (row.index) words += " (scene " + std::to_string(*row.index) + ")";
  return words;
}

bool ValidUtf8(const std::vector<uint8_t>& bytes, size_t& badAt) {
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  char32_t cp = 0;
  for (size_t i = 0; i < text.size();) {
    if (!DecodeUtf8(text, i, cp)) {
      badAt = i;
      return false;
    }
  }
  return true;
}

}  // namespace

ShowScript::ShowScript() : engine_(std::make_unique<ScriptEngine>()) { engine_->SetHost(this); }

ShowScript::~ShowScript() = default;

bool ShowScript::Load(const std::string& scriptName, const std::string& source, ShowFolder folder,
                      std::string& error) {
  scriptName_ = scriptName;
  source_ = source;
  folder_ = std::move(folder);
  if (!engine_->Ok()) {
    error = scriptName + ": not enough memory for the script engine";
    return false;
  }
  duk_context* ctx = engine_->Context();
  duk_push_global_stash(ctx);
  duk_push_array(ctx);
  duk_put_prop_string(ctx, -2, kRowFunctions);
  duk_push_array(ctx);
  duk_put_prop_string(ctx, -2, kRowWindows);
  duk_pop(ctx);
  InstallShowApi(ctx);
  phase_ = Phase::kDeclaring;
  for (const std::string& name : TrackNamesInSource(source)) DeclareTrack(name);
  ScriptError failure;
  if (!engine_->RunProgram(scriptName, source, failure)) {
    error = failure.Text();
    return false;
  }
  if (rows_.empty()) {
    error = scriptName + ": the script declares no scene: add one with Scene(LOWER, UPPER, INDEX, function (t) { ... })";
    return false;
  }
  if (!tracks_.empty() && facts_.bpm <= 0) {
    error = scriptName + ": the show asks for the track \"" + tracks_.front().Name() +
            "\" but declares no tempo: a track's rows follow the music's beats, so declare them with "
            "Tempo(BPM, ROWS_PER_BEAT)";
    return false;
  }
  phase_ = Phase::kReading;
  return true;
}

bool ShowScript::DeclarePicture(const std::string& name, const std::string& file, int32_t width, int32_t height,
                                std::string& error) {
  if (FindPicture(name) != nullptr) {
    error = "a picture named \"" + name + "\" was declared already";
    return false;
  }
  const bool png = file.size() >= 4 && file.compare(file.size() - 4, 4, ".png") == 0;
  if (!png && width == 0 && !RawSizeFromName(file, width, height)) {
    error = "\"" + file + "\" is neither a PNG file (.png) nor a raw file whose name ends in its size (_WxH.raw); "
            "give a raw file's width and height";
    return false;
  }
  if (png && width != 0) {
    error = "a PNG file carries its own size: leave out width and height";
    return false;
  }
  if (int64_t{width} * height > kMaxPicturePixels) {
    error = "a picture of " + std::to_string(width) + " x " + std::to_string(height) + " is larger than a show may use";
    return false;
  }
  pictures_.push_back({name, file, width, height, {}});
  return true;
}

void ShowScript::DeclareScene(const ShowSceneRow& row) {
  duk_context* ctx = engine_->Context();
  ShowSceneRow declared = row;
  declared.place.file = scriptName_;
  rows_.push_back(declared);
  if (row.index) lastScene_ = *row.index;
  const auto at = static_cast<duk_uarridx_t>(rows_.size() - 1);
  duk_push_global_stash(ctx);
  duk_get_prop_string(ctx, -1, kRowFunctions);
  duk_dup(ctx, -3);
  duk_put_prop_index(ctx, -2, at);
  duk_pop(ctx);
  // The window is made once and frozen: every frame of the row is given the same one.
  duk_get_prop_string(ctx, -1, kRowWindows);
  duk_push_object(ctx);
  duk_push_int(ctx, row.lower);
  duk_put_prop_string(ctx, -2, "lower");
  duk_push_int(ctx, row.upper);
  duk_put_prop_string(ctx, -2, "upper");
  if (row.index)
    duk_push_int(ctx, *row.index);
  else
    duk_push_null(ctx);
  duk_put_prop_string(ctx, -2, "index");
  duk_freeze(ctx, -1);
  duk_put_prop_index(ctx, -2, at);
  duk_pop_3(ctx);  // the windows, the stash and the function
}

bool ShowScript::ReadText(const std::string& file, std::string& text, std::string& error) {
  if (discovery_ && IsShowFileName(file) && !folder_.Has(file)) {
    texts_.push_back(file);
    text.clear();
    return true;
  }
  if (restarting_) {
    const auto read = std::find_if(textsRead_.begin(), textsRead_.end(), [&](const auto& t) { return t.first == file; });
    if (read != textsRead_.end()) {
      texts_.push_back(file);
      text = read->second;
      return true;
    }
  }
  std::vector<uint8_t> bytes;
  if (!folder_.Read(file, kMaxTextFileBytes, bytes, error)) return false;
  texts_.push_back(file);
  size_t badAt = 0;
  if (!ValidUtf8(bytes, badAt)) {
    std::string ignored;
    error = "the text file " + folder_.PathOf(file, ignored) + " is not UTF-8 (at byte " + std::to_string(badAt) + ")";
    return false;
  }
  text.assign(bytes.begin(), bytes.end());
  textsRead_.emplace_back(file, text);
  return true;
}

bool ShowScript::ReadFiles(bool blackWhenUnreadable, std::vector<std::string>& unreadable, std::string& error) {
  for (ShowPicture& picture : pictures_) {
    std::vector<uint8_t> bytes;
    if (!folder_.Read(picture.file, kMaxPictureFileBytes, bytes, error)) {
      if (blackWhenUnreadable && picture.width > 0) {
        std::string ignored;
        unreadable.push_back(folder_.PathOf(picture.file, ignored));
        picture.pixels.assign(static_cast<size_t>(picture.width) * picture.height, 0);
        error.clear();
        continue;
      }
      error = "the picture \"" + picture.name + "\": " + error;
      return false;
    }
    DecodedPicture decoded;
    if (picture.width == 0) {
      if (!DecodePng(bytes, decoded, error)) {
        std::string ignored;
        error = "the picture file " + folder_.PathOf(picture.file, ignored) + ": " + error;
        return false;
      }
    } else {
      DecodeRaw(bytes, picture.width, picture.height, decoded);
    }
    picture.width = decoded.width;
    picture.height = decoded.height;
    picture.pixels = std::move(decoded.pixels);
  }
  if (!facts_.syncPoints.empty()) {
    const std::string path = folder_.CheckedPath(facts_.syncPoints, kMaxSyncFileBytes, error);
    if (path.empty()) return false;
    if (LoadSyncPoints(path.c_str()) < 0) {
      error = "the sync file " + path + " could not be read";
      return false;
    }
    syncTimes_.assign(SyncPointTimes(), SyncPointTimes() + SyncPointCount());
  }
  if (!ReadTrackKeys(folder_, facts_.trackSource, tracks_, error)) return false;
  phase_ = Phase::kPlaying;
  return true;
}

int32_t ShowScript::TrackIndex(const std::string& name) const {
  for (size_t i = 0; i < tracks_.size(); ++i)
    if (tracks_[i].Name() == name) return static_cast<int32_t>(i);
  return -1;
}

int32_t ShowScript::DeclareTrack(const std::string& name) {
  const int32_t known = TrackIndex(name);
  if (known >= 0) return known;
  tracks_.emplace_back(name);
  return static_cast<int32_t>(tracks_.size() - 1);
}

double ShowScript::TrackValue(int32_t index) const {
  return inScene_ ? tracks_[static_cast<size_t>(index)].ValueAt(sceneRow_) : 0.0;
}

bool ShowScript::Restart(std::string& error) {
  if (phase_ != Phase::kPlaying) {
    error = scriptName_ + ": the show cannot start again before its files are read";
    return false;
  }
  std::vector<ShowPicture> read = std::move(pictures_);
  const ShowFacts declared = facts_;
  const std::chrono::milliseconds budget = engine_->CallBudget();
  // The old heap goes first: the new one may need all the memory the old one had.
  engine_.reset();
  engine_ = std::make_unique<ScriptEngine>();
  engine_->SetHost(this);
  engine_->SetCallBudget(budget);
  facts_ = ShowFacts{};
  pictures_.clear();
  rows_.clear();
  texts_.clear();
  lastScene_ = -1;
  indexFromRow_ = false;
  inScene_ = false;
  restarting_ = true;
  const bool loaded = Load(scriptName_, source_, folder_, error);
  restarting_ = false;
  if (!loaded) return false;

  bool same = pictures_.size() == read.size() && facts_.music == declared.music &&
              facts_.syncPoints == declared.syncPoints && facts_.trackSource == declared.trackSource;
  for (size_t i = 0; same && i < read.size(); ++i)
    same = pictures_[i].name == read[i].name && pictures_[i].file == read[i].file;
  if (!same) {
    error = scriptName_ + ": run again, the program declared other files than the first time; a show's program "
                          "must declare the same pictures, music, sync points and track source every time it runs";
    return false;
  }
  pictures_ = std::move(read);
  if (!facts_.syncPoints.empty()) SetSyncPoints(syncTimes_.data(), static_cast<int32_t>(syncTimes_.size()));
  phase_ = Phase::kPlaying;
  return true;
}

std::vector<std::string> ShowScript::NamedFiles() const {
  std::vector<std::string> files;
  for (const ShowPicture& picture : pictures_) files.push_back(picture.file);
  files.insert(files.end(), texts_.begin(), texts_.end());
  if (!facts_.music.empty()) files.push_back(facts_.music);
  if (!facts_.syncPoints.empty()) files.push_back(facts_.syncPoints);
  for (const std::string& file : TrackFilesOf(facts_.trackSource, tracks_))
    if (IsShowFileName(file)) files.push_back(file);
  return files;
}

bool LoadShowFolder(ShowScript& script, const std::string& showDir, std::string& error) {
  ShowFolder folder(showDir);
  std::vector<uint8_t> bytes;
  std::string why;
  if (!folder.Read(kShowScriptFile, kMaxShowScriptBytes, bytes, why)) {
    error = "the folder " + showDir + " holds no show: " + why +
            " (a show's folder holds its script, show.js, beside the files it names; quorvel4-demo --new DIR writes one)";
    return false;
  }
  std::string ignored;
  return script.Load(folder.PathOf(kShowScriptFile, ignored), std::string(bytes.begin(), bytes.end()), folder, error);
}

std::vector<std::string> DiscoverShowFiles(const std::string& showDir) {
  ShowScript script;
  script.SetDiscovery(true);
  // A failure is the real start-up's to report, once the files are there: it names the same place.
  std::string ignored;
  LoadShowFolder(script, showDir, ignored);
  std::vector<std::string> files;
  for (const std::string& file : script.NamedFiles()) {
    if (!IsShowFileName(file) || file.find_first_of("\r\n") != std::string::npos) continue;
    if (std::find(files.begin(), files.end(), file) == files.end()) files.push_back(file);
  }
  return files;
}

const ShowPicture* ShowScript::FindPicture(const std::string& name) const {
  for (const ShowPicture& picture : pictures_)
    if (picture.name == name) return &picture;
  return nullptr;
}

size_t FirstRowHolding(const std::vector<ShowSceneRow>& rows, int32_t t) {
  const auto holds = [t](const ShowSceneRow& row) { return row.lower < t && t < row.upper; };
  return static_cast<size_t>(std::find_if(rows.begin(), rows.end(), holds) - rows.begin());
}

bool ShowScript::RunScene(int32_t t, int32_t& sceneIndex, bool& ended, std::string& error) {
  const size_t found = FirstRowHolding(rows_, t);
  if (found == rows_.size()) {
    // Only a row that ran can make the index the last scene's: the index a show starts with
    // (0) ends nothing, even in a show whose last scene is numbered 0.
    if (lastScene_ >= 0 && sceneIndex == lastScene_ && indexFromRow_) {
      ended = true;
    } else {
      sceneIndex = kNoSceneIndex;
      indexFromRow_ = false;
    }
    return false;
  }
  const ShowSceneRow& row = rows_[found];
  duk_context* ctx = engine_->Context();
  const auto at = static_cast<duk_uarridx_t>(found);
  duk_push_global_stash(ctx);
  duk_get_prop_string(ctx, -1, kRowFunctions);
  duk_get_prop_string(ctx, -2, kRowWindows);
  duk_get_prop_index(ctx, -2, at);  // the function
  duk_push_int(ctx, t);
  duk_get_prop_index(ctx, -3, at);  // its window
  if (facts_.bpm > 0) sceneRow_ = RowAtMilliseconds(t, facts_.bpm, facts_.rowsPerBeat);
  inScene_ = true;
  ScriptError failure;
  const bool ok = engine_->Call(2, failure);
  inScene_ = false;
  bool converted = false;
  if (ok) {
    converted = duk_to_boolean(ctx, -1) != 0;
    duk_pop(ctx);
  } else {
    error = failure.Text() + " (in " + WindowWords(row) + ", at t = " + std::to_string(t) + ")";
  }
  duk_pop_3(ctx);  // the stash and its two arrays
  if (!ok) return false;
  if (row.index) {
    sceneIndex = *row.index;
    indexFromRow_ = true;
  }
  return converted;
}
