// quorvel4-capture.exe on Windows' own paths: device names, a full disk, no ffmpeg. Each run is a
// process of its own, in a scratch directory, with what it says on standard error kept.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

struct CaptureRun {
  DWORD status;
  std::string errors;
};

class WindowsCapture : public ::testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH];
    ASSERT_NE(GetTempPathA(sizeof temp, temp), 0u);
    scratch_ = std::filesystem::path(temp) / ("qvl_capture_" + std::to_string(GetCurrentProcessId()));
    std::filesystem::create_directories(scratch_ / "work");
  }
  void TearDown() override {
    std::error_code code;
    std::filesystem::remove_all(scratch_, code);
  }

  // quorvel4-capture.exe with `arguments`, in scratch/work; `flags` go to CreateProcess.
  CaptureRun Capture(const std::string& arguments, DWORD flags = 0) {
    const std::string errors = (scratch_ / "errors.txt").string();
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    const HANDLE errorFile = CreateFileA(errors.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                                         FILE_ATTRIBUTE_NORMAL, nullptr);
    const HANDLE nothing = CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                       &inherit, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nothing;
    startup.hStdOutput = nothing;
    startup.hStdError = errorFile;
    std::string command = "\"" QVL_CAPTURE_EXE "\" --seed 1 --data \"" QVL_SOURCE_DIR "/data\" " + arguments;
    PROCESS_INFORMATION process{};
    const std::string directory = (scratch_ / "work").string();
    const BOOL started = CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, flags, nullptr,
                                        directory.c_str(), &startup, &process);
    CloseHandle(errorFile);
    CloseHandle(nothing);
    if (!started) return {~0u, "CreateProcess failed, Windows error " + std::to_string(GetLastError())};
    const DWORD waited = WaitForSingleObject(process.hProcess, 120000);
    DWORD status = ~0u;
    if (waited == WAIT_OBJECT_0) GetExitCodeProcess(process.hProcess, &status);
    else TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    std::ifstream in(errors, std::ios::binary);
    std::string said(std::istreambuf_iterator<char>(in), {});
    if (waited != WAIT_OBJECT_0) said = "quorvel4-capture.exe did not end within 120 s; it said: " + said;
    return {status, said};
  }

  bool WorkIsEmpty() const { return std::filesystem::is_empty(scratch_ / "work"); }

  std::filesystem::path scratch_;
};

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace

// Device names are written in place, as /dev/null is on Linux: nothing to rename at the end.
TEST_F(WindowsCapture, DeviceNamesAreWrittenInPlace) {
  for (const char* device : {"NUL", "nul.cells", "CON"}) {
    // CON needs a console: one of its own, without a window (a window would take the focus
    // from the console tests that run beside this one).
    const CaptureRun run =
        Capture(std::string("--times 300,900 --format cells --out ") + device, device[0] == 'C' ? CREATE_NO_WINDOW : 0);
    EXPECT_EQ(run.status, 0u) << device << ": " << run.errors;
    EXPECT_TRUE(Has(run.errors, std::string("quorvel4-capture: 2 frames")) && Has(run.errors, device)) << run.errors;
    EXPECT_TRUE(WorkIsEmpty()) << device;
  }
}

// A full disk in Windows' words; no ffmpeg: where Windows users get it.
TEST_F(WindowsCapture, MessagesSpeakOfWindows) {
  // Wine shows the Linux /dev/full as Z:\dev\full, a disk that is always full.
  if (GetFileAttributesA("Z:\\dev\\full") != INVALID_FILE_ATTRIBUTES) {
    const CaptureRun run = Capture("--times 300 --format cells --out Z:\\dev\\full");
    EXPECT_EQ(run.status, 1u);
    EXPECT_TRUE(Has(run.errors, "cannot write Z:\\dev\\full: ")) << run.errors;
    EXPECT_TRUE(Has(run.errors, "(Windows error 112)")) << run.errors;
  }

  char path[32768];
  const DWORD length = GetEnvironmentVariableA("PATH", path, sizeof path);
  ASSERT_TRUE(SetEnvironmentVariableA("PATH", scratch_.string().c_str()));
  const CaptureRun run = Capture("--times 0:1000 --format mp4 --out show.mp4");
  SetEnvironmentVariableA("PATH", length > 0 ? path : nullptr);
  EXPECT_EQ(run.status, 1u);
  EXPECT_TRUE(Has(run.errors, "needs the ffmpeg program (a Windows build linked from https://ffmpeg.org/"))
      << run.errors;
  EXPECT_FALSE(Has(run.errors, "Debian")) << run.errors;
  EXPECT_TRUE(WorkIsEmpty());
}
