// The music: an MP3 decoded from a memory block and played on the platform's audio output,
// whose playback position is the show's clock. Each platform has its own MusicOutput
// (demo/audio/); the rest is portable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "demo/data_file.h"
#include "demo/heard_position.h"
#include "demo/music_clock.h"

class MusicOutput;

// A whole file in one malloc'd block; the decoder reads from it while the music plays, so it
// must outlive the stream.
struct MusicBlock {
  struct Free {
    void operator()(void* p) const { std::free(p); }
  };
  std::unique_ptr<uint8_t, Free> data;
  size_t size = 0;
};

// The track is about 2 MB and is read whole: anything far beyond that is not the music, and
// must not be loaded into memory to find out.
inline constexpr uint64_t kMaxMusicFileBytes = uint64_t{256} << 20;

// Reads the music file whole into `block` (kNone); an empty file is refused (kEmpty).
// `fileSize`, when given, receives the file's size in bytes whenever it is known (a file refused
// as too large included).
DataFileError ReadMusicFile(const std::string& path, MusicBlock& block, uint64_t* fileSize = nullptr,
                            std::string* reason = nullptr);

class MusicStream : public LiveClock {
 public:
  MusicStream();
  ~MusicStream() override;
  MusicStream(const MusicStream&) = delete;
  MusicStream& operator=(const MusicStream&) = delete;

  // Opens the audio output. Without a usable device it falls back to playing silently at
  // the real pace, so the clock runs the same. On failure (an audio library too old, no
  // output at all) the reason is in Error().
  bool Init();
  bool Silent() const;

  // Opens the MP3 in `block` (kept by the caller until Close). On failure the decoder's
  // reason is in Error().
  bool Open(const MusicBlock& block);
  // Starts the music paused, then lets it play.
  bool Play();

  // Milliseconds of music heard so far: smooth, never going backwards between seeks, and
  // running on with the wall clock once the music has ended.
  int32_t MusicTime() override;

  // Live editing, after Play. Only where the output can (CanSeek); elsewhere nothing changes.
  bool CanSeek() const override;
  void Pause() override;
  void Resume() override;
  bool Paused() const override { return paused_; }
  bool Seek(int32_t ms) override;

  // Stops and closes the stream, then the audio output. Safe to call more than once.
  void Close();

  const std::string& Error() const;

 private:
  std::unique_ptr<MusicOutput> output_;
  HeardPosition heard_;
  bool playing_ = false;
  bool paused_ = false;
  int32_t pausedAt_ = 0;      // where the clock stands while paused
  double restartedAt_ = 0.0;  // reports stamped before this are of the music before a seek
};
