// An X server of the tests' own (Xvfb on a free display number), with a window manager when
// a test needs one, the X tools that drive it, and a child program that runs on it.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "capture_run.h"
#include "pty_session.h"


namespace xtest {

using Clock = std::chrono::steady_clock;
// How long to wait for a server, a window or a change before giving up: a guard against
// hanging, never a measure of speed.
constexpr auto kPatience = std::chrono::seconds(120);

inline bool Installed(const char* program) {
  return std::system((std::string("command -v ") + program + " >/dev/null 2>&1").c_str()) == 0;
}

// The environment with DISPLAY and WAYLAND_DISPLAY taken out and `extra` ("NAME=value") added.
inline std::vector<std::string> Environment(const std::vector<std::string>& extra) {
  return ChildEnvironment(extra, {"DISPLAY", "WAYLAND_DISPLAY"});
}

// Starts `argv` with the given environment; its standard input and output become pipes
// when `in` / `out` are given, its standard error is kept or sent to /dev/null.
inline pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env, int* in, int* out,
                   bool keepStandardError, int keepOpen = -1, const std::string& directory = "") {
  int toChild[2] = {-1, -1}, fromChild[2] = {-1, -1};
  if (in && pipe2(toChild, O_CLOEXEC) != 0) return -1;
  if (out && pipe2(fromChild, O_CLOEXEC) != 0) return -1;
  std::vector<std::string> args = argv, envCopy = env;
  std::vector<char*> argp, envp;
  for (auto& a : args) argp.push_back(a.data());
  for (auto& e : envCopy) envp.push_back(e.data());
  argp.push_back(nullptr);
  envp.push_back(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    const int null = open("/dev/null", O_RDWR);
    dup2(in ? toChild[0] : null, STDIN_FILENO);
    dup2(out ? fromChild[1] : null, STDOUT_FILENO);
    if (!keepStandardError) dup2(null, STDERR_FILENO);
    if (keepOpen >= 0) fcntl(keepOpen, F_SETFD, 0);
    if (!directory.empty() && chdir(directory.c_str()) != 0) _exit(127);
    execvpe(argp[0], argp.data(), envp.data());
    _exit(127);
  }
  if (in) {
    close(toChild[0]);
    *in = toChild[1];
  }
  if (out) {
    close(fromChild[1]);
    *out = fromChild[0];
  }
  return pid;
}

