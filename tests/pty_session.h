// Runs a program in a pseudo-terminal the way an interactive shell does: the program in a
// foreground process group of its own, under a small session leader that reports its end
// as a shell would (the exit code, or 128 + N after signal N).
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <utmp.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>


extern char** environ;

// The test's environment without the variables `dropped` names, `extra` ("NAME=value") added.
inline std::vector<std::string> ChildEnvironment(const std::vector<std::string>& extra,
                                                 std::vector<std::string> dropped = {}) {
  for (const std::string& x : extra) dropped.push_back(x.substr(0, x.find('=')));
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    bool drop = false;
    for (const std::string& name : dropped) drop |= std::string_view(*e).starts_with(name + "=");
    if (!drop) env.emplace_back(*e);
  }
  env.insert(env.end(), extra.begin(), extra.end());
  return env;
}

class PtySession {
 public:
  // A guard against hanging, never a measure of speed: load and sanitizers slow things down.
  static constexpr int kPatienceMs = 120000;

  // `env` entries ("NAME=value") replace or add to the test's environment.
  // With `separateOutput` the program's standard output is a second terminal, one that is
  // not its controlling terminal: its end can be cut off without a hangup signal.
  PtySession(const std::string& program, const std::vector<std::string>& args, int columns, int rows,
             const std::vector<std::string>& env, bool separateOutput = false) {
    winsize size{};
    size.ws_col = static_cast<unsigned short>(columns);
    size.ws_row = static_cast<unsigned short>(rows);
    if (openpty(&master_, &slave_, nullptr, nullptr, &size) != 0) return;
    if (separateOutput && openpty(&outputMaster_, &outputSlave_, nullptr, nullptr, &size) != 0) return;
    tcgetattr(slave_, &initialModes_);
    int pidPipe[2];
    if (pipe(pidPipe) != 0) return;

    std::vector<std::string> environment = ChildEnvironment(env);
    std::vector<char*> envp, argv;
    for (auto& e : environment) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string programCopy = program;
    argv.push_back(programCopy.data());
    std::vector<std::string> argsCopy = args;
    for (auto& a : argsCopy) argv.push_back(a.data());
    argv.push_back(nullptr);

    leader_ = fork();
    if (leader_ == 0) RunLeader(pidPipe, argv.data(), envp.data());
    close(pidPipe[1]);
    pid_t program_pid = -1;
    if (read(pidPipe[0], &program_pid, sizeof program_pid) == sizeof program_pid) program_ = program_pid;
    close(pidPipe[0]);
  }

  ~PtySession() {
    if (leader_ > 0 && status_ < 0) {
      if (program_ > 0) kill(program_, SIGKILL);
      kill(leader_, SIGKILL);
      waitpid(leader_, nullptr, 0);
    }
    if (master_ >= 0) close(master_);
    CloseOutputTerminal();
    if (slave_ >= 0) close(slave_);
  }

  bool Started() const { return program_ > 0; }
  pid_t ProgramPid() const { return program_; }
  const termios& InitialModes() const { return initialModes_; }
  termios CurrentModes() const {
    termios modes{};
    tcgetattr(slave_, &modes);
    return modes;
  }
  // Bytes typed but not yet read by the program.
  int PendingInput() const {
    int count = -1;
    ioctl(slave_, FIONREAD, &count);
    return count;
  }

  void Type(std::string_view keys) { (void)!write(master_, keys.data(), keys.size()); }
  void Resize(int columns, int rows) {
    winsize size{};
    size.ws_col = static_cast<unsigned short>(columns);
    size.ws_row = static_cast<unsigned short>(rows);
    ioctl(master_, TIOCSWINSZ, &size);
  }

