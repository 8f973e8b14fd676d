#include "demo/show_api.h"

#include <duktape.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "demo/cell_filters.h"
#include "demo/show_script.h"
#include "demo/show_tracks.h"
#include "demo/timeline.h"
#include "demo/utf8.h"
#include "effects/big_text.h"
#include "effects/bit_patterns.h"
#include "effects/blits.h"
#include "effects/cell_noise.h"
#include "effects/dot_cube.h"
#include "effects/emblem_ticker.h"
#include "effects/pinwheel.h"
#include "effects/plasma.h"
#include "effects/sparkles.h"
#include "effects/spiral.h"
#include "effects/starfield.h"
#include "effects/swarm.h"
#include "effects/text_lines.h"
#include "effects/water_ripples.h"
#include "quorvel4/cell_lines.h"
#include "quorvel4/console.h"
#include "quorvel4/cp437.h"
#include "quorvel4/qvl_blockcolor.h"
#include "quorvel4/random.h"
#include "quorvel4/sync_points.h"
#include "quorvel4/triangle.h"

// The canvas copy that shaken scenes draw back (the frames' own, shared with the timeline).
extern Pixel CanvasCopy[kCanvasPixels];

// One call of a binding: its arguments, checked, and its result.
class ApiCall {
 public:
  ApiCall(duk_context* ctx, const Binding& binding, ShowScript& script) : ctx_(ctx), binding_(binding), script_(script) {}

  ShowScript& Script() { return script_; }
  duk_context* Context() { return ctx_; }
  int32_t Int(size_t i) const { return static_cast<int32_t>(numbers_[i]); }
  double Number(size_t i) const { return numbers_[i]; }
  float Float(size_t i) const { return static_cast<float>(numbers_[i]); }
  bool Given(size_t i) const { return given_[i]; }
  bool IsNull(size_t i) const { return null_[i]; }
  const std::string& Text(size_t i) const { return texts_[i]; }
  const ShowPicture& Picture(size_t i) const { return *pictures_[i]; }
  // A kTrack argument's track, or -1 for a name the program is to declare.
  int32_t TrackIndex(size_t i) const { return static_cast<int32_t>(numbers_[i]); }

  void Fail(std::string message) { error_ = binding_.name + std::string(": ") + std::move(message); }
  void ReturnNumber(double value) {
    result_ = Result::kNumber;
    number_ = value;
  }
  void ReturnText(std::string text) {
    result_ = Result::kText;
    text_ = std::move(text);
  }

  // Reads and checks the arguments; false with the error set.
  bool Check();
  const std::string& Error() const { return error_; }
  // Pushes the result; the count of values pushed.
  int Push();

 private:
  bool CheckOne(size_t i, const ArgRule& rule);
  bool CheckTrack(size_t i, const ArgRule& rule);
  std::string Range(const ArgRule& rule) const;

  duk_context* ctx_;
  const Binding& binding_;
  ShowScript& script_;
  // Fixed arrays: a call takes no allocation for its arguments (every frame makes many calls).
  static constexpr size_t kMostArgs = 8;
  std::array<double, kMostArgs> numbers_{};
  std::array<std::string, kMostArgs> texts_;
  std::array<const ShowPicture*, kMostArgs> pictures_{};
  std::array<bool, kMostArgs> given_{};
  std::array<bool, kMostArgs> null_{};
  std::string error_;
  enum class Result { kNone, kNumber, kText } result_ = Result::kNone;
  double number_ = 0;
  std::string text_;
};

namespace {

// The ranges the bindings share. A time of a hundred million milliseconds (more than a day) is
// far beyond any show, and small enough that no effect's arithmetic can overflow with it.
constexpr double kTimeRange = 100000000.0;
constexpr double kPlace = 32768.0;  // coordinates that may lie off the screen
constexpr double kLineReach = 1000.0;  // a line's ends: it draws one dot a step
constexpr int kMaxTextLength = 4000;

std::string NumberText(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value > 0 ? "Infinity" : "-Infinity";
  char buffer[64];
  if (value == std::floor(value) && std::fabs(value) < 1e15) {
    std::snprintf(buffer, sizeof buffer, "%.0f", value);
    return buffer;
  }
  std::snprintf(buffer, sizeof buffer, "%.17g", value);
  // The shortest form that reads back the same.
  for (int digits = 1; digits <= 17; ++digits) {
    char shorter[64];
    std::snprintf(shorter, sizeof shorter, "%.*g", digits, value);
    if (std::strtod(shorter, nullptr) == value) return shorter;
  }
  return buffer;
}

}  // namespace

std::string ApiCall::Range(const ArgRule& rule) const {
  return "from " + NumberText(rule.low) + " to " + NumberText(rule.high);
}

// What a value is, in the words of a message.
static std::string Describe(duk_context* ctx, duk_idx_t i) {
  switch (duk_get_type(ctx, i)) {
    case DUK_TYPE_UNDEFINED:
      return "undefined";
    case DUK_TYPE_NULL:
      return "null";
    case DUK_TYPE_BOOLEAN:
      return duk_get_boolean(ctx, i) ? "true" : "false";
    case DUK_TYPE_NUMBER:
      return NumberText(duk_get_number(ctx, i));
    case DUK_TYPE_STRING: {
      std::string text = duk_get_string(ctx, i);
      if (text.size() > 40) text = text.substr(0, 40) + "...";
      return "the string \"" + text + "\"";
    }
    default:
      return duk_is_function(ctx, i) ? "a function" : "an object";
  }
}

