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

#include "demo/audio/mp3_frames.h"

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
