#include "quorvel4/options.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>

#include "quorvel4/backend.h"
#include "quorvel4_build_commit.h"  // QVL_BUILD_COMMIT, made at build time

namespace {

// Where the help of every row starts at least ("--reduce-flashes" and two spaces fit before
// it); a table with a longer name and value moves all its rows' help further right, so that
// they stand in one column.
constexpr size_t kHelpColumn = 20;

// "  --name VALUE" and the help at `column`, its later lines at the same column.
std::string HelpLines(const std::string& start, const std::string& help, size_t column) {
  std::string text = start;
  text.resize(std::max(text.size() + 2, column), ' ');
  for (size_t at = 0;;) {
    const size_t end = help.find('\n', at);
    text += help.substr(at, end == std::string::npos ? std::string::npos : end - at) + "\n";
    if (end == std::string::npos) return text;
    at = end + 1;
    text += std::string(column, ' ');
  }
}

// Whether `row`, an option that takes a value, was given before on this command line; notes it
// otherwise. A second value would silently replace the first.
bool GivenBefore(const OptionRow* row, std::vector<const OptionRow*>& given) {
  if (row->name.empty() || row->value.empty()) return false;  // an operand's row or a flag
  if (std::find(given.begin(), given.end(), row) != given.end()) return true;
  given.push_back(row);
  return false;
}

bool IsHelp(const std::string& arg) { return arg == "--help" || arg == "-h"; }

// Anything else, the empty word and "-" among them, is an operand.
bool LooksLikeOption(const std::string& arg) { return arg.size() > 1 && arg[0] == '-'; }

}  // namespace

OptionSetter SetFlag(bool& flag) {
  return [&flag](const std::string&, std::string&) { return flag = true; };
}

OptionSetter SetText(std::string& text) {
  return [&text](const std::string& value, std::string&) {
    text = value;
    return true;
  };
}

OptionSetter SetOnce(std::string& text, std::string twice) {
  return [&text, twice = std::move(twice), taken = false](const std::string& value, std::string& error) mutable {
    if (taken) {
      error = twice;
      return false;
    }
    taken = true;
    text = value;
    return true;
  };
}

OptionSetter SetNumber(long long& number, std::string name, long long lowest, long long highest) {
  return [&number, name = std::move(name), lowest, highest](const std::string& value, std::string& error) {
    const std::optional<int64_t> parsed = ParseNumberIn(value, name, lowest, highest, error);
    if (parsed) number = *parsed;
    return parsed.has_value();
  };
}

std::optional<int64_t> ParseWholeNumber(std::string_view text) {
  // from_chars takes exactly this: a '-' but no '+', no blanks, and says when the value is
  // too large; the whole text must be its number.
  int64_t value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, problem] = std::from_chars(text.data(), end, value);
  if (problem != std::errc() || stop != end) return std::nullopt;
  return value;
}

std::optional<int64_t> ParseNumberIn(std::string_view text, const std::string& name, int64_t lowest, int64_t highest,
                                     std::string& error) {
  const std::optional<int64_t> value = ParseWholeNumber(text);
  if (value && *value >= lowest && *value <= highest) return value;
  error = name + " needs a whole number from " + NumberRange(lowest, highest);
  return std::nullopt;
}

std::string NumberRange(int64_t lowest, int64_t highest) { return std::to_string(lowest) + " to " + std::to_string(highest); }

OptionTable::OptionTable(std::string program, std::string synopsis, std::string about)
    : program_(std::move(program)), synopsis_(std::move(synopsis)), about_(std::move(about)) {}

void OptionTable::Add(OptionRow row) { rows_.push_back(std::move(row)); }

void OptionTable::AddNote(std::string lines) { notes_.push_back(std::move(lines)); }

