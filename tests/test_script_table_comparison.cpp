// The built-in show's script against the C++ scene table it replaces: every frame of the whole
// show at 60 frames a second, the same cells. The table keeps its statics for the whole run,
// as the script's effects do, so each runs in a process of its own from program start.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <vector>

#include "demo/frame.h"
#include "demo/show_session.h"
#include "demo/show_script.h"
#include "quorvel4/console.h"

namespace {

uint64_t Hash(const std::vector<Cell>& cells) {
  uint64_t h = 1469598103934665603ull;
  for (Cell c : cells) h = (h ^ c) * 1099511628211ull;
  return h;
}

std::vector<uint64_t> RunWhole(bool script) {
  auto backend = std::make_unique<HeadlessBackend>();
  HeadlessBackend* screen = backend.get();
  UseConsoleBackend(std::move(backend));
  InitConsoleWithSeed(7);
  Show show;
  PrepareShow(show, std::string(QVL_SOURCE_DIR) + "/data");
  SetScrollSpeeds(show);
  if (!script) show.script.reset();
  std::vector<uint64_t> hashes;
  for (int frame = 0; frame * 1000 / 60 < 124000; ++frame) {
    RunFrame(frame * 1000 / 60, show);
    hashes.push_back(Hash(screen->LastFrame()));
    if (show.ended) break;
  }
  return hashes;
}

}  // namespace

TEST(BuiltInShowScript, EveryFrameAtSixtyASecondIsTheCppTables) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(fds[0]);
    const std::vector<uint64_t> table = RunWhole(false);
    const size_t n = table.size();
    (void)!write(fds[1], &n, sizeof n);
    (void)!write(fds[1], table.data(), n * sizeof(uint64_t));
    _exit(0);
  }
  close(fds[1]);
  const std::vector<uint64_t> script = RunWhole(true);
  size_t n = 0;
  ASSERT_EQ(read(fds[0], &n, sizeof n), static_cast<ssize_t>(sizeof n));
  std::vector<uint64_t> table(n);
  size_t got = 0;
  while (got < n * sizeof(uint64_t)) {
    const ssize_t r = read(fds[0], reinterpret_cast<char*>(table.data()) + got, n * sizeof(uint64_t) - got);
    ASSERT_GT(r, 0);
    got += static_cast<size_t>(r);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_EQ(script.size(), table.size());
  for (size_t i = 0; i < n; ++i) ASSERT_EQ(script[i], table[i]) << "frame " << i << " at " << i * 1000 / 60 << " ms";
}
