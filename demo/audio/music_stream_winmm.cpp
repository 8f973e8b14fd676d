// The music on Windows: the MP3 decoded whole through the system's ACM codec, played through
// the wave output (winmm), its position read from the device.
#include <windows.h>
#include <mmsystem.h>

#include <algorithm>
#include <chrono>

#include "demo/audio/mp3_acm_decoder.h"
#include "demo/music_stream.h"

struct MusicStream::Impl {
  using SteadyClock = std::chrono::steady_clock;

  ~Impl() { Close(); }

  bool Init();
  bool Open(const MusicBlock& block);
  bool Play();
  int32_t MusicTime();
  void Close();

  bool StartDevice();
  double DevicePositionMs(bool* ended);

  bool silent_ = false;
  std::string error_;
  DecodedPcm pcm_;
  HWAVEOUT device_ = nullptr;
  std::vector<WAVEHDR> blocks_;

  bool playing_ = false;
  SteadyClock::time_point anchorTime_{};
  double anchorMs_ = 0.0;  // the position the device reported last, heard at anchorTime_
  double stepMs_ = 0.0;    // how far the device moved last: the heard position may run on that far
  bool ended_ = false;
  int32_t lastTime_ = 0;
};

namespace {

// The PCM goes to the device in blocks of a second, all queued at the start.
constexpr size_t kBlockSeconds = 1;
// A device that reports its position in coarse steps is followed by the wall clock between
// steps, but never further than this.
constexpr double kMaxRunOnMs = 100.0;

}  // namespace

// There is no mixer library on Windows: the decoder is the system's own, so any version is
// the right one.
MixerVersion LinkedMixerVersion() { return kMinimumMixerVersion; }

bool MusicStream::Impl::Init() {
  // No wave output at all (a server, a remote session without sound, wine without a sound
  // driver): the music is still decoded, and the show runs on the wall clock.
  silent_ = waveOutGetNumDevs() == 0;
  return true;
}

bool MusicStream::Impl::Open(const MusicBlock& block) {
  if (block.data == nullptr || block.size == 0) {
    error_ = "the music block is empty";
    return false;
  }
  return DecodeMp3WithAcm(block.data.get(), block.size, &pcm_, &error_);
}

bool MusicStream::Impl::StartDevice() {
  WAVEFORMATEX format{};
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = static_cast<WORD>(pcm_.channels);
  format.nSamplesPerSec = static_cast<DWORD>(pcm_.sampleRate);
  format.wBitsPerSample = 16;
  format.nBlockAlign = static_cast<WORD>(2 * pcm_.channels);
  format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;
  if (waveOutOpen(&device_, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) {
    device_ = nullptr;
    return false;
  }
  // Paused while the blocks are queued, so that playing starts with all of them in place.
  waveOutPause(device_);
  const size_t blockBytes = kBlockSeconds * format.nAvgBytesPerSec;
  blocks_.resize((pcm_.bytes.size() + blockBytes - 1) / blockBytes);
  for (size_t i = 0; i < blocks_.size(); ++i) {
    WAVEHDR& block = blocks_[i];
    block = WAVEHDR{};
    block.lpData = reinterpret_cast<LPSTR>(pcm_.bytes.data() + i * blockBytes);
    block.dwBufferLength = static_cast<DWORD>(std::min(blockBytes, pcm_.bytes.size() - i * blockBytes));
    waveOutPrepareHeader(device_, &block, sizeof block);
    waveOutWrite(device_, &block, sizeof block);
  }
  return true;
}

bool MusicStream::Impl::Play() {
  // A device that will not take the music (busy, no such format) leaves the show silent.
  if (!silent_ && !StartDevice()) silent_ = true;
  playing_ = true;
  anchorTime_ = SteadyClock::now();
  anchorMs_ = 0.0;
  stepMs_ = 0.0;
  ended_ = false;
  if (device_ != nullptr) waveOutRestart(device_);
  return true;
}

// Milliseconds the device has played; `ended` once it has played everything.
double MusicStream::Impl::DevicePositionMs(bool* ended) {
  MMTIME time{};
  time.wType = TIME_SAMPLES;
  if (waveOutGetPosition(device_, &time, sizeof time) != MMSYSERR_NOERROR) return anchorMs_;
  double frames = 0.0;
  switch (time.wType) {
    case TIME_SAMPLES:
      frames = time.u.sample;
      break;
    case TIME_BYTES:  // a device may answer in another unit than the one asked for
      frames = double(time.u.cb) / (2.0 * pcm_.channels);
      break;
    case TIME_MS:
      *ended = time.u.ms >= 1000.0 * double(pcm_.Frames()) / pcm_.sampleRate;
      return time.u.ms;
    default:
      return anchorMs_;
  }
  *ended = frames >= double(pcm_.Frames());
  return 1000.0 * frames / pcm_.sampleRate;
}

int32_t MusicStream::Impl::MusicTime() {
  if (!playing_) return lastTime_;
  const SteadyClock::time_point now = SteadyClock::now();
  double position = 0.0;
  if (device_ == nullptr) {
    position = std::chrono::duration<double, std::milli>(now - anchorTime_).count();
  } else {
    if (!ended_) {
      bool ended = false;
      const double reported = DevicePositionMs(&ended);
      if (reported != anchorMs_) {
        stepMs_ = std::min(std::max(0.0, reported - anchorMs_), kMaxRunOnMs);
        anchorMs_ = reported;
        anchorTime_ = now;
      }
      ended_ = ended;
    }
    // Between two reports the heard position moves with the wall clock, but no further than
    // the device's last step; once the music has ended (or was cut short) the wall clock alone
    // carries the show on.
    const double elapsedMs = std::chrono::duration<double, std::milli>(now - anchorTime_).count();
    position = anchorMs_ + (ended_ ? elapsedMs : std::min(elapsedMs, stepMs_));
  }
  const int32_t time = static_cast<int32_t>(std::clamp(position, 0.0, 2147483647.0));
  lastTime_ = std::max(lastTime_, time);
  return lastTime_;
}

void MusicStream::Impl::Close() {
  if (device_ != nullptr) {
    waveOutReset(device_);  // gives every queued block back
    for (WAVEHDR& block : blocks_) waveOutUnprepareHeader(device_, &block, sizeof block);
    waveOutClose(device_);
    device_ = nullptr;
  }
  blocks_.clear();
  playing_ = false;
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
