// The music on Windows: the MP3 decoded whole through the system's ACM codec, played through
// the wave output (winmm), its position read from the device.
#include <windows.h>
#include <mmsystem.h>

#include <algorithm>

#include "demo/audio/mp3_acm_decoder.h"
#include "demo/audio/music_output.h"

namespace {

// The PCM goes to the device in blocks of a second, all queued at the start.
constexpr size_t kBlockSeconds = 1;

class WaveMusicOutput : public MusicOutput {
 public:
  // No wave output at all (a server, a remote session without sound, wine without a sound
  // driver): the music is still decoded, and the show runs on the wall clock.
  bool Init() override {
    silent_ = waveOutGetNumDevs() == 0;
    return true;
  }

  bool Open(const MusicBlock& block) override {
    if (block.data == nullptr || block.size == 0) {
      error_ = "the music block is empty";
      return false;
    }
    return DecodeMp3WithAcm(block.data.get(), block.size, &pcm_, &error_);
  }

  bool Play() override {
    // A device that will not take the music (busy, no such format) leaves the show silent.
    if (!silent_ && !StartDevice()) silent_ = true;
    playing_ = true;
    if (device_ != nullptr) waveOutRestart(device_);
    return true;
  }

  // The milliseconds the device has played, and whether that is everything.
  std::optional<MusicSample> Sample() override {
    if (!playing_) return std::nullopt;
    // Without a device the music is as good as over from the start: the wall clock carries
    // the show.
    if (device_ == nullptr) return MusicSample{0.0, true, SteadyMilliseconds()};
    const std::optional<double> positionMs = DevicePositionMs();
    if (!positionMs) return std::nullopt;
    const double durationMs = 1000.0 * double(pcm_.Frames()) / pcm_.sampleRate;
    return MusicSample{*positionMs, *positionMs >= durationMs, SteadyMilliseconds()};
  }

  void Close() override {
    if (device_ != nullptr) {
      waveOutReset(device_);  // gives every queued block back
      for (WAVEHDR& block : blocks_) waveOutUnprepareHeader(device_, &block, sizeof block);
      waveOutClose(device_);
      device_ = nullptr;
    }
    blocks_.clear();
    playing_ = false;
  }

 private:
  bool StartDevice();
  std::optional<double> DevicePositionMs();

  DecodedPcm pcm_;
  HWAVEOUT device_ = nullptr;
  std::vector<WAVEHDR> blocks_;
  bool playing_ = false;
};

bool WaveMusicOutput::StartDevice() {
  const WAVEFORMATEX format = Pcm16Format(pcm_.channels, pcm_.sampleRate);
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

// Nothing when the device cannot tell.
std::optional<double> WaveMusicOutput::DevicePositionMs() {
  MMTIME time{};
  time.wType = TIME_SAMPLES;
  if (waveOutGetPosition(device_, &time, sizeof time) != MMSYSERR_NOERROR) return std::nullopt;
  switch (time.wType) {
    case TIME_SAMPLES:
      return 1000.0 * time.u.sample / pcm_.sampleRate;
    case TIME_BYTES:  // a device may answer in another unit than the one asked for
      return 1000.0 * (double(time.u.cb) / (2.0 * pcm_.channels)) / pcm_.sampleRate;
    case TIME_MS:
      return time.u.ms;
    default:
      return std::nullopt;
  }
}

}  // namespace

std::unique_ptr<MusicOutput> MakeMusicOutput() { return std::make_unique<WaveMusicOutput>(); }
