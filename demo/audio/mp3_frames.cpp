#include "demo/audio/mp3_frames.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int kBitrates[2][16] = {
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},  // MPEG-1
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},      // MPEG-2 and 2.5
};
constexpr int kSampleRates[3][3] = {
    {44100, 48000, 32000},  // MPEG-1
    {22050, 24000, 16000},  // MPEG-2
    {11025, 12000, 8000},   // MPEG-2.5
};

}  // namespace

bool ParseMp3FrameHeader(const uint8_t* b, Mp3Frame* frame) {
  if (b[0] != 0xFF || (b[1] & 0xE0) != 0xE0) return false;
  const int version = (b[1] >> 3) & 3;  // 0 MPEG-2.5, 1 reserved, 2 MPEG-2, 3 MPEG-1
  const int layer = (b[1] >> 1) & 3;    // 1 is layer III
  const int bitrateIndex = b[2] >> 4;
  const int rateIndex = (b[2] >> 2) & 3;
  if (version == 1 || layer != 1 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3) return false;
  const bool mpeg1 = version == 3;
  const int padding = (b[2] >> 1) & 1;
  frame->bitrate = kBitrates[mpeg1 ? 0 : 1][bitrateIndex];
  frame->sampleRate = kSampleRates[mpeg1 ? 0 : (version == 2 ? 1 : 2)][rateIndex];
  frame->channels = (b[3] >> 6) == 3 ? 1 : 2;
  frame->samplesPerFrame = mpeg1 ? 1152 : 576;
  // A frame holds samplesPerFrame / 8 bytes per bit/s of bitrate and second of sample rate.
  frame->unpaddedLength = frame->samplesPerFrame / 8 * frame->bitrate * 1000 / frame->sampleRate;
  frame->length = frame->unpaddedLength + padding;
  return true;
}

size_t Id3v2TagLength(const uint8_t* data, size_t size) {
  if (size < 10 || std::memcmp(data, "ID3", 3) != 0) return 0;
  // The size is four 7-bit bytes; a byte with its top bit set means this is no tag.
  size_t length = 0;
  for (int i = 6; i < 10; ++i) {
    if (data[i] & 0x80) return 0;
    length = (length << 7) | data[i];
  }
  const bool footer = (data[5] & 0x10) != 0;
  return std::min(size, 10 + length + (footer ? 10 : 0));
}

size_t FindFirstMp3Frame(const uint8_t* data, size_t size, Mp3Frame* frame) {
  for (size_t at = Id3v2TagLength(data, size); at + 4 <= size; ++at) {
    Mp3Frame candidate;
    if (!ParseMp3FrameHeader(data + at, &candidate)) continue;
    const size_t next = at + static_cast<size_t>(candidate.length);
    Mp3Frame following;
    const bool endsTheData = next >= size;
    if (endsTheData || (next + 4 <= size && ParseMp3FrameHeader(data + next, &following) &&
                        following.sampleRate == candidate.sampleRate && following.channels == candidate.channels)) {
      *frame = candidate;
      return at;
    }
  }
  return size;
}
