#include "demo/script_engine.h"

#include <ctime>

#include <duktape.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "quorvel4/console.h"
#include "quorvel4/qmath.h"
#include "quorvel4/random.h"

// Duktape unwinds a thrown error with longjmp, which skips C++ destructors: every native function
// here keeps its C++ objects in inner scopes that have ended before it throws.

namespace {

// Each block the heap takes carries its size in front, so that the engine can keep the total.
struct alignas(std::max_align_t) BlockHeader {
  size_t size;
};

// The process's processor time (where the C library keeps none, as on Windows, the time since
// the process started, which is what clock() gives there).
int64_t ProcessorMicroseconds() {
  return static_cast<int64_t>(static_cast<double>(std::clock()) * (1e6 / CLOCKS_PER_SEC));
}

void* HeapAlloc(void* udata, duk_size_t size) { return static_cast<ScriptEngine*>(udata)->Allocate(size); }
void* HeapRealloc(void* udata, void* block, duk_size_t size) {
  return static_cast<ScriptEngine*>(udata)->Reallocate(block, size);
}
void HeapFree(void* udata, void* block) { static_cast<ScriptEngine*>(udata)->Free(block); }

// Reached only for an error outside every protected call, which the host never makes: the
// console is given back before the process ends, as on every other way out.
void HeapFatal(void*, const char* message) {
  ShutdownConsole();
  std::fprintf(stderr, "the script engine failed: %s\n", message != nullptr ? message : "(no message)");
  std::fflush(stderr);
  std::abort();
}

std::string Trimmed(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

// The line'th line of `source` (1-based), or empty.
std::string LineOf(const std::string& source, int line) {
  size_t start = 0;
  for (int n = 1; n < line; ++n) {
    start = source.find('\n', start);
    if (start == std::string::npos) return "";
    ++start;
  }
  const size_t end = source.find('\n', start);
  return source.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

bool IsNameChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$'; }

// The column (1-based) of the word `name` on `text`, or of its first character that is not
// blank when the word is not there.
int ColumnOf(const std::string& text, const std::string& name) {
  if (!name.empty()) {
    for (size_t at = text.find(name); at != std::string::npos; at = text.find(name, at + 1)) {
      const bool startsWord = at == 0 || !IsNameChar(text[at - 1]);
      const bool endsWord = at + name.size() >= text.size() || !IsNameChar(text[at + name.size()]);
      if (startsWord && endsWord) return static_cast<int>(at) + 1;
    }
  }
  const size_t first = text.find_first_not_of(" \t");
  return first == std::string::npos ? 1 : static_cast<int>(first) + 1;
}

// The name an error message quotes ("identifier 'Foo' undefined", "... property 'bar' of ..."),
// which is where on its line the error arose.
std::string QuotedName(const std::string& message) {
  const size_t open = message.find('\'');
  if (open == std::string::npos) return "";
  const size_t close = message.find('\'', open + 1);
  if (close == std::string::npos) return "";
  return message.substr(open + 1, close - open - 1);
}

// Duktape's syntax errors end with "(line N)" or "(line N, end of input)".
int LineInMessage(const std::string& message, bool* atEnd) {
  const size_t at = message.rfind("(line ");
  if (at == std::string::npos) return 0;
  *atEnd = message.find("end of input", at) != std::string::npos;
  return std::atoi(message.c_str() + at + 6);
}

std::string WithoutLine(const std::string& message) {
  const size_t at = message.rfind(" (line ");
  return at == std::string::npos ? message : message.substr(0, at);
}

// The script's sin and cos are the library's, correctly rounded, the same bits everywhere.
duk_ret_t ExactSin(duk_context* ctx) {
  duk_push_number(ctx, QvlSin(duk_to_number(ctx, 0)));
  return 1;
}
duk_ret_t ExactCos(duk_context* ctx) {
  duk_push_number(ctx, QvlCos(duk_to_number(ctx, 0)));
  return 1;
}
// Math.random from the show's generator: one draw, 0 <= x < 1 in steps of 1/32768.
duk_ret_t ShowRandom(duk_context* ctx) {
  duk_push_number(ctx, double(Random()) / double(kRandomMax + 1));
  return 1;
}
// A whole exponent is worked out by multiplication, the same everywhere; the platforms' pow
// differs in the last bit for others.
duk_ret_t ExactPow(duk_context* ctx) {
  const double base = duk_to_number(ctx, 0);
  const double exponent = duk_to_number(ctx, 1);
  if (std::isnan(exponent) || std::isnan(base) || exponent != std::floor(exponent) || std::fabs(exponent) > 1024.0) {
    char message[200];
    std::snprintf(message, sizeof message,
                  "Math.pow takes a whole exponent of at most 1024 in a show (other powers differ between platforms); "
                  "%g was given",
                  exponent);
    ThrowScriptError(ctx, "pow", message);
  }
  double result = 1.0;
  double factor = base;
  for (auto n = static_cast<long long>(std::fabs(exponent)); n > 0; n >>= 1) {
    if ((n & 1) != 0) result *= factor;
    factor *= factor;
  }
  duk_push_number(ctx, exponent < 0 ? 1.0 / result : result);
  return 1;
}
duk_ret_t Fround(duk_context* ctx) {
  duk_push_number(ctx, static_cast<double>(static_cast<float>(duk_to_number(ctx, 0))));
  return 1;
}
// A Math function whose results differ between platforms' C libraries.
duk_ret_t RefusedMath(duk_context* ctx) {
  duk_push_current_function(ctx);
  duk_get_prop_string(ctx, -1, "qvlName");
  const char* name = duk_get_string(ctx, -1);
  char message[300];
  std::snprintf(message, sizeof message,
                "Math.%s is not the same on every platform, so a show cannot use it (Math.sin, Math.cos, Math.sqrt "
                "and whole powers are exact)",
                name != nullptr ? name : "?");
  ThrowScriptError(ctx, name != nullptr ? name : "", message);
}
duk_ret_t RefusedDate(duk_context* ctx) {
  ThrowScriptError(ctx, "Date",
                   "Date is not available in a show: it reads the wall clock, and a show's only clock is the time its "
                   "scenes are given");
}

void PutFunction(duk_context* ctx, duk_idx_t object, const char* name, duk_c_function fn, duk_idx_t args) {
  duk_push_c_function(ctx, fn, args);
  duk_put_prop_string(ctx, object < 0 ? object - 1 : object, name);
}

}  // namespace

extern "C" int qvl_script_interrupted(void* udata) {
  return udata != nullptr && static_cast<ScriptEngine*>(udata)->Interrupted() ? 1 : 0;
}

std::string ScriptError::Text() const {
  std::string where = place.file;
  // Appended a piece at a time: GCC 12 warns of a bogus overlap in ":" + std::to_string(...).
  if (place.line > 0) (where += ':') += std::to_string(place.line);
  if (place.line > 0 && place.column > 0) (where += ':') += std::to_string(place.column);
  return where.empty() ? message : where + ": " + message;
}

ScriptEngine::ScriptEngine(size_t heapLimit) : heapLimit_(heapLimit) {
  ctx_ = duk_create_heap(HeapAlloc, HeapRealloc, HeapFree, this, HeapFatal);
  if (ctx_ != nullptr) InstallSandbox();
}

ScriptEngine::~ScriptEngine() {
  if (ctx_ != nullptr) duk_destroy_heap(ctx_);
}

// A call that has been refused memory, or has run out of time, is stopped at the engine's next
// interrupt check, not at the refusal itself: the engine must still allocate to throw the error
// that ends it. Near the heap's limit every allocation would otherwise run the garbage
// collector again and again, and the call crawl on for minutes. The time is also looked at
// here, every 1024 allocations, for a long native function (a join of a huge array), which
// runs between interrupt checks.
void ScriptEngine::NoteAllocation() {
  if (armed_ && !timedOut_ && (++allocations_ & 1023) == 0 && ProcessorMicroseconds() > deadlineUs_)
    timedOut_ = true;
}

// Whether a call being stopped may still have `size` more bytes: only small blocks, within a
// reserve beyond the limit, which the engine needs to make and throw the error that ends the
// call. A large block (the result of a join, a big array) is what keeps a runaway going.
bool ScriptEngine::MayGrow(size_t size) const {
  const bool stopping = armed_ && (timedOut_ || refusedMemory_);
  const size_t limit = stopping ? heapLimit_ + kStopReserve : heapLimit_;
  if (stopping && size >= kLargeBlock) return false;
  return size <= limit - std::min(limit, heapBytes_);
}

void* ScriptEngine::Allocate(size_t size) {
  NoteAllocation();
  if (!MayGrow(size)) {
    refusedMemory_ = refusedMemory_ || !timedOut_;
    return nullptr;
  }
  auto* header = static_cast<BlockHeader*>(std::malloc(sizeof(BlockHeader) + size));
  if (header == nullptr) return nullptr;
  header->size = size;
  heapBytes_ += size;
  return header + 1;
}

void* ScriptEngine::Reallocate(void* block, size_t size) {
  if (block == nullptr) return Allocate(size);
  BlockHeader* header = static_cast<BlockHeader*>(block) - 1;
  const size_t old = header->size;
  NoteAllocation();
  if (size > old && !MayGrow(size - old)) {
    refusedMemory_ = refusedMemory_ || !timedOut_;
    return nullptr;
  }
  auto* moved = static_cast<BlockHeader*>(std::realloc(header, sizeof(BlockHeader) + size));
  if (moved == nullptr) return nullptr;
  moved->size = size;
  heapBytes_ = heapBytes_ - old + size;
  return moved + 1;
}

void ScriptEngine::Free(void* block) {
  if (block == nullptr) return;
  BlockHeader* header = static_cast<BlockHeader*>(block) - 1;
  heapBytes_ -= header->size;
  std::free(header);
}

bool ScriptEngine::Interrupted() {
  if (!armed_) return false;
  if (!timedOut_ && ProcessorMicroseconds() > deadlineUs_) timedOut_ = true;
  return timedOut_ || refusedMemory_;
}

void ScriptEngine::Arm() {
  deadlineUs_ = ProcessorMicroseconds() + budget_.count() * 1000;
  armed_ = true;
  timedOut_ = false;
  refusedMemory_ = false;
}

// What the script may reach: the language's own objects, with the few that would make a show
// depend on its machine replaced.
void ScriptEngine::InstallSandbox() {
  duk_push_global_object(ctx_);
  // Duktape's own object reaches the garbage collector, finalizers and the engine's internals.
  duk_del_prop_string(ctx_, -1, "Duktape");
  PutFunction(ctx_, -1, "Date", RefusedDate, DUK_VARARGS);
  duk_get_prop_string(ctx_, -1, "Math");
  static const char* const kExact[] = {"abs", "ceil", "floor", "max", "min", "round", "sqrt", "sign", "trunc", "imul",
                                      "clz32"};
  std::vector<std::string> refused;
  duk_enum(ctx_, -1, DUK_ENUM_INCLUDE_NONENUMERABLE | DUK_ENUM_OWN_PROPERTIES_ONLY);
  while (duk_next(ctx_, -1, 1)) {
    const bool function = duk_is_function(ctx_, -1);
    const std::string name = duk_safe_to_string(ctx_, -2);
    bool exact = false;
    for (const char* keep : kExact) exact = exact || name == keep;
    if (function && !exact) refused.push_back(name);
    duk_pop_2(ctx_);
  }
  duk_pop(ctx_);  // the enumerator
  for (const std::string& name : refused) {
    duk_push_c_function(ctx_, RefusedMath, DUK_VARARGS);
    duk_push_string(ctx_, name.c_str());
    duk_put_prop_string(ctx_, -2, "qvlName");
    duk_put_prop_string(ctx_, -2, name.c_str());
  }
  PutFunction(ctx_, -1, "sin", ExactSin, 1);
  PutFunction(ctx_, -1, "cos", ExactCos, 1);
  PutFunction(ctx_, -1, "random", ShowRandom, 0);
  PutFunction(ctx_, -1, "pow", ExactPow, 2);
  PutFunction(ctx_, -1, "fround", Fround, 1);
  duk_pop(ctx_);  // Math
  duk_pop(ctx_);  // the global object
}

const std::string* ScriptEngine::SourceOf(const std::string& name) const {
  return name == programName_ ? &programSource_ : nullptr;
}

// A syntax error names its line but not its column. The column is found by compiling the
// source cut short. Duktape reports "end of input" when the token it stopped at ends where the
// source does, so the shortest cut that fails on that line, and not at its end, holds the wrong
// token and the one character after it that ended the token; the line's own line break counts,
// or a token last on its line would never be found.
ScriptPlace ScriptEngine::PlaceOfSyntaxError(const std::string& name, const std::string& source, int line) const {
  ScriptPlace place{name, line, 0};
  size_t lineStart = 0;
  for (int n = 1; n < line && lineStart != std::string::npos; ++n) {
    lineStart = source.find('\n', lineStart);
    if (lineStart != std::string::npos) ++lineStart;
  }
  if (lineStart == std::string::npos) return place;
  size_t lineEnd = source.find('\n', lineStart);
  lineEnd = lineEnd == std::string::npos ? source.size() : lineEnd + 1;
  auto failsHere = [&](size_t end) {
    duk_push_string(ctx_, name.c_str());
    const bool failed = duk_pcompile_lstring_filename(ctx_, 0, source.data(), end) != 0;
    bool atEnd = false;
    const int at = failed ? LineInMessage(duk_safe_to_string(ctx_, -1), &atEnd) : 0;
    duk_pop(ctx_);
    return failed && !atEnd && at == line;
  };
  size_t low = lineStart;  // fails not here
  size_t high = lineEnd;   // fails here (the whole line does)
  if (!failsHere(high)) return place;
  while (high - low > 1) {
    const size_t middle = low + (high - low) / 2;
    if (failsHere(middle))
      high = middle;
    else
      low = middle;
  }
  // The wrong token's last character, then its first: a name's or a number's, or a string's
  // opening quote; a punctuator is named by its last character.
  if (high < lineStart + 2) {
    place.column = 1;
    return place;
  }
  size_t start = high - 2;
  if (IsNameChar(source[start])) {
    while (start > lineStart && IsNameChar(source[start - 1])) --start;
  } else if (source[start] == '"' || source[start] == '\'') {
    const size_t opening = source.rfind(source[start], start == lineStart ? start : start - 1);
    if (opening != std::string::npos && opening >= lineStart && opening < start) start = opening;
  }
  place.column = static_cast<int>(start - lineStart) + 1;
  return place;
}

// The last line of `source` that holds more than blanks (1 for a blank source).
static int LastFilledLine(const std::string& source) {
  int line = 1, filled = 1;
  bool blank = true;
  for (char c : source) {
    if (c == '\n') {
      if (!blank) filled = line;
      ++line;
      blank = true;
    } else if (c != ' ' && c != '\t' && c != '\r') {
      blank = false;
    }
  }
  return blank ? filled : line;
}

ScriptError ScriptEngine::TakeError() {
  ScriptError error;
  if (duk_is_error(ctx_, -1)) {
    duk_get_prop_string(ctx_, -1, "fileName");
    if (duk_is_string(ctx_, -1)) error.place.file = duk_get_string(ctx_, -1);
    duk_pop(ctx_);
    duk_get_prop_string(ctx_, -1, "qvlLine");
    if (!duk_is_number(ctx_, -1)) {
      duk_pop(ctx_);
      duk_get_prop_string(ctx_, -1, "lineNumber");
    }
    if (duk_is_number(ctx_, -1)) error.place.line = duk_get_int(ctx_, -1);
    duk_pop(ctx_);
    duk_get_prop_string(ctx_, -1, "qvlFile");
    if (duk_is_string(ctx_, -1)) error.place.file = duk_get_string(ctx_, -1);
    duk_pop(ctx_);
    duk_get_prop_string(ctx_, -1, "qvlCallee");
    const std::string callee = duk_is_string(ctx_, -1) ? duk_get_string(ctx_, -1) : "";
    duk_pop(ctx_);
    error.message = Trimmed(duk_safe_to_string(ctx_, -1));
    std::string hint = callee.empty() ? QuotedName(error.message) : callee;
    if (const std::string* source = SourceOf(error.place.file); source != nullptr && error.place.line > 0) {
      const std::string text = LineOf(*source, error.place.line);
      // An error the script threw itself stands where it was thrown.
      if (hint.empty() && ColumnOf(text, "throw") != ColumnOf(text, "")) hint = "throw";
      error.place.column = ColumnOf(text, hint);
    }
  } else {
    error.message = "uncaught " + Trimmed(duk_safe_to_string(ctx_, -1));
  }
  if (timedOut_)
    error.message = "stopped: it ran for more than " + std::to_string(budget_.count()) + " ms (" + error.message + ")";
  else if (refusedMemory_)
    error.message = "stopped: the script's heap would have grown beyond " + std::to_string(heapLimit_ >> 20) +
                    " MB (" + error.message + ")";
  duk_pop(ctx_);
  return error;
}

bool ScriptEngine::RunProgram(const std::string& name, const std::string& source, ScriptError& error) {
  programName_ = name;
  programSource_ = source;
  Arm();
  duk_push_string(ctx_, name.c_str());
  if (duk_pcompile_lstring_filename(ctx_, 0, source.data(), source.size()) != 0) {
    const std::string message = Trimmed(duk_safe_to_string(ctx_, -1));
    duk_pop(ctx_);
    armed_ = false;
    bool atEnd = false;
    int line = LineInMessage(message, &atEnd);
    if (atEnd) line = std::min(line, LastFilledLine(source));
    error.place = atEnd ? ScriptPlace{name, line, 0} : PlaceOfSyntaxError(name, source, line);
    if (atEnd) error.place.column = static_cast<int>(LineOf(source, line).size()) + 1;
    error.message = WithoutLine(message);
    if (atEnd) error.message += " (the script ends in the middle of something)";
    return false;
  }
  const bool ok = duk_pcall(ctx_, 0) == 0;
  if (!ok) error = TakeError();
  else duk_pop(ctx_);
  armed_ = false;
  return ok;
}

bool ScriptEngine::Evaluate(const std::string& expression, std::string& value, ScriptError& error) {
  Arm();
  duk_push_string(ctx_, "(expression)");
  bool ok = duk_pcompile_lstring_filename(ctx_, DUK_COMPILE_EVAL, expression.data(), expression.size()) == 0;
  if (ok) ok = duk_pcall(ctx_, 0) == 0;
  if (ok) value = duk_safe_to_string(ctx_, -1);
  if (ok)
    duk_pop(ctx_);
  else
    error = TakeError();
  armed_ = false;
  return ok;
}

bool ScriptEngine::Call(int argc, ScriptError& error) {
  Arm();
  const bool ok = duk_pcall(ctx_, argc) == 0;
  if (!ok) error = TakeError();
  armed_ = false;
  return ok;
}

ScriptEngine& EngineOf(duk_context* ctx) {
  duk_memory_functions functions;
  duk_get_memory_functions(ctx, &functions);
  return *static_cast<ScriptEngine*>(functions.udata);
}

void ThrowScriptError(duk_context* ctx, const char* callee, const char* message) {
  duk_push_error_object(ctx, DUK_ERR_ERROR, "%s", message);
  duk_push_string(ctx, callee);
  duk_put_prop_string(ctx, -2, "qvlCallee");
  // The script line that called: one activation below this native function.
  duk_inspect_callstack_entry(ctx, -2);
  if (duk_is_object(ctx, -1)) {
    duk_get_prop_string(ctx, -1, "lineNumber");
    duk_put_prop_string(ctx, -3, "qvlLine");
    duk_get_prop_string(ctx, -1, "function");
    duk_get_prop_string(ctx, -1, "fileName");
    duk_put_prop_string(ctx, -4, "qvlFile");
    duk_pop(ctx);
  }
  duk_pop(ctx);
  duk_throw(ctx);
  std::abort();  // not reached: duk_throw does not return
}
