#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

struct ToolRun {
  int status;
  std::string out, err;
};

std::string ReadAll(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Runs the view tool with `args` (a shell word list) and collects its output.
ToolRun RunView(const std::string& args) {
  const std::string tool = std::string(QVL_TOOLS_DIR) + "/view";
  const std::string stem = testing::TempDir() + "view_" + std::to_string(getpid());
  const std::string out = stem + ".out", err = stem + ".err";
  const std::string command = "'" + tool + "' " + args + " >'" + out + "' 2>'" + err + "' </dev/null";
  const int raw = std::system(command.c_str());
  ToolRun run{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadAll(out), ReadAll(err)};
  std::remove(out.c_str());
  std::remove(err.c_str());
  return run;
}

class ViewTool : public testing::Test {
 protected:
  void SetUp() override {
    if (!std::ifstream(std::string(QVL_TOOLS_DIR) + "/view")) GTEST_SKIP() << "view tool not built";
  }
};

}  // namespace

TEST_F(ViewTool, BadArgumentsGiveUsageAndStatusTwo) {
  for (const char* args : {"", "--ascii", "--sepia pic.png", "a.png b.png"}) {
    const ToolRun run = RunView(args);
    EXPECT_EQ(run.status, 2) << args;
    EXPECT_NE(run.err.find("usage: view [--ascii] PICTURE.png"), std::string::npos) << args;
    EXPECT_EQ(run.out, "") << args;
  }
  const ToolRun help = RunView("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("usage: view"), std::string::npos);
}

TEST_F(ViewTool, UnreadablePicturesGiveStatusOne) {
  const std::string missing = testing::TempDir() + "no_such_picture.png";
  ToolRun run = RunView("'" + missing + "'");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("view: cannot read " + missing), std::string::npos) << run.err;

  const std::string notPng = testing::TempDir() + "not_a_picture.png";
  std::ofstream(notPng) << "plain text, not a picture\n";
  run = RunView("--ascii '" + notPng + "'");
  std::remove(notPng.c_str());
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("view: cannot read " + notPng), std::string::npos) << run.err;
}
