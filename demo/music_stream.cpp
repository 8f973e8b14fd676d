#include "demo/music_stream.h"

#include <SDL.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "demo/data_file.h"

namespace {

// ALSA and the MP3 decoder write notes to standard error while a device or a file is
// opened; on the terminal that shows the picture they would garble it. Failures are reported
// through SDL's error text instead.
class QuietStandardError {
 public:
  QuietStandardError() {
    std::fflush(stderr);
    saved_ = dup(STDERR_FILENO);
    const int null = open("/dev/null", O_WRONLY);
    if (null >= 0) {
      dup2(null, STDERR_FILENO);
      close(null);
    }
  }
  ~QuietStandardError() {
    if (saved_ < 0) return;
    std::fflush(stderr);
    dup2(saved_, STDERR_FILENO);
    close(saved_);
  }
  QuietStandardError(const QuietStandardError&) = delete;
  QuietStandardError& operator=(const QuietStandardError&) = delete;

 private:
  int saved_ = -1;
};

// The one stream the mixer's finished hook reports to (the hook carries no user data).
MusicStream* activeStream = nullptr;

constexpr int kMixRate = 44100;
constexpr int kChunkFrames = 1024;

}  // namespace

bool MixerVersionAtLeast(const MixerVersion& linked, const MixerVersion& minimum) {
  if (linked.major != minimum.major) return linked.major > minimum.major;
  if (linked.minor != minimum.minor) return linked.minor > minimum.minor;
  return linked.patch >= minimum.patch;
}

MixerVersion LinkedMixerVersion() {
  const SDL_version* version = Mix_Linked_Version();
  return {version->major, version->minor, version->patch};
}

MusicFileResult ReadMusicFile(const std::string& path, MusicBlock& block, uint64_t* fileSize) {
  const DataFile data = OpenDataFile(path, kMaxMusicFileBytes);
  if (fileSize != nullptr) *fileSize = data.size;
  switch (data.error) {
    case DataFileError::kNone:
      break;
    case DataFileError::kNotFound:
      return MusicFileResult::kNotFound;
    case DataFileError::kNotRegular:
      return MusicFileResult::kNotRegular;
    case DataFileError::kTooLarge:
      return MusicFileResult::kTooLarge;
    case DataFileError::kUnreadable:
      return MusicFileResult::kUnreadable;
  }
  if (data.size == 0) return MusicFileResult::kEmpty;
  const size_t length = static_cast<size_t>(data.size);
  block.data.reset(static_cast<uint8_t*>(std::malloc(length)));
  if (!block.data || std::fread(block.data.get(), length, 1, data.file.get()) != 1) {
    block.data.reset();
    return MusicFileResult::kUnreadable;
  }
  block.size = length;
  return MusicFileResult::kRead;
}

MusicStream::~MusicStream() { Close(); }

bool MusicStream::OpenAudio() {
  // The show has its own key test and must stay stoppable by signals: SDL is not to catch them.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
  if (Mix_OpenAudio(kMixRate, AUDIO_S16SYS, 2, kChunkFrames) != 0) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
  }
  return true;
}

bool MusicStream::Init() {
  QuietStandardError quiet;
  if (!OpenAudio()) {
    // No sound device (a server, a remote session, CI): play on silently at the same pace.
    SDL_setenv("SDL_AUDIODRIVER", "dummy", 1);
    if (!OpenAudio()) {
      error_ = SDL_GetError();
      return false;
    }
    silent_ = true;
  }
  audioOpen_ = true;
  Mix_Init(MIX_INIT_MP3);

  Uint16 format = AUDIO_S16SYS;
  int channels = 2;
  Mix_QuerySpec(&frequency_, &format, &channels);
  bytesPerFrame_ = std::max(1, static_cast<int>(SDL_AUDIO_BITSIZE(format) / 8) * channels);
  return true;
}

bool MusicStream::Open(const MusicBlock& block) {
  QuietStandardError quiet;
  SDL_RWops* source = SDL_RWFromConstMem(block.data.get(), static_cast<int>(block.size));
  // The type is given: guessing would report a damaged file as some other format.
  music_ = source != nullptr ? Mix_LoadMUSType_RW(source, MUS_MP3, 1) : nullptr;
  if (music_ == nullptr) {
    error_ = SDL_GetError();
    return false;
  }
  return true;
}

bool MusicStream::Play() {
  activeStream = this;
  Mix_SetPostMix(&MusicStream::PostMix, this);
  Mix_HookMusicFinished(&MusicStream::MusicFinished);
  if (Mix_PlayMusic(music_, 0) != 0) {
    error_ = SDL_GetError();
    return false;
  }
  Mix_PauseMusic();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    counting_ = true;
    anchorTime_ = SteadyClock::now();
  }
  Mix_ResumeMusic();
  return true;
}

void MusicStream::PostMix(void* self, uint8_t*, int length) { static_cast<MusicStream*>(self)->CountMixed(length); }

void MusicStream::MusicFinished() {
  if (activeStream == nullptr) return;
  std::lock_guard<std::mutex> lock(activeStream->mutex_);
  activeStream->finished_ = true;
}

// Each chunk mixed now is heard after the one the device is playing: the heard position at
// this moment is one chunk behind the start of the chunk just mixed.
void MusicStream::CountMixed(int bytes) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!counting_ || finished_ || Mix_PausedMusic()) return;
  const int64_t frames = bytes / bytesPerFrame_;
  const double chunkMs = 1000.0 * double(frames) / double(frequency_);
  const double startMs = 1000.0 * double(framesMixed_) / double(frequency_);
  framesMixed_ += frames;
  anchorMs_ = std::max(0.0, startMs - chunkMs);
  chunkMs_ = chunkMs;
  anchorTime_ = SteadyClock::now();
}

int32_t MusicStream::MusicTime() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!counting_) return lastTime_;
  const double elapsedMs = std::chrono::duration<double, std::milli>(SteadyClock::now() - anchorTime_).count();
  // Between two chunks the heard position moves with the wall clock, but not beyond the
  // music mixed so far; once the music has ended the wall clock alone carries it on.
  const double runOn = finished_ ? elapsedMs : std::min(elapsedMs, chunkMs_);
  const double position = anchorMs_ + std::max(0.0, runOn);
  const int32_t time = static_cast<int32_t>(std::min(position, 2147483647.0));
  lastTime_ = std::max(lastTime_, time);
  return lastTime_;
}

void MusicStream::Close() {
  if (music_ != nullptr) {
    Mix_HaltMusic();
    Mix_FreeMusic(music_);
    music_ = nullptr;
  }
  if (audioOpen_) {
    Mix_SetPostMix(nullptr, nullptr);
    Mix_HookMusicFinished(nullptr);
    Mix_CloseAudio();
    Mix_Quit();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    audioOpen_ = false;
  }
  if (activeStream == this) activeStream = nullptr;
  std::lock_guard<std::mutex> lock(mutex_);
  counting_ = false;
}