bool ApiCall::CheckOne(size_t i, const ArgRule& rule) {
  const auto at = static_cast<duk_idx_t>(i);
  const bool present = at < duk_get_top(ctx_) && !duk_is_undefined(ctx_, at);
  given_[i] = present;
  if (!present) {
    if (rule.optional) {
      numbers_[i] = rule.fallback;
      null_[i] = rule.kind == ArgKind::kIndex;
      return true;
    }
    Fail(std::string(rule.name) + " is missing");
    return false;
  }
  // Worded only for a message: a call that passes its checks makes no strings.
  auto what = [&] { return std::string(rule.name) + " is " + Describe(ctx_, at); };
  switch (rule.kind) {
    case ArgKind::kIndex:
      if (duk_is_null(ctx_, at)) {
        null_[i] = true;
        return true;
      }
      [[fallthrough]];
    case ArgKind::kInt:
    case ArgKind::kNumber: {
      const bool whole = rule.kind != ArgKind::kNumber;
      const char* kind = whole ? "a whole number" : "a number";
      if (!duk_is_number(ctx_, at)) {
        Fail(what() + "; it must be " + kind + " " + Range(rule) + (rule.kind == ArgKind::kIndex ? ", or null" : ""));
        return false;
      }
      const double value = duk_get_number(ctx_, at);
      if (!std::isfinite(value) || value < rule.low || value > rule.high || (whole && value != std::floor(value))) {
        std::string hint;
        if (whole && std::isfinite(value) && value != std::floor(value)) hint = " (idiv(a, b) divides whole numbers)";
        Fail(what() + "; it must be " + kind + " " + Range(rule) + hint);
        return false;
      }
      numbers_[i] = value;
      return true;
    }
    case ArgKind::kText: {
      if (!duk_is_string(ctx_, at)) {
        Fail(what() + "; it must be a string");
        return false;
      }
      duk_size_t length = 0;
      const char* utf8 = duk_get_lstring(ctx_, at, &length);
      std::string error;
      if (!TextToCodePage437(std::string(utf8, length), texts_[i], error)) {
        Fail(std::string(rule.name) + ": " + error);
        return false;
      }
      if (texts_[i].size() > static_cast<size_t>(rule.high)) {
        Fail(std::string(rule.name) + " has " + std::to_string(texts_[i].size()) + " characters; at most " +
             NumberText(rule.high) + " are drawn");
        return false;
      }
      return true;
    }
    case ArgKind::kPicture: {
      if (!duk_is_string(ctx_, at)) {
        Fail(what() + "; it must be the name of a picture declared with Picture");
        return false;
      }
      const std::string name = duk_get_string(ctx_, at);
      pictures_[i] = script_.FindPicture(name);
      if (pictures_[i] == nullptr) {
        Fail("there is no picture \"" + name + "\": declare it with Picture(\"" + name + "\", FILE)");
        return false;
      }
      return true;
    }
    case ArgKind::kFile: {
      if (!duk_is_string(ctx_, at)) {
        Fail(what() + "; it must be the name of a file in the show's folder");
        return false;
      }
      texts_[i] = duk_get_string(ctx_, at);
      if (const std::string problem = ShowFileNameProblem(texts_[i]); !problem.empty()) {
        Fail(problem);
        return false;
      }
      return true;
    }
    case ArgKind::kFunction:
      if (!duk_is_function(ctx_, at)) {
        Fail(what() + "; it must be a function");
        return false;
      }
      return true;
    case ArgKind::kTrack:
      return CheckTrack(i, rule);
  }
  return true;
}

bool ApiCall::CheckTrack(size_t i, const ArgRule& rule) {
  const auto at = static_cast<duk_idx_t>(i);
  if (!duk_is_string(ctx_, at)) {
    Fail(std::string(rule.name) + " is " + Describe(ctx_, at) + "; it must be a track's name, a string");
    return false;
  }
  duk_size_t length = 0;
  const char* utf8 = duk_get_lstring(ctx_, at, &length);
  texts_[i].assign(utf8, length);
  if (length == 0 || length > static_cast<size_t>(rule.high)) {
    Fail(std::string(rule.name) + " has " + std::to_string(length) + " bytes; a track's name has 1 to " +
         NumberText(rule.high));
    return false;
  }
  numbers_[i] = script_.TrackIndex(texts_[i]);
  if (numbers_[i] < 0 && script_.CurrentPhase() != ShowScript::Phase::kDeclaring) {
    Fail("the show has no track \"" + texts_[i] + "\": its tracks are known when it loads, so write the name in "
         "the call, track(\"" + texts_[i] + "\"), or ask for it once in the script's program");
    return false;
  }
  return true;
}

bool ApiCall::Check() {
  const size_t count = binding_.args.size();
  if (binding_.phase == BindingPhase::kDeclare && script_.CurrentPhase() != ShowScript::Phase::kDeclaring) {
    Fail("declares the show, so it can be called only by the script's program, not in a scene");
    return false;
  }
  if (binding_.phase == BindingPhase::kScene && !script_.InScene()) {
    Fail("draws, so it can be called only in a scene's function");
    return false;
  }
  const auto given = static_cast<size_t>(duk_get_top(ctx_));
  size_t required = 0;
  for (const ArgRule& rule : binding_.args) required += rule.optional ? 0 : 1;
  if (given > count) {
    Fail("takes " + (required == count ? std::to_string(count) : std::to_string(required) + " to " + std::to_string(count)) +
         " argument" + (count == 1 ? "" : "s") + "; " + std::to_string(given) + " were given");
    return false;
  }
  for (size_t i = 0; i < count; ++i)
    if (!CheckOne(i, binding_.args[i])) return false;
  return true;
}

int ApiCall::Push() {
  switch (result_) {
    case Result::kNone:
      return 0;
    case Result::kNumber:
      duk_push_number(ctx_, number_);
      return 1;
    case Result::kText:
      duk_push_lstring(ctx_, text_.data(), text_.size());
      return 1;
  }
  return 0;
}

