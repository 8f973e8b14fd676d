// The data the show reads: picture sizes, keyed backgrounds, picture pairs, and a music
// track that outlasts the last scene change.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

const std::string kData = std::string(QVL_SOURCE_DIR) + "/data/";

std::vector<uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct RawPicture {
  const char* file;
  int width;
};

constexpr RawPicture kPictures[] = {
    {"ferrund_osmir_320x100.raw", 320}, {"qo_160x100.raw", 160},        {"halvern_l_160x100.raw", 160},
    {"halvern_r_160x100.raw", 160},     {"halvern2_l_160x100.raw", 160}, {"halvern2_r_160x100.raw", 160},
    {"varnel_160x100.raw", 160},        {"kvrtlogo_320x100.raw", 320},  {"kvrtlogo_640x100.raw", 640},
    {"trelbo_160x100.raw", 160},        {"osmir_160x100.raw", 160},     {"ferrund_160x100.raw", 160},
    {"dralsk_160x100.raw", 160},        {"face_160x100.raw", 160},      {"face2_160x100.raw", 160},
    {"quenby_160x100.raw", 160},        {"zul_160x100.raw", 160},
};

bool IsBlack(const std::vector<uint8_t>& rgb, size_t pixel) {
  return rgb[3 * pixel] == 0 && rgb[3 * pixel + 1] == 0 && rgb[3 * pixel + 2] == 0;
}

uint32_t BigEndian32(const std::vector<uint8_t>& b, size_t at) {
  return (uint32_t{b[at]} << 24) | (uint32_t{b[at + 1]} << 16) | (uint32_t{b[at + 2]} << 8) | b[at + 3];
}

}  // namespace

TEST(DataFiles, EveryPictureHasItsExactSizeAndRealContent) {
  for (const RawPicture& p : kPictures) {
    const std::vector<uint8_t> rgb = ReadAll(kData + p.file);
    ASSERT_EQ(rgb.size(), static_cast<size_t>(p.width) * 100 * 3) << p.file;
    size_t distinct = 0;
    for (size_t i = 3; i < rgb.size(); i += 3) distinct += rgb[i] != rgb[i - 3] || rgb[i + 1] != rgb[i - 2];
    EXPECT_GT(distinct, rgb.size() / 3 / 50) << p.file << " looks flat";
  }
}

TEST(DataFiles, KeyedPicturesLieOnExactBlack) {
  for (const RawPicture& p : {kPictures[8], kPictures[12], kPictures[13], kPictures[14], kPictures[15]}) {
    const std::vector<uint8_t> rgb = ReadAll(kData + p.file);
    ASSERT_EQ(rgb.size(), static_cast<size_t>(p.width) * 300) << p.file;
    const size_t pixels = rgb.size() / 3;
    size_t black = 0;
    for (size_t i = 0; i < pixels; ++i) black += IsBlack(rgb, i);
    EXPECT_TRUE(IsBlack(rgb, 0) && IsBlack(rgb, p.width - 1)) << p.file << ": top corners must be transparent";
    EXPECT_GT(black, pixels * 3 / 10) << p.file << ": too little transparent background";
    EXPECT_LT(black, pixels * 9 / 10) << p.file << ": too little subject";
  }
}

TEST(DataFiles, LeftAndRightPicturesArePairs) {
  // The dancers are mirror images; the eyes are two poses of one picture.
  const std::vector<uint8_t> left = ReadAll(kData + "halvern_l_160x100.raw");
  const std::vector<uint8_t> right = ReadAll(kData + "halvern_r_160x100.raw");
  ASSERT_EQ(left.size(), 48000u);
  ASSERT_EQ(right.size(), 48000u);
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 160; ++x)
      for (int c = 0; c < 3; ++c)
        ASSERT_EQ(left[3 * (160 * y + x) + c], right[3 * (160 * y + 159 - x) + c]) << x << "," << y;
  EXPECT_NE(left, right);
  const std::vector<uint8_t> left2 = ReadAll(kData + "halvern2_l_160x100.raw");
  const std::vector<uint8_t> right2 = ReadAll(kData + "halvern2_r_160x100.raw");
  size_t differing = 0;
  for (size_t i = 0; i < left2.size() && i < right2.size(); ++i) differing += left2[i] != right2[i];
  EXPECT_GT(differing, left2.size() / 20);
  EXPECT_LT(differing, left2.size() / 2) << "the two poses should share most of the picture";
}

TEST(DataFiles, MusicIsConstantRateStereoAndOutlastsTheLastScene) {
  const std::vector<uint8_t> mp3 = ReadAll(kData + "8920.mp3");
  ASSERT_GT(mp3.size(), 4096u);
  // The first frame: MPEG-1 Layer III, 128 kbit/s, 44.1 kHz, not mono; it carries the
  // encoder's info tag with the frame count, then the encoder delay and padding.
  ASSERT_EQ(mp3[0], 0xFF);
  ASSERT_EQ(mp3[1] & 0xFE, 0xFA);
  EXPECT_EQ(mp3[2] >> 4, 9) << "bit rate index";
  EXPECT_EQ((mp3[2] >> 2) & 3, 0) << "sample rate index";
  EXPECT_NE(mp3[3] >> 6, 3) << "mono";
  const size_t tag = 4 + 32;  // header, then the side information of a stereo frame
  const std::string name(mp3.begin() + tag, mp3.begin() + tag + 4);
  ASSERT_TRUE(name == "Info" || name == "Xing") << name;
  ASSERT_TRUE(BigEndian32(mp3, tag + 4) & 1) << "no frame count";
  const uint32_t frames = BigEndian32(mp3, tag + 8);
  // The delay and padding sit in the encoder's extension, 0x8D bytes after the tag's start.
  const uint32_t delay = (mp3[tag + 0x8D] << 4) | (mp3[tag + 0x8E] >> 4);
  const uint32_t padding = ((mp3[tag + 0x8E] & 0xF) << 8) | mp3[tag + 0x8F];
  const double seconds = (static_cast<double>(frames) * 1152 - delay - padding) / 44100.0;
  EXPECT_GE(seconds, 124.0);
  EXPECT_LT(seconds, 130.0);

  std::ifstream cues(std::string(QVL_SOURCE_DIR) + "/tools/assets/cues.txt");
  int last = -1, cue = 0;
  while (cues >> cue) {
    EXPECT_GT(cue, last) << "cues must rise";
    last = cue;
  }
  EXPECT_EQ(last, 123689);
  EXPECT_GT(seconds * 1000, last + 500) << "the final hit needs its tail";
}
