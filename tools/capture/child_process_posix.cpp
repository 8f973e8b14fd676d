// Helper programs on POSIX systems: posix_spawn with a pipe to the standard input and an
// unlinked temporary file for what they print.
#include "child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

extern char** environ;

std::optional<std::string> FindOnPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  if (path == nullptr) return std::nullopt;
  std::string directories = path;
  size_t start = 0;
  while (start <= directories.size()) {
    size_t end = directories.find(':', start);
    if (end == std::string::npos) end = directories.size();
    const std::string directory = directories.substr(start, end - start);
    const std::string candidate = (directory.empty() ? "." : directory) + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return std::nullopt;
}

const char* WhereToGetPrograms() { return "Debian package ffmpeg"; }

ChildProcess::~ChildProcess() {
  CloseInput();
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  if (output_ >= 0) close(output_);
}

bool ChildProcess::Start(const std::string& program, const std::vector<std::string>& args, bool feedInput,
                         std::string* error) {
  FILE* output = std::tmpfile();
  if (output == nullptr) {
    *error = std::string("cannot create a temporary file: ") + std::strerror(errno);
    return false;
  }
  output_ = fcntl(fileno(output), F_DUPFD_CLOEXEC, 0);
  std::fclose(output);
  int pipeFds[2] = {-1, -1};
  if (feedInput && pipe2(pipeFds, O_CLOEXEC) != 0) {
    *error = std::string("cannot create a pipe: ") + std::strerror(errno);
    return false;
  }
  // A video frame is megabytes: a larger pipe means fewer switches between writer and reader.
  if (feedInput) fcntl(pipeFds[1], F_SETPIPE_SZ, 1 << 20);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (feedInput)
    posix_spawn_file_actions_adddup2(&actions, pipeFds[0], 0);
  else
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, output_, 1);
  posix_spawn_file_actions_adddup2(&actions, output_, 2);

  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t defaults;
  sigemptyset(&defaults);
  for (int signal : {SIGPIPE, SIGINT, SIGTERM, SIGHUP}) sigaddset(&defaults, signal);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setpgroup(&attributes, 0);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);

  std::vector<char*> argv;
  std::string programCopy = program;
  std::vector<std::string> argsCopy = args;
  argv.push_back(programCopy.data());
  for (std::string& arg : argsCopy) argv.push_back(arg.data());
  argv.push_back(nullptr);
  const int result = posix_spawn(&pid_, program.c_str(), &actions, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (feedInput) close(pipeFds[0]);
  if (result != 0) {
    pid_ = -1;
    if (feedInput) close(pipeFds[1]);
    *error = "cannot start " + program + ": " + std::strerror(result);
    return false;
  }
  input_ = feedInput ? pipeFds[1] : -1;
  return true;
}

std::optional<std::string> ChildProcess::Wait() {
  CloseInput();
  int status = 0;
  pid_t waited;
  do {
    waited = waitpid(pid_, &status, 0);
  } while (waited < 0 && errno == EINTR);
  pid_ = -1;
  if (waited < 0) return std::string("lost track of the process: ") + std::strerror(errno);
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return std::nullopt;
  if (WIFEXITED(status)) return "exit status " + std::to_string(WEXITSTATUS(status));
  return "killed by signal " + std::to_string(WTERMSIG(status));
}

std::string ChildProcess::Output() const {
  std::string text;
  if (output_ < 0) return text;
  char buffer[4096];
  ssize_t got;
  for (off_t at = 0; (got = pread(output_, buffer, sizeof buffer, at)) > 0; at += got) text.append(buffer, got);
  return text;
}
