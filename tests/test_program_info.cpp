// Every program answers --version and --help, and its manual lists the options its --help
// lists: the options are read from both texts, so an option added to one and not the other
// fails here.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <string>


namespace {

struct Program {
  const char* name;
  std::string path;
  const char* manual;  // under docs/man/
};

const Program kPrograms[] = {
    {"quorvel4-demo", QVL_DEMO_PROGRAM, "quorvel4-demo.6.scd"},
    {"quorvel4-capture", std::string(QVL_TOOLS_DIR) + "/quorvel4-capture", "quorvel4-capture.1.scd"},
    {"quorvel4-view", std::string(QVL_TOOLS_DIR) + "/quorvel4-view", "quorvel4-view.1.scd"},
    {"quorvel4-testcard", std::string(QVL_TOOLS_DIR) + "/quorvel4-testcard", "quorvel4-testcard.1.scd"},
    {"quorvel4-tracker", std::string(QVL_TOOLS_DIR) + "/quorvel4-tracker", "quorvel4-tracker.1.scd"},
};

// "NAME 1.0.0 (commit 0123456789ab-dirty, 2026-12-09)" on the first line.
const std::regex kVersionLine(R"(^(\S+) ([0-9.]+) \(commit ([0-9a-f]{12})(-dirty)?, [0-9]{4}-[0-9]{2}-[0-9]{2}\)\n)");

// "  --name VALUE  help": the option with its value, and the spaces before the help.
const std::regex kHelpRow(R"((?:^|\n)(  --[a-z-]+(?: [A-Z.:]+)?)( +)\S)");

struct Answer {
  int status;
  std::string out;
};

Answer RunCommand(const std::string& command) {
  std::string out;
  FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
  if (pipe == nullptr) return {-1, ""};
  char buffer[4096];
  for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, got);
  const int raw = pclose(pipe);
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, out};
}

// Every long option named in the text (scdoc's bold marks and all).
std::set<std::string> LongOptions(const std::string& text) {
  auto lower = [&](size_t i) { return i < text.size() && text[i] >= 'a' && text[i] <= 'z'; };
  auto word = [&](size_t i) { return lower(i) || (i < text.size() && (text[i] == '-' || (text[i] >= '0' && text[i] <= '9'))); };
  std::set<std::string> options;
  for (size_t i = 0; i + 2 < text.size(); ++i) {
    if (text[i] != '-' || text[i + 1] != '-' || !lower(i + 2)) continue;
    size_t end = i + 2;
    while (word(end)) ++end;
    options.insert(text.substr(i, end - i));
    i = end - 1;
  }
  return options;
}

std::string Join(const std::set<std::string>& options) {
  std::string text;
  for (const std::string& option : options) text += option + " ";
  return text;
}

TEST(ProgramInfo, EveryProgramAnswersVersionWithItsNameReleaseAndBackEnds) {
  for (const Program& program : kPrograms) {
    const Answer answer = RunCommand(program.path + " --version");
    EXPECT_EQ(answer.status, 0) << program.name;
    // The release and the commit with its date, so that builds of two commits differ in a bug
    // report: the hash is one of this checkout's commits.
    std::smatch line;
    ASSERT_TRUE(std::regex_search(answer.out, line, kVersionLine)) << answer.out;
    EXPECT_EQ(line[1], program.name) << answer.out;
    EXPECT_EQ(line[2], QVL_VERSION) << answer.out;
    EXPECT_EQ(RunCommand("git -C " + std::string(QVL_SOURCE_DIR) + " cat-file -e " + line[3].str() + "^{commit}").status, 0)
        << answer.out;
    // The back ends come from the table: the terminal, the window and the headless one here.
    for (const char* backend : {"terminal", "window", "headless"})
      EXPECT_NE(answer.out.find(backend), std::string::npos) << program.name << ": " << answer.out;
  }
}

