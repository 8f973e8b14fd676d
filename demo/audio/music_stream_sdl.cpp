// The music on SDL2_mixer: Linux and other desktops.
#include "demo/music_stream.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <mutex>

// Everything of the stream that SDL2_mixer's threads and hooks touch.
struct MusicStream::Impl {
  using SteadyClock = std::chrono::steady_clock;

  ~Impl() { Close(); }

  bool Init();
  bool Open(const MusicBlock& block);
  bool Play();
  int32_t MusicTime();
  void Close();

  static void PostMix(void* self, uint8_t* stream, int length);
  static void MusicFinished();
  void CountMixed(int bytes);
  bool OpenAudio();

  Mix_Music* music_ = nullptr;
  bool audioOpen_ = false;
  bool silent_ = false;
  std::string error_;

  int bytesPerFrame_ = 4;
  int frequency_ = 44100;

  // Written by the mixer's thread, read by the frame loop.
  std::mutex mutex_;
  bool counting_ = false;
  bool finished_ = false;
  int64_t framesMixed_ = 0;          // music frames mixed so far
  double anchorMs_ = 0.0;            // position heard at anchorTime_
  double chunkMs_ = 0.0;             // how far the heard position may run on from the anchor
  SteadyClock::time_point anchorTime_{};
  int32_t lastTime_ = 0;
};

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
MusicStream::Impl* activeStream = nullptr;

constexpr int kMixRate = 44100;
constexpr int kChunkFrames = 1024;

}  // namespace

MixerVersion LinkedMixerVersion() {
  const SDL_version* version = Mix_Linked_Version();
  return {version->major, version->minor, version->patch};
}

bool MusicStream::Impl::OpenAudio() {
  // The show has its own key test and must stay stoppable by signals: SDL is not to catch them.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
  if (Mix_OpenAudio(kMixRate, AUDIO_S16SYS, 2, kChunkFrames) != 0) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
  }
  return true;
}

bool MusicStream::Impl::Init() {
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

bool MusicStream::Impl::Open(const MusicBlock& block) {
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

bool MusicStream::Impl::Play() {
  activeStream = this;
  Mix_SetPostMix(&MusicStream::Impl::PostMix, this);
  Mix_HookMusicFinished(&MusicStream::Impl::MusicFinished);
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

void MusicStream::Impl::PostMix(void* self, uint8_t*, int length) { static_cast<MusicStream::Impl*>(self)->CountMixed(length); }

void MusicStream::Impl::MusicFinished() {
  if (activeStream == nullptr) return;
  std::lock_guard<std::mutex> lock(activeStream->mutex_);
  activeStream->finished_ = true;
}

// Each chunk mixed now is heard after the one the device is playing: the heard position at
// this moment is one chunk behind the start of the chunk just mixed.
void MusicStream::Impl::CountMixed(int bytes) {
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

int32_t MusicStream::Impl::MusicTime() {
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

void MusicStream::Impl::Close() {
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

// The stream's face: everything is done by the implementation above.
MusicStream::MusicStream() : impl_(std::make_unique<Impl>()) {}
MusicStream::~MusicStream() = default;
bool MusicStream::Init() { return impl_->Init(); }
bool MusicStream::Silent() const { return impl_->silent_; }
bool MusicStream::Open(const MusicBlock& block) { return impl_->Open(block); }
bool MusicStream::Play() { return impl_->Play(); }
int32_t MusicStream::MusicTime() { return impl_->MusicTime(); }
void MusicStream::Close() { impl_->Close(); }
const std::string& MusicStream::Error() const { return impl_->error_; }
