// The frame walk of the Windows MP3 decoder, on any bytes: the first frame it finds lies
// after any tag and within the data, has a header that parses, and is confirmed by the frame
// after it or ends the data. From there, the frames it chains stay within the data.
#include <cstdint>

#include "demo/audio/mp3_frames.h"
#include "support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const size_t tag = Id3v2TagLength(data, size);
  FUZZ_CHECK(tag <= size);
  Mp3Frame frame;
  const size_t first = FindFirstMp3Frame(data, size, &frame);
  FUZZ_CHECK(first <= size);
  if (first == size) return 0;
  FUZZ_CHECK(first >= tag && first + 4 <= size);
  Mp3Frame again;
  FUZZ_CHECK(ParseMp3FrameHeader(data + first, &again));
  FUZZ_CHECK(again.length == frame.length && again.sampleRate == frame.sampleRate);
  FUZZ_CHECK(frame.length >= 4 && frame.channels >= 1 && frame.channels <= 2 && frame.sampleRate > 0);
  FUZZ_CHECK(frame.unpaddedLength > 0 && frame.unpaddedLength <= frame.length);
  // The chain of frames as a decoder would step along it.
  size_t at = first;
  for (Mp3Frame next; at + 4 <= size && ParseMp3FrameHeader(data + at, &next);) {
    FUZZ_CHECK(next.length > 0);
    at += static_cast<size_t>(next.length);
  }
  return 0;
}
