// The music on SDL2_mixer: Linux and other desktops.
#include <SDL.h>
#include <SDL_mixer.h>

#include <algorithm>
#include <cstdio>
#include <mutex>

#include "demo/audio/music_output.h"
#include "quorvel4/debug.h"

namespace {

constexpr int kMixRate = 44100;
constexpr int kChunkFrames = 1024;

// Everything of the stream that SDL2_mixer's threads and hooks touch.
class SdlMusicOutput : public MusicOutput {
 public:
  bool Init() override;
  bool Open(const MusicBlock& block) override;
  bool Play() override;
  std::optional<MusicSample> Sample() override;
  void Close() override;
  bool CanSeek() const override { return true; }
  bool Pause(bool paused) override;
  bool Seek(double ms) override;

 private:
  static void PostMix(void* self, uint8_t* stream, int length);
  static void MusicFinished();
  void CountMixed(int bytes);
  bool OpenAudio();
  double MixedMs() const { return 1000.0 * double(framesMixed_) / double(frequency_); }

  Mix_Music* music_ = nullptr;
  bool audioOpen_ = false;
  bool held_ = false;  // paused by Pause, as opposed to for the moment of a seek

  int bytesPerFrame_ = 4;
  int frequency_ = 44100;

  // Written by the mixer's thread, read by the frame loop.
  std::mutex mutex_;
  bool counting_ = false;
  int64_t framesMixed_ = 0;  // music frames mixed so far
  std::optional<MusicSample> sample_;
};

// The one stream the mixer's finished hook reports to (the hook carries no user data).
SdlMusicOutput* activeStream = nullptr;

}  // namespace

std::unique_ptr<MusicOutput> MakeMusicOutput() { return std::make_unique<SdlMusicOutput>(); }

bool SdlMusicOutput::OpenAudio() {
  // The show has its own key test and must stay stoppable by signals: SDL is not to catch them.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
  if (Mix_OpenAudio(kMixRate, AUDIO_S16SYS, 2, kChunkFrames) != 0) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
  }
  return true;
}

bool SdlMusicOutput::Init() {
  // The oldest SDL2_mixer that opens an MP3 from memory with an explicit type through libmpg123.
  const SDL_version* linked = Mix_Linked_Version();
  if (SDL_VERSIONNUM(linked->major, linked->minor, linked->patch) < SDL_VERSIONNUM(2, 0, 2)) {
    error_ = "You are using the wrong SDL_mixer version!  You should be using SDL_mixer 2.0.2";
    return false;
  }
  // ALSA and the sound servers' clients write notes to standard error while a device is
  // opened: on the show's terminal they would garble the picture.
  StandardErrorToDebugSink held;
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

bool SdlMusicOutput::Open(const MusicBlock& block) {
  // The MP3 decoder writes notes on the file to standard error.
  StandardErrorToDebugSink held;
  SDL_RWops* source = SDL_RWFromConstMem(block.data.get(), static_cast<int>(block.size));
  // The type is given: guessing would report a damaged file as some other format.
  music_ = source != nullptr ? Mix_LoadMUSType_RW(source, MUS_MP3, 1) : nullptr;
  if (music_ == nullptr) {
    error_ = SDL_GetError();
    return false;
  }
  return true;
}

bool SdlMusicOutput::Play() {
  activeStream = this;
  Mix_SetPostMix(&SdlMusicOutput::PostMix, this);
  Mix_HookMusicFinished(&SdlMusicOutput::MusicFinished);
  if (Mix_PlayMusic(music_, 0) != 0) {
    error_ = SDL_GetError();
    return false;
  }
  Mix_PauseMusic();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    counting_ = true;
  }
  Mix_ResumeMusic();
  return true;
}

void SdlMusicOutput::PostMix(void* self, uint8_t*, int length) { static_cast<SdlMusicOutput*>(self)->CountMixed(length); }

void SdlMusicOutput::MusicFinished() {
  if (activeStream == nullptr) return;
  std::lock_guard<std::mutex> lock(activeStream->mutex_);
  // All is heard from the last chunk on: the position stays where that chunk put it.
  // Ended before a chunk was counted (a seek to the end, or past it): where the count stands.
  std::optional<MusicSample>& sample = activeStream->sample_;
  if (sample)
    sample->ended = true;
  else
    sample = MusicSample{activeStream->MixedMs(), true, SteadyMilliseconds()};
}

// Each chunk mixed now is heard after the one the device is playing: the heard position at
// this moment is one chunk behind the start of the chunk just mixed (below 0 for the first).
void SdlMusicOutput::CountMixed(int bytes) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!counting_ || (sample_ && sample_->ended) || Mix_PausedMusic()) return;
  const int64_t frames = bytes / bytesPerFrame_;
  const double startMs = MixedMs();
  framesMixed_ += frames;
  const double chunkMs = 1000.0 * double(frames) / double(frequency_);
  sample_ = MusicSample{startMs - chunkMs, false, SteadyMilliseconds()};
}

// The mixer's own pause: the chunks mixed from then on hold no music, and are not counted.
bool SdlMusicOutput::Pause(bool paused) {
  if (music_ == nullptr) return false;
  held_ = paused;
  if (paused)
    Mix_PauseMusic();
  else
    Mix_ResumeMusic();
  return true;
}

// Mixer calls are made with the stream's mutex free: the mixer's thread takes its own lock
// first and then the mutex, in the post-mix hook. The music is paused across the move, so no
// chunk is mixed from one position and counted from the other.
bool SdlMusicOutput::Seek(double ms) {
  if (music_ == nullptr) return false;
  Mix_PauseMusic();
  int64_t framesBefore = 0;
  std::optional<MusicSample> sampleBefore;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    framesBefore = framesMixed_;
    sampleBefore = sample_;
    framesMixed_ = static_cast<int64_t>(ms * double(frequency_) / 1000.0);
    sample_.reset();
  }
  bool moved = false;
  if (Mix_PlayingMusic()) {
    moved = Mix_SetMusicPosition(ms / 1000.0) == 0;
  } else {
    // The music has ended (and the mixer has let it go): it plays again, from there.
    moved = Mix_FadeInMusicPos(music_, 0, 0, ms / 1000.0) == 0;
    if (moved && held_) Mix_PauseMusic();
  }
  if (!moved) {
    error_ = SDL_GetError();
    std::lock_guard<std::mutex> lock(mutex_);
    framesMixed_ = framesBefore;
    sample_ = sampleBefore;
  }
  if (!held_) Mix_ResumeMusic();
  return moved;
}

std::optional<MusicSample> SdlMusicOutput::Sample() {
  std::lock_guard<std::mutex> lock(mutex_);
  return sample_;
}

void SdlMusicOutput::Close() {
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
