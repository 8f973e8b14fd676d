// A program's command line as one table. Each row names an option, the value it takes, its
// help and what it sets; the parser, the --help text and the list of options a manual page must
// match are all made from the rows, so they cannot disagree. Every table answers --help (-h) and
// --version, and every message starts with the program's name.
//
//   OptionTable options("view", "[OPTIONS] PICTURE.png", "Shows a picture on the display.");
//   options.Add({"--ascii", "", "draw the brightness as character shapes", SetFlag(ascii)});
//   options.Add({"", "PICTURE.png", "", SetOnce(path, "one picture at a time")});
//   if (const std::optional<int> status = options.Parse(argc, argv)) return *status;
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The one way a fallible call reports here and in the programs: false (or an empty result),
// with a reason in `error` that does not name the program; the program adds its name.
using OptionSetter = std::function<bool(const std::string& value, std::string& error)>;

struct OptionRow {
  // "--seed"; empty for an operand, a word that is no option (a file name, say).
  std::string name;
  // What follows the name in the help ("N"); empty for a flag, which takes no value.
  std::string value;
  // What it does. Lines after the first (separated by '\n') stand below it, at the same column.
  std::string help;
  // Takes the value ("" for a flag); false with the reason when it cannot.
  OptionSetter set;
};

// Setters for the common cases.
OptionSetter SetFlag(bool& flag);
OptionSetter SetText(std::string& text);
// The value once; a second one is refused with `twice` ("one picture at a time").
OptionSetter SetOnce(std::string& text, std::string twice);
// A whole number (ParseWholeNumber) from `lowest` to `highest`; anything else is refused,
// naming `name`.
OptionSetter SetNumber(long long& number, std::string name, long long lowest, long long highest);

// The one reading of a whole number on every command line and in the environment: decimal
// digits, a '-' before them for a negative one, and nothing else in `text` ('+', a blank
// before or after, a zero byte or any other character make it no number), within 64 bits.
std::optional<int64_t> ParseWholeNumber(std::string_view text);

// ParseWholeNumber from `lowest` to `highest`; otherwise nothing, with "NAME needs a whole
// number from LOWEST to HIGHEST" in `error`.
std::optional<int64_t> ParseNumberIn(std::string_view text, const std::string& name, int64_t lowest, int64_t highest,
                                     std::string& error);

// "LOWEST to HIGHEST", as the messages and the help give a range.
std::string NumberRange(int64_t lowest, int64_t highest);

class OptionTable {
 public:
  // `synopsis` follows the name on the usage line; `about` (may be empty) is the line under it.
  OptionTable(std::string program, std::string synopsis, std::string about = "");

  void Add(OptionRow row);
  // Lines shown after the options (where data is looked for, say), as they are.
  void AddNote(std::string lines);

  const std::string& Program() const { return program_; }
  // The usage line, the about line, every row (and --help, --version) and the notes.
  std::string Help() const;
  // "NAME VERSION" and a line with the back ends built in.
  std::string VersionText() const;

  enum class Outcome { kRun, kHelp, kVersion, kBad };
  struct Reading {
    Outcome outcome;
    std::string error;  // with kBad
  };
  // Reads the arguments into the rows' setters, printing nothing. --help and --version
  // anywhere are answered before anything else is judged. An option that takes a value is
  // given once: a second one ("--seed given twice") is refused, not silently taken.
  Reading Read(int argc, const char* const* argv) const;

  // Read, then the answer a command-line program gives: the help or the version on standard
  // output (status 0), or "PROGRAM: reason" and the usage on standard error (status 2).
  // Nothing when the program is to run.
  std::optional<int> Parse(int argc, const char* const* argv) const;
  // The answer Parse gives to a reading (Read's, or one a program judged further).
  std::optional<int> Answer(const Reading& reading) const;

  // A problem found after the rows were read (a required option missing): said as Parse says
  // it; returns 2.
  int Refuse(const std::string& problem) const;

  // "PROGRAM: text" on standard error.
  void Complain(const std::string& text) const;

 private:
  const OptionRow* Find(const std::string& name) const;
  bool Answering(int argc, const char* const* argv, Outcome* answer) const;

  std::string program_;
  std::string synopsis_;
  std::string about_;
  std::vector<OptionRow> rows_;
  std::vector<std::string> notes_;
};

// The release of the library and of every program built with it.
const char* ReleaseVersion();

// The commit the library was built from and its date ("0123456789ab-dirty, 2026-12-09"; the
// hash is followed by "-dirty" when the tree had changes), or "unknown" outside a checkout.
const char* BuildCommit();
