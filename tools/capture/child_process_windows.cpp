// The helper program (the video encoder) on Windows: CreateProcess with a pipe to its
// standard input and a temporary file for what it prints.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "child_process.h"
#include "windows_error.h"

namespace {

// One argument as the C runtime's command-line parser reads it back.
std::string Quoted(const std::string& arg) {
  if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) return arg;
  std::string quoted = "\"";
  size_t backslashes = 0;
  for (char c : arg) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(2 * backslashes, '\\');
  return quoted + "\"";
}

std::string Failed(const char* what) { return std::string(what) + ": " + WindowsError(GetLastError()); }

}  // namespace

std::optional<std::string> FindOnPath(const std::string& name) {
  char found[MAX_PATH];
  const DWORD length = SearchPathA(nullptr, name.c_str(), ".exe", sizeof found, found, nullptr);
  if (length == 0 || length >= sizeof found) return std::nullopt;
  return std::string(found, length);
}

const char* WhereToGetPrograms() { return "a Windows build linked from https://ffmpeg.org/download.html"; }

ChildProcess::~ChildProcess() {
  CloseInput();
  if (pid_ > 0) {
    if (HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, static_cast<DWORD>(pid_))) {
      TerminateProcess(process, 1);
      WaitForSingleObject(process, INFINITE);
      CloseHandle(process);
    }
  }
  if (output_ >= 0) _close(output_);
}

bool ChildProcess::Start(const std::string& program, const std::vector<std::string>& args, bool feedInput,
                         std::string* error) {
  char directory[MAX_PATH];
  char path[MAX_PATH];
  if (GetTempPathA(sizeof directory, directory) == 0 || GetTempFileNameA(directory, "qvl", 0, path) == 0) {
    *error = Failed("cannot create a temporary file");
    return false;
  }
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  // Removed once closed; readable by us while the child writes it.
  const HANDLE output = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (output == INVALID_HANDLE_VALUE) {
    *error = Failed("cannot create a temporary file");
    return false;
  }
  output_ = _open_osfhandle(reinterpret_cast<intptr_t>(output), _O_RDONLY | _O_BINARY);

  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  if (feedInput) {
    // A video frame is megabytes: a larger pipe means fewer switches between writer and reader.
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 1 << 20)) {
      *error = Failed("cannot create a pipe");
      return false;
    }
    SetHandleInformation(writeEnd, HANDLE_FLAG_INHERIT, 0);
  } else {
    readEnd = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
  }

  std::string commandLine = Quoted(program);
  for (const std::string& arg : args) {
    commandLine += ' ';
    commandLine += Quoted(arg);
  }
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = readEnd;
  startup.hStdOutput = output;
  startup.hStdError = output;
  PROCESS_INFORMATION process{};
  // A group of its own: Ctrl-C reaches only this tool, which ends the child.
  const BOOL started = CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                      CREATE_NEW_PROCESS_GROUP, nullptr, nullptr, &startup, &process);
  if (readEnd != nullptr && readEnd != INVALID_HANDLE_VALUE) CloseHandle(readEnd);
  if (!started) {
    if (writeEnd != nullptr) CloseHandle(writeEnd);
    *error = Failed(("cannot start " + program).c_str());
    return false;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);  // found again by its id
  pid_ = static_cast<pid_t>(process.dwProcessId);
  input_ = feedInput ? _open_osfhandle(reinterpret_cast<intptr_t>(writeEnd), _O_WRONLY | _O_BINARY) : -1;
  return true;
}

std::optional<std::string> ChildProcess::Wait() {
  CloseInput();
  const HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid_));
  pid_ = -1;
  if (process == nullptr) return Failed("lost track of the process");
  WaitForSingleObject(process, INFINITE);
  DWORD status = 1;
  GetExitCodeProcess(process, &status);
  CloseHandle(process);
  if (status == 0) return std::nullopt;
  return "exit status " + std::to_string(status);
}

std::string ChildProcess::Output() const {
  std::string text;
  if (output_ < 0) return text;
  const HANDLE file = reinterpret_cast<HANDLE>(_get_osfhandle(output_));
  char buffer[4096];
  OVERLAPPED at{};
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, &at) && got > 0) {
    text.append(buffer, got);
    at.Offset += got;
  }
  return text;
}