std::string OptionTable::Help() const {
  std::string text = "usage: " + program_ + " " + synopsis_ + "\n";
  if (!about_.empty()) text += about_ + "\n";
  const auto nameOf = [](const OptionRow& row) {
    return row.name.empty() ? row.value : row.name + (row.value.empty() ? "" : " " + row.value);
  };
  size_t column = kHelpColumn;
  for (const OptionRow& row : rows_)
    if (!row.help.empty()) column = std::max(column, 2 + nameOf(row).size() + 2);
  for (const OptionRow& row : rows_) {
    if (row.help.empty()) continue;  // an operand the usage line explains
    text += HelpLines("  " + nameOf(row), row.help, column);
  }
  text += HelpLines("  --help", "show this help", column);
  text += HelpLines("  --version", "show the version and the back ends built in", column);
  for (const std::string& note : notes_) text += note;
  return text;
}

std::string OptionTable::VersionText() const {
  std::string text = program_ + " " + ReleaseVersion() + " (commit " + BuildCommit() + ")\nback ends:";
  for (const BackendEntry& entry : ConsoleBackends()) text += std::string(" ") + entry.name;
  return text + "\n";
}

const OptionRow* OptionTable::Find(const std::string& name) const {
  for (const OptionRow& row : rows_)
    if (row.name == name) return &row;
  return nullptr;
}

// --help or --version, wherever it stands among the options (not as another option's value).
bool OptionTable::Answering(int argc, const char* const* argv, Outcome* answer) const {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (IsHelp(arg) || arg == "--version") {
      *answer = IsHelp(arg) ? Outcome::kHelp : Outcome::kVersion;
      return true;
    }
    // Only an option takes the next word; an operand's row has the empty name.
    if (!LooksLikeOption(arg)) continue;
    if (const OptionRow* row = Find(arg); row && !row->value.empty()) ++i;
  }
  return false;
}

OptionTable::Reading OptionTable::Read(int argc, const char* const* argv) const {
  if (Outcome answer; Answering(argc, argv, &answer)) return {answer, ""};
  const OptionRow* operand = Find("");
  std::vector<const OptionRow*> given;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    std::string value;
    const OptionRow* row = nullptr;
    if (!LooksLikeOption(arg)) {
      if (operand == nullptr) return {Outcome::kBad, "unexpected argument " + arg};
      row = operand;
      value = arg;
    } else {
      // --name=value as well as --name value.
      const size_t equals = arg.find('=');
      if (equals != std::string::npos && arg.starts_with("--")) {
        row = Find(arg.substr(0, equals));
        if (row && row->value.empty()) return {Outcome::kBad, arg.substr(0, equals) + " takes no value"};
        if (row) value = arg.substr(equals + 1);
      } else {
        row = Find(arg);
        if (row && !row->value.empty()) {
          if (i + 1 >= argc) return {Outcome::kBad, "missing value after " + arg};
          value = argv[++i];
        }
      }
      if (row == nullptr) return {Outcome::kBad, "unknown option " + arg};
      if (GivenBefore(row, given)) return {Outcome::kBad, row->name + " given twice"};
    }
    std::string error;
    if (!row->set(value, error)) return {Outcome::kBad, error};
  }
  return {Outcome::kRun, ""};
}

std::optional<int> OptionTable::Parse(int argc, const char* const* argv) const { return Answer(Read(argc, argv)); }

std::optional<int> OptionTable::Answer(const Reading& reading) const {
  switch (reading.outcome) {
    case Outcome::kRun:
      return std::nullopt;
    case Outcome::kHelp:
    case Outcome::kVersion: {
      // What was asked for must reach standard output: a closed or full one is a failure.
      errno = 0;
      const bool written = std::fputs((reading.outcome == Outcome::kHelp ? Help() : VersionText()).c_str(), stdout) >= 0;
      if (std::fflush(stdout) == 0 && written && !std::ferror(stdout)) return 0;
      Complain(std::string("cannot write to standard output: ") + (errno ? std::strerror(errno) : "write failed"));
      return 1;
    }
    case Outcome::kBad:
      break;
  }
  return Refuse(reading.error);
}

int OptionTable::Refuse(const std::string& problem) const {
  Complain(problem);
  std::fputs(Help().c_str(), stderr);
  return 2;
}

void OptionTable::Complain(const std::string& text) const {
  std::fprintf(stderr, "%s: %s\n", program_.c_str(), text.c_str());
}

const char* ReleaseVersion() { return QVL_VERSION; }

const char* BuildCommit() { return QVL_BUILD_COMMIT; }