// Waits for `pid` to end; returns its exit status, 128 + N after signal N, or -1 when it
// did not end in time (it is then killed).
inline int WaitForExit(pid_t pid) {
  const auto deadline = Clock::now() + kPatience;
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (Clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

template <typename Condition>
bool Eventually(Condition condition) {
  const auto deadline = Clock::now() + kPatience;
  while (!condition()) {
    if (Clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

class XvfbDisplay {
 public:
  static bool Available() {
    return Installed("Xvfb") && Installed("openbox") && Installed("xdotool") && Installed("xprop") &&
           Installed("import");
  }

  // `screen` as Xvfb takes it ("1600x1400x24").
  XvfbDisplay(const std::string& screen, bool windowManager) {
    if (!Available()) return;
    StartServer(screen);
    if (name_.empty()) {
      problem_ = "Xvfb did not start";
      return;
    }
    if (windowManager) StartWindowManager();
  }

  ~XvfbDisplay() {
    for (pid_t pid : {manager_, server_}) {
      if (pid <= 0) continue;
      kill(pid, SIGTERM);
      WaitForExit(pid);
    }
  }

  bool Started() const { return !name_.empty(); }
  // Why the display is not there, when it is not.
  const std::string& Problem() const { return problem_; }
  const std::string& Name() const { return name_; }

  // Runs a shell command on this display; returns what it wrote to standard output.
  std::string Run(const std::string& command) const {
    return CommandOutput("DISPLAY=" + name_ + " " + command + " 2>/dev/null");
  }

 private:
  // Xvfb finds a free display number itself and writes it into the pipe once it takes
  // connections. Without -noreset it would start afresh whenever its last client leaves: a
  // client that connects in that moment (the window manager, while the test's own xprop comes
  // and goes) is turned away, and the root window's properties are lost.
  void StartServer(const std::string& screen) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return;
    server_ = Spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", screen, "-nolisten", "tcp", "-noreset"},
                    Environment({}), nullptr, nullptr, false, fds[1]);
    close(fds[1]);
    std::string number;
    pollfd pipeIn{fds[0], POLLIN, 0};
    char c = 0;
    while (poll(&pipeIn, 1, static_cast<int>(std::chrono::milliseconds(kPatience).count())) > 0 &&
           read(fds[0], &c, 1) == 1 && c != '\n') {
      number += c;
    }
    close(fds[0]);
    if (!number.empty()) name_ = ":" + number;
  }

  // Openbox takes map requests only after its theme and fonts; then it runs the startup command.
  void StartWindowManager() {
    manager_ = Spawn({"openbox", "--sm-disable", "--startup", "xprop -root -f _QVL_WM_READY 32c -set _QVL_WM_READY 1"},
                     Environment({"DISPLAY=" + name_}), nullptr, nullptr, false);
    int status = 0;
    bool ended = false;
    const auto ready = [&] { return Run("xprop -root _QVL_WM_READY").find("= 1") != std::string::npos; };
    if (Eventually([&] { return ready() || (ended = waitpid(manager_, &status, WNOHANG) == manager_); }) && !ended) {
      return;
    }
    problem_ = ended ? "openbox ended before it was ready, exit status " + std::to_string(WEXITSTATUS(status))
                     : "openbox was not ready within " + std::to_string(kPatience.count()) + " s";
    if (ended) manager_ = -1;
    name_.clear();
  }

  pid_t server_ = -1;
  pid_t manager_ = -1;
  std::string name_;
  std::string problem_;
};

// A program running on an XvfbDisplay, its standard input and output pipes to the test.
class XProgram {
 public:
  XProgram(const XvfbDisplay& display, const std::vector<std::string>& argv, std::vector<std::string> env = {},
           const std::string& directory = "") {
    env.push_back("DISPLAY=" + display.Name());
    pid_ = Spawn(argv, Environment(env), &in_, &out_, true, -1, directory);
  }
  ~XProgram() {
    if (pid_ > 0 && status_ == kRunning) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (in_ >= 0) close(in_);
    if (out_ >= 0) close(out_);
  }

  pid_t Pid() const { return pid_; }

  // Reads standard output until `text` has appeared in it.
  testing::AssertionResult ReadUntil(std::string_view text) {
    const auto deadline = Clock::now() + kPatience;
    while (output_.find(text) == std::string::npos) {
      pollfd pipeIn{out_, POLLIN, 0};
      const bool late = Clock::now() > deadline;
      if (late || poll(&pipeIn, 1, 100) < 0) return Missing(text, late ? "time ran out" : "poll failed");
      if (!(pipeIn.revents & (POLLIN | POLLHUP))) continue;
      char buffer[512];
      const ssize_t n = read(out_, buffer, sizeof buffer);
      if (n <= 0) return Missing(text, "the output ended");
      output_.append(buffer, static_cast<size_t>(n));
    }
    return testing::AssertionSuccess();
  }

  void Send(std::string_view text) {
    if (write(in_, text.data(), text.size()) < 0) return;
  }

  // Exit status, 128 + N after signal N, -1 when it would not end.
  int Wait() {
    if (status_ == kRunning) status_ = WaitForExit(pid_);
    return status_;
  }
  bool Running() {
    if (status_ != kRunning) return false;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == 0) return true;
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return false;
  }

 private:
  testing::AssertionResult Missing(std::string_view text, const char* why) const {
    return testing::AssertionFailure() << "waited for \"" << text << "\" until " << why << "; got \"" << output_ << '"';
  }

  static constexpr int kRunning = -2;
  pid_t pid_ = -1;
  int in_ = -1, out_ = -1;
  int status_ = kRunning;
  std::string output_;
};

}  // namespace xtest
