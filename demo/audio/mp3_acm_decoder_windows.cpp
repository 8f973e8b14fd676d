#include "demo/audio/mp3_acm_decoder.h"

// clang-format off
#include <windows.h>
#include <mmreg.h>
#include <msacm.h>
// clang-format on

#include <algorithm>
#include <cstring>

namespace {

// The input is handed to the decoder in pieces of this size.
constexpr DWORD kInputChunk = 64 * 1024;

// Frees the stream and its header on every way out.
class AcmStream {
 public:
  ~AcmStream() {
    if (prepared_) {
      header_.cbSrcLength = preparedSource_;
      acmStreamUnprepareHeader(stream_, &header_, 0);
    }
    if (stream_ != nullptr) acmStreamClose(stream_, 0);
  }
  HACMSTREAM stream_ = nullptr;
  ACMSTREAMHEADER header_{};
  DWORD preparedSource_ = 0;
  bool prepared_ = false;
};

MPEGLAYER3WAVEFORMAT SourceFormat(const Mp3Frame& frame) {
  MPEGLAYER3WAVEFORMAT format{};
  format.wfx.wFormatTag = WAVE_FORMAT_MPEGLAYER3;
  format.wfx.nChannels = static_cast<WORD>(frame.channels);
  format.wfx.nSamplesPerSec = static_cast<DWORD>(frame.sampleRate);
  format.wfx.nAvgBytesPerSec = static_cast<DWORD>(frame.bitrate * 1000 / 8);
  format.wfx.nBlockAlign = 1;
  format.wfx.wBitsPerSample = 0;
  format.wfx.cbSize = MPEGLAYER3_WFX_EXTRA_BYTES;
  format.wID = MPEGLAYER3_ID_MPEG;
  format.fdwFlags = MPEGLAYER3_FLAG_PADDING_OFF;
  format.nBlockSize = static_cast<WORD>(frame.unpaddedLength);
  format.nFramesPerBlock = 1;
  format.nCodecDelay = 1393;  // the usual encoder delay in samples; the decoders take it as a hint
  return format;
}

}  // namespace

WAVEFORMATEX Pcm16Format(int channels, int sampleRate) {
  WAVEFORMATEX format{};
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = static_cast<WORD>(channels);
  format.nSamplesPerSec = static_cast<DWORD>(sampleRate);
  format.wBitsPerSample = 16;
  format.nBlockAlign = static_cast<WORD>(2 * channels);
  format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;
  return format;
}

bool DecodeMp3WithAcm(const uint8_t* data, size_t size, DecodedPcm* pcm, std::string* error) {
  Mp3Frame frame;
  const size_t first = FindFirstMp3Frame(data, size, &frame);
  if (first >= size) {
    *error = "no MPEG audio layer III frame in it";
    return false;
  }
  MPEGLAYER3WAVEFORMAT source = SourceFormat(frame);
  WAVEFORMATEX target = Pcm16Format(frame.channels, frame.sampleRate);
  AcmStream acm;
  if (acmStreamOpen(&acm.stream_, nullptr, &source.wfx, &target, nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME) != 0) {
    *error = "the system's MPEG Layer-3 decoder (ACM) cannot decode it";
    return false;
  }
  DWORD outputSize = 0;
  if (acmStreamSize(acm.stream_, kInputChunk, &outputSize, ACM_STREAMSIZEF_SOURCE) != 0 || outputSize == 0) {
    outputSize = kInputChunk * 16;
  }
  std::vector<uint8_t> input(kInputChunk);
  std::vector<uint8_t> output(outputSize);
  ACMSTREAMHEADER& header = acm.header_;
  header.cbStruct = sizeof header;
  header.pbSrc = input.data();
  header.cbSrcLength = kInputChunk;
  header.pbDst = output.data();
  header.cbDstLength = outputSize;
  if (acmStreamPrepareHeader(acm.stream_, &header, 0) != 0) {
    *error = "the system's MPEG Layer-3 decoder (ACM) refused its buffers";
    return false;
  }
  acm.prepared_ = true;
  acm.preparedSource_ = kInputChunk;

  pcm->sampleRate = frame.sampleRate;
  pcm->channels = frame.channels;
  pcm->bytes.clear();
  const size_t maxBytes = kMaxDecodedSeconds * static_cast<size_t>(frame.sampleRate) * 2 * frame.channels;
  // About eleven bytes of PCM for each byte of MP3 at 128 kbit/s.
  pcm->bytes.reserve(std::min(size * 12, maxBytes));

  size_t next = first;
  DWORD held = 0;
  // After the last input the decoder is asked to give out what it still holds, until it has
  // nothing more; the bound only guards against a decoder that never says it is done.
  for (int drains = 0; drains < 64 && pcm->bytes.size() < maxBytes;) {
    const DWORD take = static_cast<DWORD>(std::min<size_t>(kInputChunk - held, size - next));
    std::memcpy(input.data() + held, data + next, take);
    next += take;
    held += take;
    const bool last = next == size;
    header.cbSrcLength = held;
    header.cbSrcLengthUsed = 0;
    header.cbDstLengthUsed = 0;
    if (acmStreamConvert(acm.stream_, &header, last ? ACM_STREAMCONVERTF_END : ACM_STREAMCONVERTF_BLOCKALIGN) != 0) {
      break;  // a damaged stretch: keep what was decoded before it
    }
    const DWORD used = std::min(header.cbSrcLengthUsed, held);
    pcm->bytes.insert(pcm->bytes.end(), output.data(), output.data() + header.cbDstLengthUsed);
    std::memmove(input.data(), input.data() + used, held - used);
    held -= used;
    const bool progress = used > 0 || header.cbDstLengthUsed > 0;
    if (last) {
      if (!progress) break;
      ++drains;
    } else if (!progress) {
      break;  // the decoder takes nothing and gives nothing: it cannot go on
    }
  }
  // A whole number of sample frames, no more than the limit.
  const size_t decoded = std::min(pcm->bytes.size(), maxBytes);
  pcm->bytes.resize(decoded - decoded % (2 * static_cast<size_t>(frame.channels)));
  if (pcm->bytes.empty()) {
    *error = "the system's MPEG Layer-3 decoder (ACM) produced no sound from it";
    return false;
  }
  return true;
}
