// The example programs, run as a user would run them.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

const std::string kExamples = QVL_EXAMPLES_DIR;

// Runs `command` and returns its standard output split into lines, and its exit status.
std::vector<std::string> RunProgram(const std::string& command, int* status) {
  std::vector<std::string> lines(1);
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return {};
  for (int c; (c = std::fgetc(pipe)) != EOF;) {
    if (c == '\n')
      lines.emplace_back();
    else
      lines.back().push_back(static_cast<char>(c));
  }
  const int raw = pclose(pipe);
  *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  lines.pop_back();
  return lines;
}

}  // namespace

TEST(Examples, AsciiPictureDrawsTheBallInTheMiddleOfAFullScreen) {
  int status = -1;
  const std::vector<std::string> lines = RunProgram(kExamples + "/ascii_picture", &status);
  ASSERT_EQ(status, 0);
  ASSERT_EQ(lines.size(), 50u);
  for (const std::string& line : lines) ASSERT_EQ(line.size(), 80u) << "plain ASCII, 80 columns";
  EXPECT_NE(lines[25][40], ' ');  // the ball
  EXPECT_EQ(lines[0][0], ' ');    // black around it
  EXPECT_EQ(lines[49][79], ' ');
  EXPECT_NE(RunProgram(kExamples + "/ascii_picture /nonexistent.raw 2>/dev/null", &status).size(), 50u);
  EXPECT_EQ(status, 1);
}

TEST(Examples, TheConsoleExamplesRunOnTheHeadlessBackEnd) {
  for (const char* program : {"/plasma_terminal", "/sync_scenes"}) {
    int status = -1;
    RunProgram(kExamples + program + " --backend headless --frames 3", &status);
    EXPECT_EQ(status, 0) << program;
    RunProgram(kExamples + program + " --backend nosuch --frames 3 2>/dev/null", &status);
    // A name the build lacks is a mistake in the command line, as in every program.
    EXPECT_EQ(status, 2) << program << " with a back end that does not exist";
  }
}

namespace {

TEST(Examples, EveryExampleAnswersHelpInsteadOfTakingItForAFile) {
  for (const char* program : {"/plasma_terminal", "/sync_scenes", "/ascii_picture"}) {
    int status = -1;
    const std::vector<std::string> lines = RunProgram(kExamples + program + " --help", &status);
    EXPECT_EQ(status, 0) << program;
    ASSERT_FALSE(lines.empty()) << program;
    EXPECT_EQ(lines[0].rfind("usage: ", 0), 0u) << program << ": " << lines[0];
  }
}

}  // namespace