namespace {

// Every binding's native function: the arguments checked, the binding run, the result pushed.
// Duktape unwinds errors with longjmp, so the C++ objects of the call live in an inner scope
// that has ended before the error is thrown.
duk_ret_t Dispatch(duk_context* ctx) {
  const Binding& binding = ShowBindings()[static_cast<size_t>(duk_get_current_magic(ctx))];
  char failure[1024] = "";
  int results = 0;
  {
    auto* script = static_cast<ShowScript*>(EngineOf(ctx).Host());
    ApiCall call(ctx, binding, *script);
    if (call.Check()) binding.run(call);
    if (!call.Error().empty())
      std::snprintf(failure, sizeof failure, "%s", call.Error().c_str());
    else
      results = call.Push();
  }
  if (failure[0] != '\0') ThrowScriptError(ctx, binding.name, failure);
  return results;
}

// A picture drawn through a 160 x 100 window at (left, top) of it, clipped to the picture:
// where the window leaves the picture, the Canvas keeps its pixels.
template <bool kKeyed>
void BlitWindow(const ShowPicture& picture, int32_t left, int32_t top) {
  for (int32_t y = 0; y < kCanvasHeight; ++y) {
    const int64_t sy = int64_t{top} + y;
    if (sy < 0 || sy >= picture.height) continue;
    for (int32_t x = 0; x < kCanvasWidth; ++x) {
      const int64_t sx = int64_t{left} + x;
      if (sx < 0 || sx >= picture.width) continue;
      const Pixel p = picture.pixels[static_cast<size_t>(sy * picture.width + sx)];
      if (!kKeyed || p != 0) Canvas[y * kCanvasWidth + x] = p;
    }
  }
}

bool WholeWindowInside(const ShowPicture& picture, int32_t left, int32_t top) {
  return left >= 0 && top >= 0 && int64_t{left} + kCanvasWidth <= picture.width &&
         int64_t{top} + kCanvasHeight <= picture.height;
}

void RunBlit(ApiCall& call) {
  const ShowPicture& p = call.Picture(0);
  // The show's own blit where the window lies inside the picture: the same pixels, faster.
  if (WholeWindowInside(p, call.Int(1), call.Int(2)))
    BlitImage(p.pixels.data(), Canvas, p.width, p.height, call.Int(1), call.Int(2), kCanvasWidth, kCanvasHeight);
  else
    BlitWindow<false>(p, call.Int(1), call.Int(2));
}

void RunKeyedBlit(ApiCall& call) {
  const ShowPicture& p = call.Picture(0);
  if (WholeWindowInside(p, call.Int(1), call.Int(2)))
    BlitKeyedImage(p.pixels.data(), Canvas, p.width, p.height, call.Int(1), call.Int(2), kCanvasWidth, kCanvasHeight);
  else
    BlitWindow<true>(p, call.Int(1), call.Int(2));
}

bool CanvasSized(ApiCall& call, const ShowPicture& p) {
  if (p.width == kCanvasWidth && p.height == kCanvasHeight) return true;
  call.Fail("the picture \"" + p.name + "\" is " + std::to_string(p.width) + " x " + std::to_string(p.height) +
            "; this blit takes a picture of the canvas's size, 160 x 100");
  return false;
}

void RunJitter(ApiCall& call) {
  const ShowPicture& p = call.Picture(0);
  if (CanvasSized(call, p)) BlitJitteredImage(p.pixels.data(), Canvas, call.Int(1));
}

void RunWavy(ApiCall& call) {
  const ShowPicture& p = call.Picture(0);
  if (CanvasSized(call, p)) BlitWavyImage(p.pixels.data(), Canvas, p.width, p.height, call.Int(1), call.Float(2));
}

void RunShake(ApiCall& call) {
  std::copy(Canvas, Canvas + kCanvasPixels, CanvasCopy);
  BlitJitteredImage(CanvasCopy, Canvas, call.Int(0));
}

void RunConvert(ApiCall& call) {
  if (call.Script().Converter() != nullptr) call.Script().Converter()->ConvertCanvas();
}

void RunRandomFill(ApiCall&) { RandomFill(); }

void RunBigText(ApiCall& call) {
  DrawBigText(call.Text(0).c_str(), call.Int(1), call.Int(2), call.Int(3), call.Int(4), static_cast<Cell>(call.Int(5)));
}

void RunPrintAt(ApiCall& call) {
  // The library's PrintAt leaves out the last character, the newline every caller ends with.
  PrintAt(call.Int(0), call.Int(1), "%s\n", call.Text(2).c_str());
}

void RunGetPixel(ApiCall& call) { call.ReturnNumber(Canvas[call.Int(0) + kCanvasWidth * call.Int(1)]); }
void RunSetPixel(ApiCall& call) {
  Canvas[call.Int(0) + kCanvasWidth * call.Int(1)] = static_cast<Pixel>(call.Number(2));
}
void RunGetCell(ApiCall& call) { call.ReturnNumber(CellScreen[call.Int(0) + kScreenWidth * call.Int(1)]); }
void RunSetCell(ApiCall& call) { CellScreen[call.Int(0) + kScreenWidth * call.Int(1)] = static_cast<Cell>(call.Int(2)); }

void RunTitle(ApiCall& call) { call.Script().MutableFacts().title = call.Text(0); }
void RunMusic(ApiCall& call) { call.Script().MutableFacts().music = call.Text(0); }
void RunSyncPoints(ApiCall& call) { call.Script().MutableFacts().syncPoints = call.Text(0); }
void RunTempo(ApiCall& call) {
  call.Script().MutableFacts().bpm = call.Number(0);
  call.Script().MutableFacts().rowsPerBeat = call.Int(1);
}

void RunTrackSource(ApiCall& call) {
  if (const std::string problem = TrackSourceProblem(call.Text(0)); !problem.empty()) {
    call.Fail(problem);
    return;
  }
  call.Script().MutableFacts().trackSource = call.Text(0);
}

void RunTrack(ApiCall& call) {
  if (call.TrackIndex(0) < 0) {
    call.Script().DeclareTrack(call.Text(0));
    call.ReturnNumber(0);
    return;
  }
  call.ReturnNumber(call.Script().TrackValue(call.TrackIndex(0)));
}

void RunPicture(ApiCall& call) {
  std::string error;
  int32_t width = call.Given(2) ? call.Int(2) : 0;
  int32_t height = call.Given(3) ? call.Int(3) : 0;
  if (call.Given(2) != call.Given(3)) {
    call.Fail("give both width and height, or neither");
    return;
  }
  if (!call.Script().DeclarePicture(call.Text(0), call.Text(1), width, height, error)) call.Fail(error);
}

void RunText(ApiCall& call) {
  std::string text, error;
  if (call.Script().ReadText(call.Text(0), text, error))
    call.ReturnText(text);
  else
    call.Fail(error);
}

void RunScene(ApiCall& call) {
  if (call.Int(1) <= call.Int(0)) {
    call.Fail("the window " + std::to_string(call.Int(0)) + " < t < " + std::to_string(call.Int(1)) + " holds no time");
    return;
  }
  ShowSceneRow row;
  row.lower = call.Int(0);
  row.upper = call.Int(1);
  if (!call.IsNull(2)) row.index = call.Int(2);
  duk_context* ctx = call.Context();
  duk_inspect_callstack_entry(ctx, -2);
  if (duk_is_object(ctx, -1)) {
    duk_get_prop_string(ctx, -1, "lineNumber");
    row.place.line = duk_get_int(ctx, -1);
    duk_pop(ctx);
  }
  duk_pop(ctx);
  duk_dup(ctx, 3);
  call.Script().DeclareScene(row);
}

void RunFindSyncPoint(ApiCall& call) { call.ReturnNumber(FindSyncPoint(call.Int(0))); }
void RunTimeToNext(ApiCall& call) { call.ReturnNumber(TimeToNextSyncPoint(call.Int(0))); }
void RunSyncPointTime(ApiCall& call) {
  if (call.Int(0) >= SyncPointCount()) {
    call.Fail("index is " + std::to_string(call.Int(0)) + "; the sync file has " + std::to_string(SyncPointCount()) +
              " points");
    return;
  }
  call.ReturnNumber(SyncPointTimes()[call.Int(0)]);
}
void RunSyncPointCount(ApiCall& call) { call.ReturnNumber(SyncPointCount()); }

void RunRow(ApiCall& call) {
  const ShowFacts& facts = call.Script().Facts();
  if (facts.bpm <= 0) {
    call.Fail("the show has no tempo: declare one with Tempo(BPM, ROWS_PER_BEAT)");
    return;
  }
  call.ReturnNumber(RowAtMilliseconds(call.Number(0), facts.bpm, facts.rowsPerBeat));
}

void RunIdiv(ApiCall& call) {
  if (call.Int(1) == 0) {
    call.Fail("divides by 0");
    return;
  }
  // -2147483648 / -1 is the one quotient outside 32 bits: it is 2147483648, a JavaScript number.
  call.ReturnNumber(std::trunc(call.Number(0) / call.Number(1)));
}

void RunRandom(ApiCall& call) { call.ReturnNumber(Random()); }

void RunPictureWidth(ApiCall& call) { call.ReturnNumber(call.Picture(0).width); }
void RunPictureHeight(ApiCall& call) { call.ReturnNumber(call.Picture(0).height); }

template <void (*Effect)(int32_t)>
void RunTimed(ApiCall& call) {
  Effect(call.Int(0));
}
template <void (*Effect)(float)>
void RunFloatTimed(ApiCall& call) {
  Effect(call.Float(0));
}
template <void (*Effect)()>
void RunPlain(ApiCall&) {
  Effect();
}

ArgRule Time(const char* about = "the effect's time in milliseconds") { return {"t", ArgKind::kInt, -kTimeRange, kTimeRange, about}; }
ArgRule FloatTime(const char* about = "the effect's time in milliseconds, rounded to a 32-bit float") {
  return {"t", ArgKind::kNumber, -kTimeRange, kTimeRange, about};
}
ArgRule PictureArg() { return {"picture", ArgKind::kPicture, 0, 0, "the name of a declared picture"}; }
ArgRule Shift() { return {"maxShift", ArgKind::kInt, 0, 10000, "the largest shift of a row, in pixels"}; }
ArgRule Whole(const char* name, double low, double high, const char* about, bool optional = false, double fallback = 0) {
  return {name, ArgKind::kInt, low, high, about, optional, fallback};
}

std::vector<Binding> MakeBindings() {
  const char* kDeclare = "Declaring the show";
  const char* kEffects = "Effects";
  const char* kBlits = "Pictures on the canvas";
  const char* kCells = "Cells, text and filters";
  const char* kDraw = "Pixels, cells and primitives";
  const char* kTiming = "Timing and numbers";
  std::vector<Binding> b = {
      {"Title", kDeclare, BindingPhase::kDeclare, {{"text", ArgKind::kText, 0, 200, "the title"}}, "",
       "The window's (or the terminal's) title during the show.", RunTitle},
      {"Music", kDeclare, BindingPhase::kDeclare, {{"file", ArgKind::kFile, 0, 0, "an MP3 file of the show's folder"}}, "",
       "The show's music, whose playback position is its clock. A show without music runs on a silent clock at real "
       "time.",
       RunMusic},
      {"Picture", kDeclare, BindingPhase::kDeclare,
       {{"name", ArgKind::kText, 0, 100, "how the scenes call the picture"},
        {"file", ArgKind::kFile, 0, 0, "a PNG file, or a raw file of 3 bytes a pixel (red, green, blue)"},
        Whole("width", 1, 8192, "a raw file's width (else from a name ending in _WxH.raw)", true),
        Whole("height", 1, 8192, "a raw file's height", true)},
       "",
       "Declares a picture, read from the show's folder before the music starts. A PNG may have any size up to 8192 "
       "pixels a side; a wholly transparent pixel becomes black, which the keyed blit leaves out.",
       RunPicture},
      {"Text", kDeclare, BindingPhase::kDeclare, {{"file", ArgKind::kFile, 0, 0, "a UTF-8 text file of the show's folder"}},
       "the file's text",
       "Reads a text file of the show's folder (at most 1 MB), for the scenes to draw.", RunText},
      {"SyncPoints", kDeclare, BindingPhase::kDeclare,
       {{"file", ArgKind::kFile, 0, 0, "a sync file: a count, then a name line and a time for each point"}}, "",
       "Loads the library's sync points from a file of the show's folder, for FindSyncPoint and TimeToNextSyncPoint.",
       RunSyncPoints},
      {"Tempo", kDeclare, BindingPhase::kDeclare,
       {{"bpm", ArgKind::kNumber, 1, 1000, "beats per minute"}, Whole("rowsPerBeat", 1, 64, "rows of a beat")}, "",
       "The music's tempo, for Row and sync tracks.", RunTempo},
      {"TrackSource", kDeclare, BindingPhase::kDeclare,
       {{"source", ArgKind::kFile, 0, 0,
         "BASE: the track files BASE_NAME.track of the show's folder (\"sync\" if never called); or an editor's "
         "project file of the folder, a name ending in .rocket or .xml"}},
       "",
       "Where the sync tracks' keys are read from when no editor is connected, and written to when the editor "
       "saves (docs/sync-tracks.md). A missing file means a track without keys.",
       RunTrackSource},
      {"Scene", kDeclare, BindingPhase::kDeclare,
       {Whole("lower", -2147483648.0, 2147483647.0, "the window's lower bound, excluded"),
        Whole("upper", -2147483648.0, 2147483647.0, "the window's upper bound, excluded"),
        {"index", ArgKind::kIndex, -2147483648.0, 2147483647.0, "the scene index the row sets; null leaves it as it was"},
        {"draw", ArgKind::kFunction, 0, 0, "function (t, scene): draws the frame of time t; returns true when it filled the cells itself"}},
       "",
       "Adds a row to the scene table. Every frame the rows are tried in the order declared, and the first whose "
       "window holds t (lower < t < upper) runs; scene.lower, scene.upper and scene.index are the row's. Unless the "
       "function returns true, the canvas is converted into the cells after it. A frame in no window draws nothing "
       "and sets the scene index to 404, except after the show's last scene (the index of the last row that sets "
       "one) has run: then the show ends.",
       RunScene},
      {"DrawPlasma", kEffects, BindingPhase::kScene, {FloatTime()}, "", "A sine plasma over the whole canvas.",
       RunFloatTimed<DrawPlasma>},
      {"DrawBluePlasma", kEffects, BindingPhase::kScene, {FloatTime()}, "", "The plasma in blues.",
       RunFloatTimed<DrawBluePlasma>},
      {"DrawPinwheel", kEffects, BindingPhase::kScene, {Time()}, "", "A turning pinwheel, straight into the cells.",
       RunTimed<DrawPinwheel>},
      {"DrawSpiral", kEffects, BindingPhase::kScene, {Time()}, "", "A spiral fill of the cells.", RunTimed<DrawSpiral>},
      {"DrawStarfield", kEffects, BindingPhase::kScene, {Time()}, "",
       "Stars flying out of the middle; clears the canvas first.", RunTimed<DrawStarfield>},
      {"DrawWaterRipples", kEffects, BindingPhase::kScene, {Time("milliseconds since the ripples began")}, "",
       "Water ripples on the canvas; they keep their waves from frame to frame.", RunTimed<DrawWaterRipples>},
      {"DrawTextLines", kEffects, BindingPhase::kScene, {Time()}, "", "Rolling lines of text in the cells.",
       RunTimed<DrawTextLines>},
      {"DrawXorPattern", kEffects, BindingPhase::kScene, {Time()}, "", "An x xor y pattern on the canvas.",
       RunTimed<DrawXorPattern>},
      {"DrawAndPattern", kEffects, BindingPhase::kScene, {Time()}, "", "An x and y pattern on the canvas.",
       RunTimed<DrawAndPattern>},
      {"DrawEmblemTicker", kEffects, BindingPhase::kScene, {Time()}, "", "The ticker of emblems in the cells.",
       RunTimed<DrawEmblemTicker>},
      {"DrawCellNoise", kEffects, BindingPhase::kScene, {Time("milliseconds since the noise began")}, "",
       "Random characters in random colours over the cells.", RunTimed<DrawCellNoise>},
      {"MoveSparkles", kEffects, BindingPhase::kScene, {}, "", "Moves the sparkles on one step.",
       RunPlain<MoveSparkles>},
      {"DrawSparkles", kEffects, BindingPhase::kScene, {}, "", "Draws the sparkles on the canvas.",
       RunPlain<DrawSparkles>},
      {"MoveSwarm", kEffects, BindingPhase::kScene, {}, "", "Moves the swarm on one step.", RunPlain<MoveSwarm>},
      {"DrawSwarm", kEffects, BindingPhase::kScene, {}, "", "Draws the swarm on the canvas.", RunPlain<DrawSwarm>},
      {"DrawDotCube", kEffects, BindingPhase::kScene, {Time()}, "", "The turning lattice of dots on the canvas.",
       RunTimed<DrawDotCube>},
      {"DrawDotCubeClose", kEffects, BindingPhase::kScene, {Time("milliseconds since the close-up began")}, "",
       "The lattice seen from close by.", RunTimed<DrawDotCubeClose>},
      {"BlitImage", kBlits, BindingPhase::kScene,
       {PictureArg(), Whole("left", -kPlace, kPlace, "the picture's column at the canvas's left edge", true),
        Whole("top", -kPlace, kPlace, "the picture's row at the canvas's top edge", true)},
       "",
       "Copies the 160 x 100 window of the picture at (left, top) onto the canvas; where the window leaves the "
       "picture, the canvas keeps its pixels.",
       RunBlit},
      {"BlitKeyedImage", kBlits, BindingPhase::kScene,
       {PictureArg(), Whole("left", -kPlace, kPlace, "as BlitImage", true),
        Whole("top", -kPlace, kPlace, "as BlitImage", true)},
       "", "As BlitImage, leaving out the picture's black pixels (0).", RunKeyedBlit},
      {"BlitJitteredImage", kBlits, BindingPhase::kScene, {PictureArg(), Shift()}, "",
       "A 160 x 100 picture onto the canvas, every row shifted sideways by its own random amount from -(maxShift / 2) "
       "to maxShift - maxShift / 2 (one random draw a row).",
       RunJitter},
      {"BlitWavyImage", kBlits, BindingPhase::kScene,
       {PictureArg(), Time("the wave's time"), {"amplitude", ArgKind::kNumber, -1000, 1000, "the wave's height in pixels"}},
       "", "A 160 x 100 picture onto the canvas, its rows moving up and down on a sine wave.", RunWavy},
      {"ShakeCanvas", kBlits, BindingPhase::kScene, {Shift()}, "",
       "The finished canvas shaken: copied aside, then drawn back over itself as BlitJitteredImage draws.", RunShake},
      {"Convert2x2", kCells, BindingPhase::kScene, {}, "",
       "Converts the whole canvas into the cells now, two by two pixels a cell (a scene that lays text or filters "
       "over the converted picture calls it, then returns true).",
       RunConvert},
      {"FilterXorTime", kCells, BindingPhase::kScene, {Time()}, "", "Each cell xor (t + 18761), shifted left 2 bits.",
       RunTimed<FilterXorTime>},
      {"FilterXorRamp", kCells, BindingPhase::kScene, {Time()}, "",
       "Each cell xor (((t + index) xor 0x89) and 0xF0), shifted left 1 bit.", RunTimed<FilterXorRamp>},
      {"FilterMask", kCells, BindingPhase::kScene, {}, "", "Each cell and 0x4949, shifted right 2 bits.",
       RunPlain<FilterMask>},
      {"FilterNoise", kCells, BindingPhase::kScene, {Time()}, "", "A noise that crawls along the cells.",
       RunTimed<FilterNoise>},
      {"FilterInvert", kCells, BindingPhase::kScene, {}, "", "Every bit of every cell inverted.", RunPlain<FilterInvert>},
      {"FilterBars", kCells, BindingPhase::kScene, {Time("milliseconds since the bars began")}, "",
       "Two bands of dark vertical bars moving across the cells.", RunTimed<FilterBars>},
      {"DrawBigText", kCells, BindingPhase::kScene,
       {{"text", ArgKind::kText, 0, kMaxTextLength, "the text"},
        Whole("column", -kPlace, kPlace, "the first character's column"), Whole("row", -kPlace, kPlace, "its top row"),
        Whole("scroll", -2147483648.0, 2147483647.0, "columns the text has moved left"),
        Whole("rise", -kPlace, kPlace, "rows the text has moved up"),
        Whole("cell", 0, 65535, "the cell every lit glyph pixel becomes (attribute << 8 | character)")},
       "", "Text in the big 8 x 12 font, every lit pixel of a glyph one cell (7 columns a character).", RunBigText},
      {"PrintAt", kCells, BindingPhase::kScene,
       {Whole("column", 0, 79, "the column"), Whole("row", 0, 49, "the row"),
        {"text", ArgKind::kText, 0, 500, "the text, white on black, running on into the next rows"}},
       "", "Writes a text into the cells.", RunPrintAt},
      {"RandomFill", kDraw, BindingPhase::kScene, {}, "",
       "One random colour over the whole canvas (three draws: blue, green, red).", RunRandomFill},
      {"GetPixel", kDraw, BindingPhase::kScene, {Whole("x", 0, 159, "the column"), Whole("y", 0, 99, "the row")},
       "the pixel, 0xBBGGRR", "A pixel of the canvas (the canvas array is faster for many).", RunGetPixel},
      {"SetPixel", kDraw, BindingPhase::kScene,
       {Whole("x", 0, 159, "the column"), Whole("y", 0, 99, "the row"), Whole("pixel", 0, 16777215, "0xBBGGRR")}, "",
       "Sets a pixel of the canvas.", RunSetPixel},
      {"GetCell", kDraw, BindingPhase::kScene, {Whole("x", 0, 79, "the column"), Whole("y", 0, 49, "the row")},
       "the cell, attribute << 8 | character", "A cell of the screen (the cells array is faster for many).", RunGetCell},
      {"SetCell", kDraw, BindingPhase::kScene,
       {Whole("x", 0, 79, "the column"), Whole("y", 0, 49, "the row"),
        Whole("cell", 0, 65535, "attribute << 8 | character")},
       "", "Sets a cell of the screen.", RunSetCell},
      {"PlotDot", kDraw, BindingPhase::kScene,
       {Whole("x", -kPlace, kPlace, "the column"), Whole("y", -kPlace, kPlace, "the row"),
        Whole("colour", 0, 65535, "the attribute, shifted left 8 bits (0x0F00: white)")},
       "", "A dot character in the cells, pinned to the screen's edges.",
       [](ApiCall& call) { PlotDot(call.Int(0), call.Int(1), call.Int(2)); }},
      {"DrawLine", kDraw, BindingPhase::kScene,
       {Whole("x1", -kLineReach, kLineReach, "the first end's column"), Whole("y1", -kLineReach, kLineReach, "its row"),
        Whole("x2", -kLineReach, kLineReach, "the other end's column"), Whole("y2", -kLineReach, kLineReach, "its row"),
        Whole("colour", 0, 65535, "as PlotDot")},
       "", "A line of dots in the cells, one a step of its longer axis.",
       [](ApiCall& call) { DrawLine(call.Int(0), call.Int(1), call.Int(2), call.Int(3), call.Int(4)); }},
      {"FillTriangle", kDraw, BindingPhase::kScene,
       {Whole("x0", -kPlace, kPlace, "a corner's column"), Whole("y0", -kPlace, kPlace, "its row"),
        Whole("x1", -kPlace, kPlace, "the second corner's column"), Whole("y1", -kPlace, kPlace, "its row"),
        Whole("x2", -kPlace, kPlace, "the third corner's column"), Whole("y2", -kPlace, kPlace, "its row"),
        Whole("pixel", 0, 16777215, "0xBBGGRR")},
       "", "A solid triangle on the canvas, clipped to it.",
       [](ApiCall& call) {
         FillTriangle(call.Int(0), call.Int(1), call.Int(2), call.Int(3), call.Int(4), call.Int(5),
                      static_cast<Pixel>(call.Number(6)));
       }},
      {"PictureWidth", kBlits, BindingPhase::kScene, {PictureArg()}, "the width in pixels", "A declared picture's width.",
       RunPictureWidth},
      {"PictureHeight", kBlits, BindingPhase::kScene, {PictureArg()}, "the height in pixels",
       "A declared picture's height.", RunPictureHeight},
      {"FindSyncPoint", kTiming, BindingPhase::kScene, {Time("a time in milliseconds")},
       "the index of the last point before t, or -1",
       "Which sync point t has passed: the point before the first one at or after t.", RunFindSyncPoint},
      {"TimeToNextSyncPoint", kTiming, BindingPhase::kScene, {Time("a time in milliseconds")},
       "milliseconds, or -1 when no point lies at or after t", "How long until the first sync point at or after t.",
       RunTimeToNext},
      {"SyncPointTime", kTiming, BindingPhase::kScene, {Whole("index", 0, 2147483647.0, "a point's index")},
       "its time in milliseconds", "The time of a sync point.", RunSyncPointTime},
      {"SyncPointCount", kTiming, BindingPhase::kScene, {}, "the number of points", "How many sync points were loaded.",
       RunSyncPointCount},
      {"Row", kTiming, BindingPhase::kAny, {{"t", ArgKind::kNumber, -kTimeRange, kTimeRange, "a time in milliseconds"}},
       "the row, a fraction", "The music's row at t: t / 1000 x bpm / 60 x rows per beat (needs Tempo).", RunRow},
      {"track", kTiming, BindingPhase::kAny,
       {{"name", ArgKind::kTrack, 0, 4096, "the track's name, \"group:name\" groups it in an editor"}},
       "the value, a number",
       "A sync track's value at the frame's row (Row(t), a fraction), as its keys and their interpolations say; 0 "
       "while it has no keys. The show's tracks are the names written in track(\"...\") anywhere in show.js "
       "(comments aside) and those its program asks for: called in the program, track declares the name and gives "
       "0. Needs Tempo.",
       RunTrack},
      {"idiv", kTiming, BindingPhase::kAny,
       {Whole("a", -2147483648.0, 2147483647.0, "the dividend"), Whole("b", -2147483648.0, 2147483647.0, "the divisor, not 0")},
       "the quotient truncated toward zero", "Integer division as C does it (the remainder a % b has a's sign).",
       RunIdiv},
      {"Random", kTiming, BindingPhase::kAny, {}, "0 to 32767",
       "One draw of the show's random generator, the one every effect draws from (Math.random draws from it too).",
       RunRandom},
  };
  return b;
}

}  // namespace

