// MP3 to PCM through the decoder every Windows ships: the audio compression manager's
// "MPEG Layer-3" codec. No library goes with the show.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// clang-format off
#include <windows.h>
#include <mmreg.h>
// clang-format on

// What the header of one MPEG audio layer III frame says.
struct Mp3Frame {
  int sampleRate = 0;    // Hz
  int channels = 0;      // 1 or 2
  int bitrate = 0;       // kbit/s
  int length = 0;        // bytes, this frame (with its padding byte)
  int unpaddedLength = 0;
  int samplesPerFrame = 0;
};

// Parses the 4-byte header at `bytes`; false when it is no valid layer III header (free
// bitrate included: the decoder cannot be told its frame size).
bool ParseMp3FrameHeader(const uint8_t* bytes, Mp3Frame* frame);

// The length of an ID3v2 tag at the start of `data` (its footer included), 0 when there is none.
size_t Id3v2TagLength(const uint8_t* data, size_t size);

// The offset of the first layer III frame after any ID3v2 tag, confirmed by the header of the
// frame after it (a lone frame counts when it ends the data); `size` when there is none.
size_t FindFirstMp3Frame(const uint8_t* data, size_t size, Mp3Frame* frame);

struct DecodedPcm {
  std::vector<uint8_t> bytes;  // 16-bit signed little-endian samples, channels interleaved
  int sampleRate = 0;
  int channels = 0;
  size_t Frames() const { return channels > 0 ? bytes.size() / (2 * static_cast<size_t>(channels)) : 0; }
};

// The show is over after about two minutes; a track that goes on for hours is decoded no
// further than this, so that it cannot fill the memory with sound nobody hears.
inline constexpr size_t kMaxDecodedSeconds = 600;

// Decodes the MP3 in `data`, up to kMaxDecodedSeconds. On failure returns false with the reason in `error`.
bool DecodeMp3WithAcm(const uint8_t* data, size_t size, DecodedPcm* pcm, std::string* error);

// The wave format of DecodedPcm: 16-bit signed PCM, channels interleaved.
WAVEFORMATEX Pcm16Format(int channels, int sampleRate);
