// The MP3 side of the Windows music: frame headers, ID3v2 tags and decoding through the
// system's ACM codec (wine's here).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "demo/audio/mp3_acm_decoder.h"
#include "demo/music_stream.h"

namespace {

std::vector<uint8_t> ReadTrack() {
  std::vector<uint8_t> bytes;
  if (FILE* file = std::fopen(QVL_SOURCE_DIR "/data/8920.mp3", "rb")) {
    uint8_t buffer[65536];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) bytes.insert(bytes.end(), buffer, buffer + n);
    std::fclose(file);
  }
  return bytes;
}

// An ID3v2.4 tag of `body` bytes (its size in four 7-bit bytes), with or without a footer.
std::vector<uint8_t> Id3Tag(size_t body, bool footer) {
  // 0xFF bytes in the body look like sync to a careless scan.
  std::vector<uint8_t> tag(10 + body + (footer ? 10 : 0), 0xFF);
  const uint8_t header[10] = {'I', 'D', '3', 4, 0, static_cast<uint8_t>(footer ? 0x10 : 0),
                              static_cast<uint8_t>((body >> 21) & 0x7F), static_cast<uint8_t>((body >> 14) & 0x7F),
                              static_cast<uint8_t>((body >> 7) & 0x7F), static_cast<uint8_t>(body & 0x7F)};
  std::copy(std::begin(header), std::end(header), tag.begin());
  return tag;
}

TEST(Mp3FrameHeader, ReadsRateChannelsBitrateAndLength) {
  Mp3Frame frame;
  const uint8_t mpeg1[] = {0xFF, 0xFB, 0x90, 0x64};  // MPEG-1 layer III, 128 kbit/s, 44.1 kHz, joint stereo
  ASSERT_TRUE(ParseMp3FrameHeader(mpeg1, &frame));
  EXPECT_EQ(frame.sampleRate, 44100);
  EXPECT_EQ(frame.channels, 2);
  EXPECT_EQ(frame.bitrate, 128);
  EXPECT_EQ(frame.length, 417);
  EXPECT_EQ(frame.samplesPerFrame, 1152);

  const uint8_t paddedMono[] = {0xFF, 0xFB, 0x92, 0xC0};
  ASSERT_TRUE(ParseMp3FrameHeader(paddedMono, &frame));
  EXPECT_EQ(frame.length, 418);
  EXPECT_EQ(frame.unpaddedLength, 417);
  EXPECT_EQ(frame.channels, 1);

  const uint8_t mpeg2[] = {0xFF, 0xF3, 0x84, 0x00};  // MPEG-2, 64 kbit/s, 24 kHz
  ASSERT_TRUE(ParseMp3FrameHeader(mpeg2, &frame));
  EXPECT_EQ(frame.sampleRate, 24000);
  EXPECT_EQ(frame.samplesPerFrame, 576);
  EXPECT_EQ(frame.length, 192);

  const uint8_t mpeg25[] = {0xFF, 0xE3, 0x18, 0x00};  // MPEG-2.5, 8 kbit/s, 8 kHz
  ASSERT_TRUE(ParseMp3FrameHeader(mpeg25, &frame));
  EXPECT_EQ(frame.sampleRate, 8000);
}

TEST(Mp3FrameHeader, RefusesWhatIsNoLayerThreeFrame) {
  Mp3Frame frame;
  const uint8_t headers[][4] = {
      {0xFF, 0xFD, 0x90, 0x00},  // layer II
      {0xFF, 0xEB, 0x90, 0x00},  // reserved version
      {0xFF, 0xFB, 0x00, 0x00},  // free bitrate
      {0xFF, 0xFB, 0xF0, 0x00},  // bad bitrate
      {0xFF, 0xFB, 0x9C, 0x00},  // reserved sample rate
      {0xFE, 0xFB, 0x90, 0x00},  // no sync
  };
  for (const auto& header : headers) EXPECT_FALSE(ParseMp3FrameHeader(header, &frame));
}