const std::vector<Binding>& ShowBindings() {
  static const std::vector<Binding> bindings = [] {
    std::vector<Binding> made = MakeBindings();
    for (const Binding& binding : made)
      if (binding.args.size() > 8) std::abort();  // ApiCall keeps at most 8 arguments
    return made;
  }();
  return bindings;
}

const std::vector<ApiValue>& ShowValues() {
  static const std::vector<ApiValue> values = {
      {"canvas", "the 160 x 100 canvas as a Uint32Array of 16,000 pixels 0xBBGGRR, row by row (pixel (x, y) is "
                 "canvas[x + 160 * y]); cleared after every frame"},
      {"cells", "the 80 x 50 screen as a Uint16Array of 4,000 cells, attribute << 8 | character (cell (x, y) is "
                "cells[x + 80 * y]); cleared after every frame"},
      {"CANVAS_WIDTH, CANVAS_HEIGHT", "160 and 100"},
      {"SCREEN_WIDTH, SCREEN_HEIGHT", "80 and 50"},
      {"Math.sin, Math.cos", "correctly rounded, the same bits on every platform"},
      {"Math.fround", "rounds to a 32-bit float, as the effects store their floats"},
      {"Math.random", "one draw of the show's generator divided by 32768"},
      {"Math.pow", "whole exponents only, by multiplication (other Math functions whose results differ between "
                   "platforms, such as Math.exp or Math.atan2, stop the script with a message)"},
  };
  return values;
}

