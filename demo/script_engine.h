// The engine that runs a show's script: one Duktape heap with the limits that code from a
// stranger runs under. A call into the script may take at most a time budget, the heap at most a
// number of bytes, and recursion stops at Duktape's call stack limit; each ends the call with an
// error that says so. The script sees no clock, no random source but the show's generator, no
// files, network or processes: what it may do comes only through the functions a host adds.
//
// Errors carry the place in the script (file, line, column) where they arose, so that a show's
// author can go straight to it.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

struct duk_hthread;
using duk_context = duk_hthread;

struct ScriptPlace {
  std::string file;
  int line = 0;    // 1-based; 0 when not known
  int column = 0;  // 1-based; 0 when not known
};

struct ScriptError {
  ScriptPlace place;
  std::string message;  // "TypeError: ...", without the place
  // "show.js:12:5: message" (as much of the place as is known).
  std::string Text() const;
};

class ScriptEngine {
 public:
  static constexpr size_t kDefaultHeapLimit = size_t{64} << 20;
  static constexpr std::chrono::milliseconds kDefaultCallBudget{1000};

  explicit ScriptEngine(size_t heapLimit = kDefaultHeapLimit);
  ~ScriptEngine();
  ScriptEngine(const ScriptEngine&) = delete;
  ScriptEngine& operator=(const ScriptEngine&) = delete;

  // False when the heap could not be made (no memory).
  bool Ok() const { return ctx_ != nullptr; }
  duk_context* Context() const { return ctx_; }

  // The processor time a call into the script may take before it is stopped. It is the
  // program's own time, not the wall clock's: a busy machine (tests run side by side, an
  // export beside a build) must not stop a script that would have finished.
  void SetCallBudget(std::chrono::milliseconds budget) { budget_ = budget; }
  std::chrono::milliseconds CallBudget() const { return budget_; }

  // Compiles `source` as the program of the file `name` and runs it; false with `error`.
  bool RunProgram(const std::string& name, const std::string& source, ScriptError& error);

  // Evaluates an expression in the script's global scope, within the budget: its value as a
  // string in `value`; false with `error`.
  bool Evaluate(const std::string& expression, std::string& value, ScriptError& error);

  // Calls the function below its `argc` arguments on top of the stack, within the budget.
  // Leaves its result in the function's place; on failure leaves nothing there and fills
  // `error`.
  bool Call(int argc, ScriptError& error);

  // The source of a file the engine ran (for the places of errors), or null.
  const std::string* SourceOf(const std::string& name) const;

  // Bytes the heap holds now.
  size_t HeapBytes() const { return heapBytes_; }

  // Used by the heap's allocator and the engine's interrupt check.
  void* Allocate(size_t size);
  void* Reallocate(void* block, size_t size);
  void Free(void* block);
  bool Interrupted();

  // What the host's native functions work on (the show being loaded or played).
  void SetHost(void* host) { host_ = host; }
  void* Host() const { return host_; }

 private:
  // The error on top of the stack as an error of this engine's, popped.
  ScriptError TakeError();
  ScriptPlace PlaceOfSyntaxError(const std::string& name, const std::string& source, int line) const;
  void InstallSandbox();
  void Arm();
  void NoteAllocation();
  bool MayGrow(size_t size) const;
  static constexpr size_t kStopReserve = size_t{4} << 20;
  static constexpr size_t kLargeBlock = size_t{64} << 10;

  duk_context* ctx_ = nullptr;
  void* host_ = nullptr;
  size_t heapLimit_;
  size_t heapBytes_ = 0;
  std::chrono::milliseconds budget_ = kDefaultCallBudget;
  int64_t deadlineUs_ = 0;  // on ProcessorMicroseconds()
  bool armed_ = false;
  bool timedOut_ = false;
  bool refusedMemory_ = false;
  uint64_t allocations_ = 0;
  // The files run, by name, for the places of errors.
  std::string programName_;
  std::string programSource_;
};

// Throws a script error from a native function, blaming the script line that called it. The
// message is given as is; `callee` (a binding's name) helps find the column on that line.
// Duktape unwinds with longjmp: the caller keeps no C++ object alive in its own frame.
[[noreturn]] void ThrowScriptError(duk_context* ctx, const char* callee, const char* message);

// The engine a context belongs to.
ScriptEngine& EngineOf(duk_context* ctx);