TEST(ProgramInfo, EveryProgramAnswersHelpAndItsManualListsTheSameOptions) {
  for (const Program& program : kPrograms) {
    const Answer help = RunCommand(program.path + " --help");
    EXPECT_EQ(help.status, 0) << program.name;
    const std::set<std::string> helpOptions = LongOptions(help.out);
    EXPECT_TRUE(helpOptions.count("--help") && helpOptions.count("--version")) << program.name << ": " << help.out;
    // Every row's help stands in one column, at least two spaces after the longest option.
    std::set<size_t> columns;
    for (std::sregex_iterator row(help.out.begin(), help.out.end(), kHelpRow), end; row != end; ++row) {
      columns.insert(static_cast<size_t>(row->length(1) + row->length(2)));
      EXPECT_GE(row->length(2), 2) << program.name << ": " << row->str();
    }
    EXPECT_EQ(columns.size(), 1u) << program.name << ": " << help.out;

    const std::string manualPath = std::string(QVL_SOURCE_DIR) + "/docs/man/" + program.manual;
    std::ifstream in(manualPath);
    ASSERT_TRUE(in) << manualPath;
    const std::set<std::string> manualOptions = LongOptions(std::string(std::istreambuf_iterator<char>(in), {}));
    EXPECT_EQ(helpOptions, manualOptions) << program.name << ": --help lists " << Join(helpOptions)
                                          << "; " << program.manual << " lists " << Join(manualOptions);
  }
}

// One rule on every command line: an option that takes a value is given once (a second one
// would silently win, or lose), and a number is digits with at most a leading '-'.
TEST(ProgramInfo, EveryProgramRefusesAValueGivenTwiceAndANumberWithASignOrABlank) {
  const struct {
    const char* program;
    const char* words;
    const char* says;
  } cases[] = {
      {"quorvel4-demo", "--seed 1 --seed 2", "quorvel4-demo: --seed given twice"},
      {"quorvel4-demo", "--seed +5", "quorvel4-demo: --seed needs a whole number from 0 to 4294967295"},
      {"quorvel4-demo", "--start ' 5'", "quorvel4-demo: --start needs a whole number from 0 to 2147483647"},
      {"quorvel4-capture", "--out a --out b", "quorvel4-capture: --out given twice"},
      {"quorvel4-capture", "--format cells --format png", "quorvel4-capture: --format given twice"},
      {"quorvel4-capture", "--seed +5", "quorvel4-capture: --seed needs a whole number from 0 to 4294967295"},
      {"quorvel4-capture", "--fps +5", "quorvel4-capture: --fps needs a whole number from 1 to 1000"},
      {"quorvel4-view", "--backend headless --backend headless", "quorvel4-view: --backend given twice"},
      {"quorvel4-testcard", "--backend headless --backend=terminal", "quorvel4-testcard: --backend given twice"},
      {"quorvel4-tracker", "--base a --base b", "quorvel4-tracker: --base given twice"},
      {"quorvel4-tracker", "--listen +1338", "quorvel4-tracker: --listen needs"},
  };
  for (const auto& c : cases) {
    const Program* program = nullptr;
    for (const Program& each : kPrograms)
      if (std::string(each.name) == c.program) program = &each;
    ASSERT_NE(program, nullptr) << c.program;
    const Answer answer = RunCommand(program->path + " " + c.words + " 2>&1 </dev/null; echo status $?");
    EXPECT_EQ(answer.out.rfind(std::string(c.says), 0), 0u) << c.program << " " << c.words << ": " << answer.out;
    EXPECT_NE(answer.out.find("status 2"), std::string::npos) << c.program << " " << c.words << ": " << answer.out;
  }
}

// What a program was asked to print must have reached standard output: closed or full, it
// is a failure with a reason on standard error, not a silent success.
TEST(ProgramInfo, EveryProgramFailsWithAReasonWhenItsAnswerCannotBeWritten) {
  for (const Program& program : kPrograms) {
    for (const char* asked : {"--help", "--version"}) {
      for (const char* output : {">/dev/full", ">&-"}) {
        SCOPED_TRACE(std::string(program.name) + " " + asked + " " + output);
        const Answer answer = RunCommand(program.path + " " + asked + " 2>&1 " + output + " | cat");
        EXPECT_NE(answer.out.find(std::string(program.name) + ": cannot write to standard output: "), std::string::npos)
            << answer.out;
        const Answer status = RunCommand(program.path + " " + asked + " " + output + "; echo $?");
        EXPECT_EQ(status.out, "1\n");
      }
    }
  }
  const std::string report = std::string(QVL_TOOLS_DIR) + "/quorvel4-capture --seed 1 --data " + QVL_SOURCE_DIR +
                             "/data --times 0,40 --format flashes";
  for (const char* output : {">/dev/full", ">&-"}) {
    const Answer answer = RunCommand(report + " 2>&1 " + output + " | cat");
    EXPECT_NE(answer.out.find("quorvel4-capture: cannot write the report: "), std::string::npos) << output << ": " << answer.out;
    EXPECT_EQ(RunCommand(report + " " + output + "; echo $?").out, "1\n") << output;
  }
}

}  // namespace