namespace {

void PushTypedArray(duk_context* ctx, void* data, size_t bytes, duk_uint_t kind) {
  duk_push_external_buffer(ctx);
  duk_config_buffer(ctx, -1, data, bytes);
  duk_push_buffer_object(ctx, -1, 0, bytes, kind);
  duk_remove(ctx, -2);
}

void PutNumber(duk_context* ctx, const char* name, double value) {
  duk_push_number(ctx, value);
  duk_put_prop_string(ctx, -2, name);
}

}  // namespace

void InstallShowApi(duk_context* ctx) {
  duk_push_global_object(ctx);
  const std::vector<Binding>& bindings = ShowBindings();
  for (size_t i = 0; i < bindings.size(); ++i) {
    duk_push_c_function(ctx, Dispatch, DUK_VARARGS);
    duk_set_magic(ctx, -1, static_cast<duk_int_t>(i));
    // A function's name is read-only: defined, not assigned.
    duk_push_string(ctx, "name");
    duk_push_string(ctx, bindings[i].name);
    duk_def_prop(ctx, -3, DUK_DEFPROP_HAVE_VALUE | DUK_DEFPROP_FORCE);
    duk_put_prop_string(ctx, -2, bindings[i].name);
  }
  PushTypedArray(ctx, Canvas, sizeof Canvas, DUK_BUFOBJ_UINT32ARRAY);
  duk_put_prop_string(ctx, -2, "canvas");
  PushTypedArray(ctx, CellScreen, sizeof CellScreen, DUK_BUFOBJ_UINT16ARRAY);
  duk_put_prop_string(ctx, -2, "cells");
  PutNumber(ctx, "CANVAS_WIDTH", kCanvasWidth);
  PutNumber(ctx, "CANVAS_HEIGHT", kCanvasHeight);
  PutNumber(ctx, "SCREEN_WIDTH", kScreenWidth);
  PutNumber(ctx, "SCREEN_HEIGHT", kScreenHeight);
  duk_pop(ctx);
}

