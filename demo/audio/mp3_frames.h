// Finding the frames of an MP3 stream: frame headers and ID3v2 tags. Portable, so that the
// walk over bytes from a file can be tried on any system; only the decoding behind it (ACM on
// Windows) belongs to one platform.
#pragma once

#include <cstddef>
#include <cstdint>

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
