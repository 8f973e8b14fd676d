#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "pty_session.h"

namespace {

const std::string kView = std::string(QVL_TOOLS_DIR) + "/quorvel4-view";

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
  const std::string stem = testing::TempDir() + "view_" + std::to_string(getpid());
  const std::string out = stem + ".out", err = stem + ".err";
  const std::string command = "'" + kView + "' " + args + " >'" + out + "' 2>'" + err + "' </dev/null";
  const int raw = std::system(command.c_str());
  ToolRun run{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadAll(out), ReadAll(err)};
  std::remove(out.c_str());
  std::remove(err.c_str());
  return run;
}

// Runs the view tool on `picture` in a terminal of 80 x 50 cells, after `limit` (a shell
// command such as a ulimit) when one is given. The output is the terminal's.
ToolRun RunViewInTerminal(const std::string& picture, const std::string& limit = "") {
  const std::string command = (limit.empty() ? "" : limit + " && ") + "exec '" + kView + "' '" + picture + "'";
  PtySession session("/bin/sh", {"-c", command}, 80, 50, {"TERM=xterm"});
  const int status = session.Wait(60000);
  return {status, "", session.Output()};
}

uint32_t Crc32(const std::string& bytes) {
  uint32_t crc = 0xFFFFFFFF;
  for (const unsigned char byte : bytes) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
  }
  return ~crc;
}

std::string BigEndian(uint32_t value) {
  return {static_cast<char>(value >> 24), static_cast<char>(value >> 16), static_cast<char>(value >> 8),
          static_cast<char>(value)};
}

std::string Chunk(const std::string& type, const std::string& data) {
  return BigEndian(static_cast<uint32_t>(data.size())) + type + data + BigEndian(Crc32(type + data));
}

// A PNG of a few dozen bytes whose header claims an 8-bit RGB picture of width x height, and
// `padding` bytes more in a private chunk that readers skip (a file too short for the pixels it
// claims is refused before anything is allocated).
void WriteClaimingPng(const std::string& path, uint32_t width, uint32_t height, size_t padding = 0) {
  const std::string header = BigEndian(width) + BigEndian(height) + std::string("\x08\x02\x00\x00\x00", 5);
  std::ofstream(path, std::ios::binary) << std::string("\x89PNG\r\n\x1a\n", 8) << Chunk("IHDR", header)
                                        << (padding > 0 ? Chunk("paDd", std::string(padding, '\0')) : "")
                                        << Chunk("IDAT", std::string("\x78\x9c\x03\x00", 4)) << Chunk("IEND", "");
}

class ViewTool : public testing::Test {
 protected:
  void SetUp() override {
    if (!std::ifstream(kView)) GTEST_SKIP() << "view tool not built";
  }
};

}  // namespace

TEST_F(ViewTool, BadArgumentsGiveUsageAndStatusTwo) {
  for (const char* args : {"", "--ascii", "--sepia pic.png", "a.png b.png"}) {
    const ToolRun run = RunView(args);
    EXPECT_EQ(run.status, 2) << args;
    EXPECT_NE(run.err.find("usage: quorvel4-view [--ascii] [--backend NAME | --terminal | --window] PICTURE.png"), std::string::npos) << args;
    EXPECT_EQ(run.out, "") << args;
  }
  const ToolRun help = RunView("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("usage: quorvel4-view"), std::string::npos);
}

TEST_F(ViewTool, UnreadablePicturesGiveStatusOne) {
  const std::string missing = testing::TempDir() + "no_such_picture.png";
  ToolRun run = RunViewInTerminal(missing);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("quorvel4-view: cannot read " + missing), std::string::npos) << run.err;

  const std::string notPng = testing::TempDir() + "not_a_picture.png";
  std::ofstream(notPng) << "plain text, not a picture\n";
  run = RunViewInTerminal(notPng);
  std::remove(notPng.c_str());
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("quorvel4-view: cannot read " + notPng), std::string::npos) << run.err;
}

// Without a terminal nothing can be shown: the picture is not even looked at.
TEST_F(ViewTool, TheTerminalIsCheckedBeforeThePicture) {
  const std::string missing = testing::TempDir() + "no_such_picture.png";
  const ToolRun run = RunView("'" + missing + "'");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("standard output is not a terminal"), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find("cannot read"), std::string::npos) << run.err;
}

// The header's size is refused before the pixels are allocated, and an allocation that fails
// is reported like any other unreadable picture.
TEST_F(ViewTool, HugePicturesAreRefusedWithTheirSize) {
  const std::string png = testing::TempDir() + "claims_" + std::to_string(getpid()) + ".png";
  for (const auto& [width, height] : {std::pair{37000u, 37000u}, {65535u, 65535u}, {16384u, 8192u}, {100u, 16385u}}) {
    WriteClaimingPng(png, width, height);
    const ToolRun run = RunViewInTerminal(png);
    EXPECT_EQ(run.status, 1) << width << " x " << height;
    EXPECT_NE(run.err.find(std::to_string(width) + " x " + std::to_string(height) + " pixels"), std::string::npos)
        << run.err;
  }
#ifndef QVL_SANITIZED  // the sanitizer's shadow memory needs more than the limit
  WriteClaimingPng(png, 8192, 8192, 16384);  // within the bounds: 192 MiB of pixels
  const ToolRun run = RunViewInTerminal(png, "ulimit -d 100000");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("not enough memory for a picture of 8192 x 8192 pixels"), std::string::npos) << run.err;
#endif
  std::remove(png.c_str());
}

// On a back end that shows no one anything and has no keyboard, a program that runs until a
// key ends after its frame. (`timeout` only guards against the hang this is about.)
TEST(ProgramsUntilAKey, EndOnTheHeadlessBackEndAfterTheirFrame) {
  const std::string picture = std::string(QVL_SOURCE_DIR) + "/docs/preview.png";
  for (const std::string& command : {kView + " --backend headless " + picture,
                                    std::string(QVL_TOOLS_DIR) + "/quorvel4-testcard --backend headless"}) {
    const int raw = std::system(("timeout 120 " + command + " </dev/null >/dev/null").c_str());
    EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, 0) << command << " (124: still running after 120 s)";
  }
}
