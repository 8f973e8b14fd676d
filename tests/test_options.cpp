// The option table: what it reads into its rows, what it refuses and how, and that its help
// shows every row.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "quorvel4/backend_options.h"
#include "quorvel4/options.h"

namespace {

struct Line {
  std::vector<std::string> words;
  std::vector<const char*> Argv() const {
    std::vector<const char*> argv{"program"};
    for (const std::string& word : words) argv.push_back(word.c_str());
    return argv;
  }
};

OptionTable::Reading ReadLine(const OptionTable& table, const Line& line) {
  const std::vector<const char*> argv = line.Argv();
  return table.Read(static_cast<int>(argv.size()), argv.data());
}

struct Settings {
  bool flag = false;
  std::string out;
  std::string file;
  std::string backend;
};

OptionTable MakeTable(Settings& s) {
  OptionTable table("program", "[--flag] [--out PATH] FILE", "Does a thing.");
  table.Add({"--flag", "", "a flag", SetFlag(s.flag)});
  table.Add({"--out", "PATH", "where it goes\nand a second line", SetText(s.out)});
  table.Add({"", "FILE", "", SetOnce(s.file, "one file at a time")});
  AddBackendOptions(table, s.backend);
  return table;
}

TEST(OptionTable, ReadsFlagsValuesOperandsAndBothFormsOfAValue) {
  Settings s;
  const OptionTable table = MakeTable(s);
  const OptionTable::Reading reading = ReadLine(table, {{"--out=a=b", "--flag", "in.png", "--backend", "headless"}});
  EXPECT_EQ(reading.outcome, OptionTable::Outcome::kRun) << reading.error;
  EXPECT_TRUE(s.flag);
  EXPECT_EQ(s.out, "a=b");  // only the first '=' separates
  EXPECT_EQ(s.file, "in.png");
  EXPECT_EQ(s.backend, "headless");

  // A value may look like an option (a negative time, say): it belongs to the option before.
  Settings t;
  const OptionTable other = MakeTable(t);
  EXPECT_EQ(ReadLine(other, {{"--out", "--flag"}}).outcome, OptionTable::Outcome::kRun);
  EXPECT_EQ(t.out, "--flag");
  EXPECT_FALSE(t.flag);
}

TEST(OptionTable, RefusesWhatItCannotTakeNamingIt) {
  const std::vector<std::pair<Line, std::string>> cases = {
      {{{"--bogus"}}, "unknown option --bogus"},
      {{{"--out"}}, "missing value after --out"},
      {{{"--flag=yes"}}, "--flag takes no value"},
      {{{"a.png", "b.png"}}, "one file at a time"},
      {{{"--backend", "headless", "--terminal"}}, "two back ends chosen: headless and terminal"},
      {{{"--backend="}}, "--backend needs the name of a back end"},
  };
  for (const auto& [line, message] : cases) {
    Settings s;
    const OptionTable table = MakeTable(s);
    const OptionTable::Reading reading = ReadLine(table, line);
    EXPECT_EQ(reading.outcome, OptionTable::Outcome::kBad) << message;
    EXPECT_EQ(reading.error.rfind(message, 0), 0u) << reading.error;
  }
  // Without an operand row a word is unexpected.
  OptionTable bare("bare", "");
  EXPECT_EQ(ReadLine(bare, {{"word"}}).error, "unexpected argument word");
}

// A second value would silently replace the first: refused in either form, naming the option.
// A flag says the same thing twice, and may.
TEST(OptionTable, AnOptionThatTakesAValueIsGivenOnce) {
  for (const Line& line : {Line{{"--out", "a", "--out", "b"}}, Line{{"--out=a", "--out", "a"}},
                           Line{{"--out", "a", "--flag", "--out=b"}}}) {
    Settings s;
    const OptionTable table = MakeTable(s);
    EXPECT_EQ(ReadLine(table, line).error, "--out given twice");
  }
  Settings s;
  const OptionTable table = MakeTable(s);
  EXPECT_EQ(ReadLine(table, {{"--backend", "headless", "--backend=headless"}}).error, "--backend given twice");
  Settings t;
  const OptionTable other = MakeTable(t);
  EXPECT_EQ(ReadLine(other, {{"--flag", "--flag", "--terminal", "--terminal"}}).outcome, OptionTable::Outcome::kRun);
}

// One reading of a whole number for every program and setting: an optional '-' and digits,
// the whole text. strtoll alone would skip blanks, take a '+' and stop at a zero byte.
TEST(WholeNumber, IsAnOptionalMinusAndDigitsAndNothingElse) {
  EXPECT_EQ(ParseWholeNumber("-12"), -12);
  EXPECT_EQ(ParseWholeNumber("007"), 7);
  EXPECT_EQ(ParseWholeNumber("-0"), 0);
  EXPECT_EQ(ParseWholeNumber("9223372036854775807"), INT64_MAX);
  EXPECT_EQ(ParseWholeNumber("-9223372036854775808"), INT64_MIN);
  for (const std::string& text :
       {std::string("+7"), std::string(" 5"), std::string("\t5"), std::string("5 "), std::string("5\n"), std::string(""),
        std::string("-"), std::string("+-1"), std::string("--1"), std::string("0x10"), std::string("1e3"),
        std::string("\0", 1), std::string("7\0x", 3), std::string("9223372036854775808"),
        std::string("-9223372036854775809")}) {
    EXPECT_EQ(ParseWholeNumber(text), std::nullopt) << "\"" << text << "\"";
  }
}

TEST(OptionTable, HelpAndVersionAreAnsweredWhereverTheyStandButNotAsAValue) {
  Settings s;
  const OptionTable table = MakeTable(s);
  EXPECT_EQ(ReadLine(table, {{"--bogus", "--version"}}).outcome, OptionTable::Outcome::kVersion);
  EXPECT_EQ(ReadLine(table, {{"x", "y", "-h"}}).outcome, OptionTable::Outcome::kHelp);
  // "--out --help" writes to a file called --help.
  EXPECT_EQ(ReadLine(table, {{"--out", "--help"}}).outcome, OptionTable::Outcome::kRun);
  EXPECT_EQ(s.out, "--help");
}

// An empty word is an operand like any other: it never takes the word after it as a value.
TEST(OptionTable, AnEmptyWordIsAnOperandAndHidesNothing) {
  Settings s;
  const OptionTable table = MakeTable(s);
  EXPECT_EQ(ReadLine(table, {{"", "--help"}}).outcome, OptionTable::Outcome::kHelp);
  EXPECT_EQ(ReadLine(table, {{"", "--version"}}).outcome, OptionTable::Outcome::kVersion);
  Settings t;
  const OptionTable other = MakeTable(t);
  EXPECT_EQ(ReadLine(other, {{"", "--flag"}}).outcome, OptionTable::Outcome::kRun);
  EXPECT_TRUE(t.flag);
  EXPECT_EQ(t.file, "");
}

TEST(OptionTable, HelpListsEveryRowWithLaterLinesUnderTheFirst) {
  Settings s;
  const OptionTable table = MakeTable(s);
  const std::string help = table.Help();
  EXPECT_EQ(help.rfind("usage: program [--flag] [--out PATH] FILE\nDoes a thing.\n", 0), 0u) << help;
  for (const char* option : {"--flag", "--out PATH", "--backend NAME", "--help", "--version", "headless"})
    EXPECT_NE(help.find(option), std::string::npos) << option << " in\n" << help;
  // The column of a text within its line.
  auto column = [&](const char* text) {
    const size_t at = help.find(text);
    return at == std::string::npos ? std::string::npos : at - help.rfind('\n', at);
  };
  EXPECT_NE(column("where it goes\n"), std::string::npos) << help;
  EXPECT_EQ(column("where it goes\n"), column("and a second line\n")) << help;
  EXPECT_EQ(table.VersionText().rfind(std::string("program ") + ReleaseVersion() + " (commit " + BuildCommit() +
                                         ")\nback ends: ",
                                     0),
            0u);
}

}  // namespace