TEST(Id3v2Tag, LengthCountsHeaderBodyAndFooter) {
  EXPECT_EQ(Id3v2TagLength(Id3Tag(300, false).data(), 310), 310u);
  EXPECT_EQ(Id3v2TagLength(Id3Tag(300, true).data(), 320), 320u);
  std::vector<uint8_t> broken = Id3Tag(300, false);
  broken[7] |= 0x80;  // not a 7-bit size byte
  EXPECT_EQ(Id3v2TagLength(broken.data(), broken.size()), 0u);
  const uint8_t plain[] = {0xFF, 0xFB, 0x90, 0x64, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(Id3v2TagLength(plain, sizeof plain), 0u);
}

TEST(Mp3Decoding, FindsTheFirstFrameBehindATagAndAFalseSync) {
  const std::vector<uint8_t> track = ReadTrack();
  ASSERT_GT(track.size(), 100000u);
  std::vector<uint8_t> data = Id3Tag(1000, false);
  const size_t falseSync = data.size();
  data.insert(data.end(), {0xFF, 0xFB, 0x90, 0x64, 1, 2, 3});  // a header no frame follows
  const size_t expected = data.size();
  data.insert(data.end(), track.begin(), track.end());
  Mp3Frame frame;
  EXPECT_EQ(FindFirstMp3Frame(data.data(), data.size(), &frame), expected);
  EXPECT_NE(falseSync, expected);
  EXPECT_EQ(frame.sampleRate, 44100);
}

TEST(Mp3Decoding, DecodesTheWholeTrackAndATaggedCopyAlike) {
  const std::vector<uint8_t> track = ReadTrack();
  DecodedPcm pcm;
  std::string error;
  ASSERT_TRUE(DecodeMp3WithAcm(track.data(), track.size(), &pcm, &error)) << error;
  EXPECT_EQ(pcm.sampleRate, 44100);
  EXPECT_EQ(pcm.channels, 2);
  // The track is 125.75 s long; the decoder may add or drop a frame's worth at either end.
  const double seconds = double(pcm.Frames()) / pcm.sampleRate;
  EXPECT_NEAR(seconds, 125.75, 0.1);

  std::vector<uint8_t> tagged = Id3Tag(4000, true);
  tagged.insert(tagged.end(), track.begin(), track.end());
  DecodedPcm fromTagged;
  ASSERT_TRUE(DecodeMp3WithAcm(tagged.data(), tagged.size(), &fromTagged, &error)) << error;
  EXPECT_EQ(fromTagged.Frames(), pcm.Frames());
}

TEST(Mp3Decoding, ACutTrackDecodesAsFarAsItGoes) {
  const std::vector<uint8_t> track = ReadTrack();
  const std::vector<uint8_t> half(track.begin(), track.begin() + track.size() / 2);
  DecodedPcm pcm;
  std::string error;
  ASSERT_TRUE(DecodeMp3WithAcm(half.data(), half.size(), &pcm, &error)) << error;
  EXPECT_NEAR(double(pcm.Frames()) / pcm.sampleRate, 125.75 / 2, 1.0);
}

TEST(Mp3Decoding, AVeryLongTrackIsDecodedOnlyAsFarAsTheLimit) {
  const std::vector<uint8_t> track = ReadTrack();
  std::vector<uint8_t> longTrack;
  while (longTrack.size() < 6 * track.size()) longTrack.insert(longTrack.end(), track.begin(), track.end());
  DecodedPcm pcm;
  std::string error;
  ASSERT_TRUE(DecodeMp3WithAcm(longTrack.data(), longTrack.size(), &pcm, &error)) << error;
  EXPECT_EQ(pcm.Frames(), kMaxDecodedSeconds * 44100);
}

TEST(Mp3Decoding, WhatIsNoMp3IsRefusedWithAReason) {
  std::vector<uint8_t> text(5000, 'x');
  DecodedPcm pcm;
  std::string error;
  EXPECT_FALSE(DecodeMp3WithAcm(text.data(), text.size(), &pcm, &error));
  EXPECT_NE(error.find("no MPEG audio layer III frame"), std::string::npos) << error;

  const std::vector<uint8_t> tagOnly = Id3Tag(3000, false);
  EXPECT_FALSE(DecodeMp3WithAcm(tagOnly.data(), tagOnly.size(), &pcm, &error));
}

// Without a sound device (wine here) the show still decodes the music and runs on the wall
// clock; the stream says it is silent so that the show can tell the user.
TEST(WindowsMusicStream, PlaysSilentlyWithoutADeviceAndRefusesNoise) {
  MusicBlock block;
  ASSERT_EQ(ReadMusicFile(QVL_SOURCE_DIR "/data/8920.mp3", block), DataFileError::kNone);
  MusicStream stream;
  ASSERT_TRUE(stream.Init());
  ASSERT_TRUE(stream.Open(block)) << stream.Error();
  ASSERT_TRUE(stream.Play());
  int32_t last = stream.MusicTime();
  for (int i = 0; i < 50; ++i) {
    const int32_t now = stream.MusicTime();
    EXPECT_GE(now, last);
    last = now;
  }
  stream.Close();
  stream.Close();

  MusicBlock noise;
  noise.data.reset(static_cast<uint8_t*>(std::malloc(4096)));
  noise.size = 4096;
  std::fill(noise.data.get(), noise.data.get() + noise.size, uint8_t{0x5A});
  MusicStream refused;
  ASSERT_TRUE(refused.Init());
  EXPECT_FALSE(refused.Open(noise));
  EXPECT_FALSE(refused.Error().empty());
}

}  // namespace