bool TextToCodePage437(const std::string& utf8, std::string& codes, std::string& error) {
  codes.clear();
  size_t i = 0;
  int position = 0;
  while (i < utf8.size()) {
    char32_t cp = 0;
    if (!DecodeUtf8(utf8, i, cp)) {
      error = "the text is not valid UTF-8 at byte " + std::to_string(i);
      return false;
    }
    ++position;
    if (cp == 0) {
      error = "character " + std::to_string(position) + " is U+0000, which ends a text and cannot be drawn";
      return false;
    }
    int code = cp < 0x80 ? static_cast<int>(cp) : -1;
    for (int c = 1; code < 0 && c < 256; ++c)
      if (kCp437ToUnicode[c] == cp && (c < 0x20 || c >= 0x7F)) code = c;
    if (code < 0) {
      char hex[16];
      std::snprintf(hex, sizeof hex, "U+%04X", static_cast<unsigned>(cp));
      error = "character " + std::to_string(position) + " (" + hex + ") has no glyph in code page 437";
      return false;
    }
    codes.push_back(static_cast<char>(code));
  }
  return true;
}

namespace {

const char* KindWords(ArgKind kind) {
  switch (kind) {
    case ArgKind::kInt:
      return "whole number";
    case ArgKind::kNumber:
      return "number";
    case ArgKind::kText:
      return "string";
    case ArgKind::kPicture:
      return "picture name";
    case ArgKind::kFile:
      return "file name";
    case ArgKind::kFunction:
      return "function";
    case ArgKind::kIndex:
      return "whole number or null";
    case ArgKind::kTrack:
      return "track name";
  }
  return "";
}

std::string RangeWords(const ArgRule& rule) {
  switch (rule.kind) {
    case ArgKind::kInt:
    case ArgKind::kNumber:
    case ArgKind::kIndex:
      return NumberText(rule.low) + " to " + NumberText(rule.high);
    case ArgKind::kText:
      return "at most " + NumberText(rule.high) + " characters";
    case ArgKind::kTrack:
      return "1 to " + NumberText(rule.high) + " bytes of UTF-8";
    default:
      return "";
  }
}

const char* PhaseWords(BindingPhase phase) {
  switch (phase) {
    case BindingPhase::kDeclare:
      return "in the script's program (not in a scene)";
    case BindingPhase::kScene:
      return "in a scene";
    case BindingPhase::kAny:
      return "anywhere";
  }
  return "";
}

}  // namespace

