// What the fuzz targets share: taking the fuzzer's bytes apart, a scratch file for the readers
// that read from a path, and a check that stops the run where a property fails.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

// A property of the reader does not hold: said with the place, then abort(), which the fuzzer
// (or the replay) reports with the input.
#define FUZZ_CHECK(condition)                                                                    \
  do {                                                                                           \
    if (!(condition)) {                                                                          \
      std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #condition);     \
      std::abort();                                                                              \
    }                                                                                            \
  } while (0)

// The fuzzer's bytes, taken from the front a piece at a time; what is asked for past the end
// reads as zero.
class FuzzBytes {
 public:
  FuzzBytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  // Up to `count` bytes (fewer at the end).
  std::string_view Take(size_t count) {
    const size_t n = count < Left() ? count : Left();
    const std::string_view piece(reinterpret_cast<const char*>(data_ + at_), n);
    at_ += n;
    return piece;
  }
  std::string_view Rest() { return Take(Left()); }
  size_t Left() const { return size_ - at_; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

// One file per process for the readers that take a path; rewritten with every input. A file
// that cannot be made or written stops the run (abort), as a failed property does.
class ScratchFile {
 public:
  explicit ScratchFile(const char* name);
  ~ScratchFile();
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;
  // Writes `bytes` as the whole file.
  void Write(std::string_view bytes) const;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};
