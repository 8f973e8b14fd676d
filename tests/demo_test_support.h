// Helpers shared by the demo's tests: scratch directories and stand-in pictures and music.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "demo/images.h"
#include "quorvel4/console.h"

// A fresh directory, removed with everything in it at the end of the test.
class ScratchDirectory {
 public:
  ScratchDirectory() {
    char name[] = "/tmp/qvl_test_XXXXXX";
    path_ = mkdtemp(name);
  }
  ~ScratchDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::filesystem::path& path() const { return path_; }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
}

// A picture whose pixels differ from picture to picture and place to place, with black squares
// (transparent to the keyed blit).
inline std::vector<uint8_t> StandInPicture(int width, int height, int seed) {
  std::vector<uint8_t> bytes;
  bytes.reserve(static_cast<size_t>(width) * height * 3);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const bool black = (x / 10 + y / 10) % 3 == 0;
      bytes.push_back(black ? 0 : static_cast<uint8_t>(x * 3 + seed * 20));
      bytes.push_back(black ? 0 : static_cast<uint8_t>(y * 5 + seed));
      bytes.push_back(black ? 0 : static_cast<uint8_t>((x ^ y) * 7));
    }
  }
  return bytes;
}

// One MPEG-1 layer III frame (128 kbit/s, 44.1 kHz) with no audio data: 1152 samples of
// silence, about 26.1 ms.
inline std::vector<uint8_t> SilentMp3(int frames) {
  std::vector<uint8_t> frame(417, 0);
  frame[0] = 0xFF;
  frame[1] = 0xFB;
  frame[2] = 0x90;
  frame[3] = 0x64;
  std::vector<uint8_t> bytes;
  for (int i = 0; i < frames; ++i) bytes.insert(bytes.end(), frame.begin(), frame.end());
  return bytes;
}

// A data directory with all seventeen pictures and, when musicFrames > 0, a silent MP3.
inline void WriteStandInData(const std::filesystem::path& dataDir, int musicFrames) {
  std::filesystem::create_directories(dataDir);
  for (int id = 0; id < kImageCount; ++id) {
    const PictureFile& picture = PictureFileOf(static_cast<ImageId>(id));
    WriteBytes((dataDir / picture.fileName).string(), StandInPicture(picture.width, picture.height, id));
  }
  if (musicFrames > 0) WriteBytes((dataDir / "8920.mp3").string(), SilentMp3(musicFrames));
}

// Runs in another working directory for the length of a scope.
class WorkingDirectory {
 public:
  explicit WorkingDirectory(const std::filesystem::path& path) : saved_(std::filesystem::current_path()) {
    std::filesystem::current_path(path);
  }
  ~WorkingDirectory() { std::filesystem::current_path(saved_); }

 private:
  std::filesystem::path saved_;
};

// The headless console, set up with seed 1; returns it for inspection.
inline HeadlessBackend* UseHeadlessConsole() {
  auto backend = std::make_unique<HeadlessBackend>();
  HeadlessBackend* screen = backend.get();
  UseConsoleBackend(std::move(backend));
  InitConsoleWithSeed(1);
  return screen;
}

// Makes a FIFO at `fifo` and runs `read` on it on a thread of its own. A reader that waits for
// a writer fails the test and is then let go by one, so a regression fails instead of hanging.
template <class Read>
auto ReadFifoWithoutAWriter(const std::string& fifo, Read read) {
  EXPECT_EQ(mkfifo(fifo.c_str(), 0600), 0) << fifo;
  auto result = std::async(std::launch::async, read);
  if (result.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
    ADD_FAILURE() << "reading " << fifo << " waited for a writer";
    const int writer = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    if (writer >= 0) close(writer);
  }
  return result.get();
}

// A file of `bytes` bytes that takes no room on the disk.
inline void MakeSparseFile(const std::string& path, uint64_t bytes) {
  WriteBytes(path, {});
  std::error_code error;
  std::filesystem::resize_file(path, bytes, error);
  ASSERT_FALSE(error) << path << ": " << error.message();
}