std::string ShowApiReference() {
  std::string page =
      "# The show's functions\n\n"
      "<!-- Made from the binding table in demo/show_api.cpp by `quorvel4-demo --api-reference`; do not edit. -->\n\n"
      "Every function checks its arguments: a value of the wrong kind, NaN, an infinity, a number out of its range "
      "or a picture that was not declared stops the show with one message naming the function, the argument and "
      "the place in the script. Whole numbers must be whole: `idiv(a, b)` divides them as C does.\n";
  std::string group;
  for (const Binding& binding : ShowBindings()) {
    if (group != binding.group) {
      group = binding.group;
      page += "\n## " + group + "\n";
    }
    std::string signature;
    int optional = 0;
    for (const ArgRule& rule : binding.args) {
      if (rule.optional) {
        signature += "[";
        ++optional;
      }
      signature += (signature.empty() || signature == "[" ? "" : ", ") + std::string(rule.name);
    }
    signature += std::string(static_cast<size_t>(optional), ']');
    page += "\n### `" + std::string(binding.name) + "(" + signature + ")`\n\n";
    page += std::string(binding.about) + " Called " + PhaseWords(binding.phase) + ".";
    if (binding.returns[0] != '\0') page += " Returns " + std::string(binding.returns) + ".";
    page += "\n";
    if (!binding.args.empty()) {
      page += "\n| argument | kind | range | what it is |\n|---|---|---|---|\n";
      for (const ArgRule& rule : binding.args) {
        std::string about = rule.about;
        if (rule.optional && rule.kind != ArgKind::kIndex) about += " (optional; " + NumberText(rule.fallback) + " if left out)";
        page += "| `" + std::string(rule.name) + "` | " + KindWords(rule.kind) + " | " + RangeWords(rule) + " | " + about +
                " |\n";
      }
    }
  }
  page += "\n## Values\n\n| name | what it is |\n|---|---|\n";
  for (const ApiValue& value : ShowValues()) page += "| `" + std::string(value.name) + "` | " + value.about + " |\n";
  return page;
}