  // Reads what the program writes until `done(output)` holds; a failure says what it saw.
  template <typename Done>
  testing::AssertionResult ReadUntilDone(Done done, std::string_view what, int timeoutMs = kPatienceMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done(output_)) {
      if (std::chrono::steady_clock::now() > deadline) {
        return testing::AssertionFailure() << "waited " << timeoutMs << " ms for " << what << "; the program wrote "
                                           << output_.size() << " bytes, ending "
                                           << testing::PrintToString(output_.substr(output_.size() - std::min<size_t>(output_.size(), 300)));
      }
      Drain(20);
    }
    return testing::AssertionSuccess();
  }
  testing::AssertionResult ReadUntil(std::string_view needle, size_t from = 0, int timeoutMs = kPatienceMs) {
    return ReadUntilDone([&](const std::string& out) { return out.find(needle, from) != std::string::npos; },
                         testing::PrintToString(std::string(needle)) + " after byte " + std::to_string(from), timeoutMs);
  }

  // Waits for the program's end, reading its output meanwhile; the shell-style status,
  // or -1 on timeout.
  int Wait(int timeoutMs = kPatienceMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (status_ < 0 && std::chrono::steady_clock::now() < deadline) {
      int raw = 0;
      if (waitpid(leader_, &raw, WNOHANG) == leader_) {
        status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
      } else {
        Drain(10);
      }
    }
    while (Drain(0)) {
    }
    return status_;
  }

  // Stops the terminal's output, as a terminal that stops reading (or a Ctrl+S) does: every
  // write to it waits from then on (or fails with EAGAIN on a non-blocking descriptor).
  void StopOutput() { tcflow(OutputSlave(), TCOOFF); }
  void ResumeOutput() { tcflow(OutputSlave(), TCOON); }

  // Sets O_NONBLOCK on the terminal's open file, which the program's standard streams share,
  // as another program on the same terminal may have left it.
  void MakeNonBlocking() { fcntl(slave_, F_SETFL, fcntl(slave_, F_GETFL) | O_NONBLOCK); }

  // Waits until the program sits in one of the system calls `calls` (SYS_ numbers) on three
  // looks 50 ms apart, the unread bytes unchanged. Fails at once when the program has ended.
  testing::AssertionResult WaitBlockedIn(std::initializer_list<long> calls, int timeoutMs = kPatienceMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    int unread = -1, lastUnread = -1, stillLooks = 0;
    long call = -1;
    while (std::chrono::steady_clock::now() < deadline) {
      ioctl(outputMaster_ >= 0 ? outputMaster_ : master_, FIONREAD, &unread);
      std::ifstream syscallFile("/proc/" + std::to_string(program_) + "/syscall");
      if (!syscallFile) return testing::AssertionFailure() << "the program ended instead of waiting";
      if (!(syscallFile >> call)) call = -1;  // "running" while it runs
      const bool inCall = std::find(calls.begin(), calls.end(), call) != calls.end();
      stillLooks = inCall && unread == lastUnread ? stillLooks + 1 : 0;
      if (stillLooks >= 2) return testing::AssertionSuccess();
      lastUnread = unread;
      poll(nullptr, 0, 50);
    }
    return testing::AssertionFailure() << "waited " << timeoutMs << " ms for the program to block; its last "
                                       << "system call was " << call << ", the terminal held " << unread
                                       << " unread bytes";
  }

  // Whether the terminal's open file is non-blocking now (a signal handler sets it while it
  // writes), and a wait for it, looked at every millisecond without reading the output.
  bool NonBlocking() const { return (fcntl(slave_, F_GETFL) & O_NONBLOCK) != 0; }
  testing::AssertionResult WaitNonBlocking(int timeoutMs = kPatienceMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!NonBlocking()) {
      if (std::chrono::steady_clock::now() > deadline)
        return testing::AssertionFailure() << "waited " << timeoutMs << " ms for the terminal to be made non-blocking";
      poll(nullptr, 0, 1);
    }
    return testing::AssertionSuccess();
  }

  // StopOutput, then waits until the program is blocked in a write.
  testing::AssertionResult StopOutputAndWaitBlockedWriting(int timeoutMs = kPatienceMs) {
    StopOutput();
    return WaitBlockedIn({SYS_write}, timeoutMs);
  }

  // Waits for the program's end without reading its output (a terminal that stopped reading);
  // the shell-style status, or -1 on timeout.
  int WaitWithoutReading(int timeoutMs = kPatienceMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (status_ < 0 && std::chrono::steady_clock::now() < deadline) {
      int raw = 0;
      if (waitpid(leader_, &raw, WNOHANG) == leader_)
        status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
      else
        poll(nullptr, 0, 10);
    }
    return status_;
  }

  // Waits until the program is stopped (job control).
  testing::AssertionResult WaitStopped(int timeoutMs = kPatienceMs) {
    char state = '?';
    const auto stoppedOrGone = [&](const std::string&) {
      state = ProcessState();
      return state == 'T' || state == '?' || state == 'Z';
    };
    testing::AssertionResult waited = ReadUntilDone(stoppedOrGone, "the program to stop", timeoutMs);
    if (waited && state != 'T') return testing::AssertionFailure() << "the program ended instead of stopping";
    return waited;
  }

  const std::string& Output() const { return output_; }
  // Reads whatever the program has written, without waiting: a program whose terminal is not
  // read stops in its writes.
  void DrainNow() {
    while (Drain(0)) {
    }
  }

  // Cuts off the second terminal: the program's writes fail from then on, and what it writes
  // to its controlling terminal is read instead.
  void CloseOutputTerminal() {
    if (outputMaster_ >= 0) close(outputMaster_);
    if (outputSlave_ >= 0) close(outputSlave_);
    outputMaster_ = outputSlave_ = -1;
  }

 private:
  // The session leader: owns the terminal, starts the program in the foreground and
  // reports its end. Runs in the forked child; never returns.
  [[noreturn]] void RunLeader(int pidPipe[2], char** argv, char** envp) {
    close(pidPipe[0]);
    close(master_);
    if (outputMaster_ >= 0) close(outputMaster_);
    setsid();
    ioctl(slave_, TIOCSCTTY, 0);
    signal(SIGTTOU, SIG_IGN);  // handing the terminal to the program's group from either side
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);  // SIGQUIT and SIGABRT would leave core files
    const pid_t child = fork();
    if (child == 0) {
      setpgid(0, 0);
      tcsetpgrp(slave_, getpid());
      signal(SIGTTOU, SIG_DFL);
      dup2(slave_, 0);
      dup2(outputSlave_ >= 0 ? outputSlave_ : slave_, 1);
      dup2(slave_, 2);
      if (slave_ > 2) close(slave_);
      close(pidPipe[1]);
      execve(argv[0], argv, envp);
      _exit(127);
    }
    setpgid(child, child);
    tcsetpgrp(slave_, child);
    (void)!write(pidPipe[1], &child, sizeof child);
    close(pidPipe[1]);
    int raw = 0;
    while (waitpid(child, &raw, 0) < 0) {
    }
    _exit(WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw));
  }

  int OutputSlave() const { return outputSlave_ >= 0 ? outputSlave_ : slave_; }

  bool Drain(int timeoutMs) {
    pollfd input{outputMaster_ >= 0 ? outputMaster_ : master_, POLLIN, 0};
    if (poll(&input, 1, timeoutMs) <= 0) return false;
    char buffer[65536];
    const ssize_t n = read(input.fd, buffer, sizeof buffer);
    if (n <= 0) return false;
    output_.append(buffer, static_cast<size_t>(n));
    return true;
  }

  char ProcessState() const {
    std::ifstream stat("/proc/" + std::to_string(program_) + "/stat");
    std::string line;
    std::getline(stat, line);
    const size_t close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() ? line[close + 2] : '?';
  }

  int master_ = -1;
  int outputMaster_ = -1;
  int outputSlave_ = -1;
  int slave_ = -1;
  pid_t leader_ = -1;
  pid_t program_ = -1;
  int status_ = -1;
  termios initialModes_{};
  std::string output_;
};
