// What a show's script may call: one table of bindings, each with its name, its arguments
// (their kinds and ranges), what it returns and what it does. The table makes the functions the
// script sees, checks every value before it reaches C++ (a wrong kind, NaN, infinities, a
// number out of range, a picture that was not declared: each one message naming the function,
// the argument and the place in the script), writes the reference page and gives the tests the
// list they walk.
#pragma once

#include <string>
#include <vector>

struct duk_hthread;
using duk_context = duk_hthread;

enum class ArgKind {
  kInt,       // a whole number within the range
  kNumber,    // any finite number within the range (a time, an amplitude)
  kText,      // a string of characters code page 437 can show
  kPicture,   // the name of a declared picture
  kFile,      // a file name inside the show's folder
  kFunction,  // a function of the script
  kIndex,     // a whole number within the range, or null
  kTrack,     // a sync track's name: one the show knows, or, in its program, a new one
};

struct ArgRule {
  const char* name;
  ArgKind kind;
  double low = 0;   // the range of kInt, kNumber and kIndex; the most characters of kText
  double high = 0;
  const char* about = "";
  bool optional = false;
  double fallback = 0;  // an optional number's value when it is left out
};

// When a binding may be called: while the program declares the show, while a scene draws, or
// at any time.
enum class BindingPhase { kDeclare, kScene, kAny };

class ApiCall;

struct Binding {
  const char* name;
  const char* group;  // the reference page's section
  BindingPhase phase;
  std::vector<ArgRule> args;
  const char* returns;  // empty: nothing
  const char* about;
  void (*run)(ApiCall& call);
};

const std::vector<Binding>& ShowBindings();

// The values every script sees besides the functions: canvas, cells, and the screen's sizes.
struct ApiValue {
  const char* name;
  const char* about;
};
const std::vector<ApiValue>& ShowValues();

// Makes the bindings and the values global in the script's heap.
void InstallShowApi(duk_context* ctx);

// The reference page, in Markdown, made from the table.
std::string ShowApiReference();

// The code page 437 codes of a text (characters 1 to 127 are themselves, others the code whose
// glyph they are); false with the first character that has none.
bool TextToCodePage437(const std::string& utf8, std::string& codes, std::string& error);
