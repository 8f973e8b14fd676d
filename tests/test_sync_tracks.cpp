#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "quorvel4/sync_tracks.h"

namespace {

using I = TrackInterpolation;

SyncTrack TwoKeys(I interpolation) {
  SyncTrack track("t");
  EXPECT_TRUE(track.SetKey({4, 3.0f, I::kStep}));
  EXPECT_TRUE(track.SetKey({0, 1.0f, interpolation}));
  return track;
}

uint32_t Bits(float f) { return std::bit_cast<uint32_t>(f); }

// The bits ParseTrackValue gives, or 0xFFFFFFFF when it refuses the text (no float it can give
// has those bits: they are a NaN).
uint32_t ParsedBits(const std::string& text) {
  float value = 0;
  return ParseTrackValue(text, value) ? Bits(value) : 0xFFFFFFFFu;
}

std::string Bytes(std::initializer_list<int> bytes) {
  std::string out;
  for (const int b : bytes) out.push_back(static_cast<char>(b));
  return out;
}

// From 0 (1.0) to 4 (3.0), t = row / 4; the values are the formulas' worked by hand.
TEST(SyncTrack, ValuesBetweenTwoKeysFollowTheFirstKeysInterpolation) {
  const SyncTrack step = TwoKeys(I::kStep);
  EXPECT_EQ(step.ValueAt(0), 1.0);
  EXPECT_EQ(step.ValueAt(2.5), 1.0);
  EXPECT_EQ(step.ValueAt(3.999), 1.0);
  EXPECT_EQ(step.ValueAt(4), 3.0);

  const SyncTrack linear = TwoKeys(I::kLinear);
  EXPECT_EQ(linear.ValueAt(1), 1.5);
  EXPECT_EQ(linear.ValueAt(2), 2.0);
  EXPECT_EQ(linear.ValueAt(2.5), 2.25);  // a fractional row: t = 0.625
  EXPECT_EQ(linear.ValueAt(3), 2.5);

  // t^2 (3 - 2t): 0.15625, 0.5, 0.84375
  const SyncTrack smooth = TwoKeys(I::kSmooth);
  EXPECT_EQ(smooth.ValueAt(1), 1.3125);
  EXPECT_EQ(smooth.ValueAt(2), 2.0);
  EXPECT_EQ(smooth.ValueAt(3), 2.6875);

  // t^2: 0.0625, 0.25, 0.5625
  const SyncTrack ramp = TwoKeys(I::kRamp);
  EXPECT_EQ(ramp.ValueAt(1), 1.125);
  EXPECT_EQ(ramp.ValueAt(2), 1.5);
  EXPECT_EQ(ramp.ValueAt(3), 2.125);

  for (const I interpolation : {I::kStep, I::kLinear, I::kSmooth, I::kRamp}) {
    const SyncTrack track = TwoKeys(interpolation);
    EXPECT_EQ(track.ValueAt(0), 1.0);
    EXPECT_EQ(track.ValueAt(-3.5), 1.0);
    EXPECT_EQ(track.ValueAt(4), 3.0);
    EXPECT_EQ(track.ValueAt(1e9), 3.0);
  }
}

TEST(SyncTrack, EachStretchIsTheKeyBeforeItsOwn) {
  SyncTrack track("t");
  ASSERT_TRUE(track.SetKeys({{10, 0.0f, I::kLinear}, {20, 10.0f, I::kStep}, {30, -6.0f, I::kLinear}, {40, 2.0f, I::kStep}}));
  EXPECT_EQ(track.ValueAt(5), 0.0);     // before the first key
  EXPECT_EQ(track.ValueAt(15), 5.0);    // linear from 10
  EXPECT_EQ(track.ValueAt(25.5), 10.0);  // the step of 20 holds until 30
  EXPECT_EQ(track.ValueAt(31), -5.2);   // linear from 30: -6 + 8 x 0.1
  EXPECT_EQ(track.ValueAt(45), 2.0);    // after the last

  SyncTrack one("one");
  ASSERT_TRUE(one.SetKey({7, 0.25f, I::kSmooth}));
  EXPECT_EQ(one.ValueAt(0), 0.25);
  EXPECT_EQ(one.ValueAt(7), 0.25);
  EXPECT_EQ(one.ValueAt(100), 0.25);
  EXPECT_EQ(SyncTrack("none").ValueAt(3), 0.0);
}

TEST(SyncTrack, KeysStaySortedThroughSetsAndDeletes) {
  SyncTrack track("t");
  EXPECT_TRUE(track.SetKey({30, 3.0f, I::kStep}));
  EXPECT_TRUE(track.SetKey({10, 1.0f, I::kStep}));
  EXPECT_TRUE(track.SetKey({20, 2.0f, I::kStep}));
  EXPECT_TRUE(track.SetKey({20, 2.5f, I::kRamp}));  // replaces
  EXPECT_EQ(track.Keys(), (std::vector<TrackKey>{{10, 1.0f, I::kStep}, {20, 2.5f, I::kRamp}, {30, 3.0f, I::kStep}}));
  ASSERT_NE(track.KeyAt(20), nullptr);
  EXPECT_EQ(track.KeyAt(20)->value, 2.5f);
  EXPECT_EQ(track.KeyAt(21), nullptr);
  EXPECT_TRUE(track.DeleteKey(10));
  EXPECT_FALSE(track.DeleteKey(10));
  EXPECT_FALSE(track.DeleteKey(25));
  EXPECT_EQ(track.Keys().size(), 2u);
  EXPECT_EQ(track.Keys().front().row, 20);
}

TEST(SyncTrack, RefusesKeysThatBreakItsRules) {
  SyncTrack track("t");
  ASSERT_TRUE(track.SetKeys({{1, 1.0f, I::kStep}, {2, 2.0f, I::kLinear}}));
  const std::vector<TrackKey> before = track.Keys();
  EXPECT_FALSE(track.SetKey({-1, 0.0f, I::kStep}));
  EXPECT_FALSE(track.SetKey({3, NAN, I::kStep}));
  EXPECT_FALSE(track.SetKey({3, INFINITY, I::kStep}));
  EXPECT_FALSE(track.SetKey({3, 0.0f, static_cast<I>(4)}));
  EXPECT_FALSE(track.SetKeys({{2, 0.0f, I::kStep}, {1, 0.0f, I::kStep}}));
  EXPECT_FALSE(track.SetKeys({{1, 0.0f, I::kStep}, {1, 0.0f, I::kStep}}));
  EXPECT_FALSE(track.SetKeys({{-5, 0.0f, I::kStep}}));
  EXPECT_FALSE(track.SetKeys({{0, -NAN, I::kStep}}));
  EXPECT_FALSE(track.SetKeys({{0, 0.0f, static_cast<I>(255)}}));
  EXPECT_EQ(track.Keys(), before);
}

TEST(SyncTrack, RowOfAMusicTime) {
  EXPECT_EQ(RowAtMilliseconds(1500, 120, 8), 24.0);  // 1.5 s at 2 beats a second, 8 rows a beat
  EXPECT_EQ(RowAtMilliseconds(0, 140, 4), 0.0);
  EXPECT_EQ(RowAtMilliseconds(250, 60, 4), 1.0);
}

TEST(TrackFile, NamesEncodeEveryByteButTheSafeOnes) {
  EXPECT_EQ(TrackFileName("sync", "camera:rot.y"), "sync_camera-3Arot.y.track");
  EXPECT_EQ(TrackFileName("data/sync", "fx/glow_1"), "data/sync_fx/glow_1.track");
  EXPECT_EQ(TrackFileName("s", "\xC3\xA9 -"), "s_-C3-A9-20-2D.track");
  EXPECT_EQ(TrackFileName("s", "a\\b\x01"), "s_a-5Cb-01.track");
  // A part of nothing but dots cannot climb out of the folder.
  EXPECT_EQ(TrackFileName("s", "a/../../b"), "s_a/-2E-2E/-2E-2E/b.track");
  EXPECT_EQ(TrackFileName("s", "x/."), "s_x/-2E.track");
  EXPECT_EQ(TrackFileName("s", ".."), "s_...track");  // "s_.." is a name, not a step up
  EXPECT_EQ(TrackFileName("s", "a/.b/c."), "s_a/.b/c..track");
}

TEST(TrackFile, BytesOfASmallTrack) {
  const std::vector<TrackKey> keys = {{1, 1.0f, I::kLinear}, {300, -2.5f, I::kStep}};
  const std::string bytes = Bytes({2, 0, 0, 0,                      // two keys
                                   1, 0, 0, 0, 0, 0, 0x80, 0x3F, 1,  // row 1, 1.0, linear
                                   0x2C, 1, 0, 0, 0, 0, 0x20, 0xC0, 0});  // row 300, -2.5, step
  EXPECT_EQ(EncodeTrackFile(keys), bytes);
  std::vector<TrackKey> read;
  std::string error;
  ASSERT_TRUE(DecodeTrackFile(bytes, read, error)) << error;
  EXPECT_EQ(read, keys);

  EXPECT_EQ(EncodeTrackFile({}), Bytes({0, 0, 0, 0}));
  ASSERT_TRUE(DecodeTrackFile(Bytes({0, 0, 0, 0}), read, error));
  EXPECT_TRUE(read.empty());

  const std::vector<TrackKey> edges = {{0, -0.0f, I::kRamp}, {7, 1e-45f, I::kSmooth}, {INT32_MAX, FLT_MAX, I::kLinear}};
  ASSERT_TRUE(DecodeTrackFile(EncodeTrackFile(edges), read, error)) << error;
  EXPECT_EQ(read, edges);
  EXPECT_TRUE(std::signbit(read[0].value));
}

TEST(TrackFile, EachFaultIsNamedWithItsKeyAndByte) {
  const std::string good = EncodeTrackFile({{1, 1.0f, I::kLinear}, {5, 2.0f, I::kStep}});
  const auto fault = [](const std::string& bytes) {
    std::vector<TrackKey> keys = {{9, 9.0f, I::kStep}};
    std::string error;
    EXPECT_FALSE(DecodeTrackFile(bytes, keys, error));
    EXPECT_TRUE(keys.empty());
    return error;
  };
  EXPECT_EQ(fault(""), "the file is 0 bytes, too short for the key count");
  EXPECT_EQ(fault(Bytes({1, 0, 0})), "the file is 3 bytes, too short for the key count");
  EXPECT_EQ(fault(Bytes({0xFF, 0xFF, 0xFF, 0xFF})), "the key count -1 (byte 0) is negative");
  // A count that claims gigabytes is refused by the size, before anything is made for it.
  EXPECT_EQ(fault(Bytes({0xFF, 0xFF, 0xFF, 0x7F, 0, 0, 0, 0, 0, 0, 0, 0, 0})),
            "the key count 2147483647 (byte 0) needs 19327352827 bytes, the file has 13");
  EXPECT_EQ(fault(good.substr(0, good.size() - 1)), "the key count 2 (byte 0) needs 22 bytes, the file has 21");
  EXPECT_EQ(fault(good + '\0'), "the key count 2 (byte 0) needs 22 bytes, the file has 23");

  std::string bad = good;
  bad[13 + 3] = static_cast<char>(0x80);  // key 1's row, negative
  EXPECT_EQ(fault(bad), "key 1 (byte 13): row -2147483643 is negative");
  bad = good;
  bad[13] = 1;  // key 1 at row 1 too
  EXPECT_EQ(fault(bad), "key 1 (byte 13): row 1 is not after row 1");
  bad = good;
  bad[4 + 6] = static_cast<char>(0xC0), bad[4 + 7] = 0x7F;  // key 0's value: a NaN
  EXPECT_EQ(fault(bad), "key 0 (byte 8): the value is not finite");
  bad = good;
  bad[13 + 8] = 4;
  EXPECT_EQ(fault(bad), "key 1 (byte 21): interpolation 4 is not 0-3");
}

TEST(TrackValueText, ReadsDecimalsRoundedToTheNearestFloat) {
  EXPECT_EQ(ParsedBits("0.1"), 0x3DCCCCCDu);
  EXPECT_EQ(ParsedBits("1e-45"), 0x00000001u);          // the smallest float, 2^-149
  EXPECT_EQ(ParsedBits("3.4028235e38"), 0x7F7FFFFFu);   // the largest
  EXPECT_EQ(ParsedBits("3.4028236e38"), 0xFFFFFFFFu);   // past the largest's half step: refused
  EXPECT_EQ(ParsedBits("1e39"), 0xFFFFFFFFu);
  EXPECT_EQ(ParsedBits("-1e99999999999999999999"), 0xFFFFFFFFu);
  EXPECT_EQ(ParsedBits("1."), Bits(1.0f));
  EXPECT_EQ(ParsedBits(".5"), Bits(0.5f));
  EXPECT_EQ(ParsedBits("+2E+1"), Bits(20.0f));
  EXPECT_EQ(ParsedBits("-0"), 0x80000000u);
  EXPECT_EQ(ParsedBits("-0.000e5"), 0x80000000u);
  EXPECT_EQ(ParsedBits("0e99999999999"), 0u);
  EXPECT_EQ(ParsedBits("1e-99999999999999"), 0u);  // nearer 0 than the smallest float
  EXPECT_EQ(ParsedBits("7e-46"), 0u);               // just under half the smallest
  EXPECT_EQ(ParsedBits("7.1e-46"), 1u);
  EXPECT_EQ(ParsedBits("1" + std::string(300, '0') + "e-300"), Bits(1.0f));
  EXPECT_EQ(ParsedBits("0." + std::string(300, '0') + "1e301"), Bits(1.0f));

  // Exactly halfway rounds to the even neighbour; a digit more above it, however far out, rounds up.
  const std::string halfAfterOne = "1.000000059604644775390625";  // 1 + 2^-24
  EXPECT_EQ(ParsedBits(halfAfterOne), Bits(1.0f));
  EXPECT_EQ(ParsedBits(halfAfterOne + std::string(200, '0') + "1"), Bits(1.0f) + 1);
  const std::string halfOfSmallest =  // 2^-150, all 105 digits
      "7.00649232162408535461864791644958065640130970938257885878534141944895541342930300743319094181060791015625e-46";
  EXPECT_EQ(ParsedBits(halfOfSmallest), 0u);
  EXPECT_EQ(ParsedBits(halfOfSmallest.substr(0, halfOfSmallest.size() - 4) + "0001e-46"), 1u);

  for (const char* refused : {"", "1e", "1e+", "nan", "inf", "-inf", " 1", "1 ", ".", "-", "+", "e5", "1,5", "0x10",
                              "1.2.3", "--1", "1e5.0"}) {
    EXPECT_EQ(ParsedBits(refused), 0xFFFFFFFFu) << '"' << refused << '"';
  }
}

TEST(TrackValueText, WritesTheFewestDigitsThatReadBack) {
  EXPECT_EQ(TrackValueText(0.1f), "0.1");
  EXPECT_EQ(TrackValueText(1.0f), "1");
  EXPECT_EQ(TrackValueText(-2.5f), "-2.5");
  EXPECT_EQ(TrackValueText(0.0f), "0");
  EXPECT_EQ(TrackValueText(-0.0f), "-0");
  EXPECT_EQ(TrackValueText(100.0f), "100");
  EXPECT_EQ(TrackValueText(1e10f), "1e10");
  EXPECT_EQ(TrackValueText(0.00001f), "0.00001");
  EXPECT_EQ(TrackValueText(1.5e-6f), "1.5e-6");
  EXPECT_EQ(TrackValueText(123456789.0f), "123456790");  // the float is 123456792
  EXPECT_EQ(TrackValueText(std::bit_cast<float>(1u)), "1e-45");
  EXPECT_EQ(TrackValueText(FLT_MAX), "3.4028235e38");
  EXPECT_EQ(TrackValueText(1.0f / 3), "0.33333334");

  // A spread of floats of every size, both signs, subnormals among them.
  for (uint64_t bits = 0; bits < 0x100000000u; bits += 65521) {
    const float value = std::bit_cast<float>(static_cast<uint32_t>(bits));
    if (!std::isfinite(value)) continue;
    const std::string text = TrackValueText(value);
    ASSERT_EQ(ParsedBits(text), bits) << text;
  }
}

TEST(SyncProject, ReadsAHandWrittenProject) {
  const std::string text =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<!-- made by hand -->\n"
      "<sync rows=\"128\" tempo=\"passed over\">\n"
      "  <tracks>\n"
      "    <track name=\"camera:rot.y\">\n"
      "      <key row=\"8\" value=\"-0.5\" interpolation=\"2\"/>\n"
      "      <key row=\"0\" value=\"1.25\" interpolation=\"1\" colour=\"red\"/>\n"
      "      <note>passed over</note>\n"
      "    </track>\n"
      "    <track name='a &amp; &lt;b&gt;&#9;&quot;&#xE9;'></track>\n"
      "  </tracks>\n"
      "  <bookmarks><bookmark row=\"16\"/><bookmark row=\"4\"/><bookmark row=\"16\"/></bookmarks>\n"
      "</sync>\n";
  SyncProject project;
  std::string error;
  ASSERT_TRUE(ReadSyncProject(text, project, error)) << error;
  EXPECT_EQ(project.rows, 128);
  ASSERT_EQ(project.tracks.size(), 2u);
  EXPECT_EQ(project.tracks[0].Name(), "camera:rot.y");
  EXPECT_EQ(project.tracks[0].Keys(), (std::vector<TrackKey>{{0, 1.25f, I::kLinear}, {8, -0.5f, I::kSmooth}}));
  EXPECT_EQ(project.tracks[1].Name(), "a & <b>\t\"\xC3\xA9");
  EXPECT_TRUE(project.tracks[1].Keys().empty());
  EXPECT_EQ(project.bookmarks, (std::vector<int32_t>{4, 16}));

  ASSERT_TRUE(ReadSyncProject("<sync/>", project, error)) << error;
  EXPECT_EQ(project, SyncProject{});
}

TEST(SyncProject, WritesWhatItReadsBackEqual) {
  SyncProject project;
  project.rows = 4096;
  SyncTrack odd("quote\" amp& lt< gt> tab\t line\n one\x01 del\x7F \xC3\xA9 /a");
  ASSERT_TRUE(odd.SetKeys({{0, 0.1f, I::kStep}, {3, -0.0f, I::kLinear}, {9, std::bit_cast<float>(1u), I::kSmooth},
                           {INT32_MAX, -FLT_MAX, I::kRamp}}));
  project.tracks.push_back(odd);
  project.tracks.emplace_back("empty");
  project.bookmarks = {64, 0, 8};
  const std::string text = WriteSyncProject(project);
  EXPECT_NE(text.find("\n<sync rows=\"4096\">\n  <tracks>\n    <track name=\"quote&quot; amp&amp; lt&lt; gt&gt; "
                      "tab&#9; line&#10; one&#1; del&#127; \xC3\xA9 /a\">\n      <key row=\"0\" value=\"0.1\" "
                      "interpolation=\"0\"/>\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("    <track name=\"empty\"/>\n  </tracks>\n  <bookmarks>\n    <bookmark row=\"0\"/>\n"),
            std::string::npos)
      << text;

  SyncProject read;
  std::string error;
  ASSERT_TRUE(ReadSyncProject(text, read, error)) << error << "\n" << text;
  project.bookmarks = {0, 8, 64};
  EXPECT_EQ(read, project);
  EXPECT_TRUE(std::signbit(read.tracks[0].Keys()[1].value));
  EXPECT_EQ(WriteSyncProject(read), text);

  ASSERT_TRUE(ReadSyncProject(WriteSyncProject(SyncProject{}), read, error)) << error;
  EXPECT_EQ(read, SyncProject{});
}

// Rows per beat is an attribute an editor of our own adds: written only when given, read back,
// and a reader that does not know it passes it over.
TEST(SyncProject, RowsPerBeatGoesThereAndBack) {
  SyncProject project;
  project.rows = 512;
  project.rowsPerBeat = 8;
  const std::string text = WriteSyncProject(project);
  EXPECT_NE(text.find("<sync rows=\"512\" rowsPerBeat=\"8\">"), std::string::npos) << text;
  SyncProject read;
  std::string error;
  ASSERT_TRUE(ReadSyncProject(text, read, error)) << error;
  EXPECT_EQ(read, project);
  EXPECT_EQ(WriteSyncProject(SyncProject{}).find("rowsPerBeat"), std::string::npos);

  ASSERT_TRUE(ReadSyncProject("<sync rows=\"4\"/>", read, error)) << error;
  EXPECT_EQ(read.rowsPerBeat, 0);
  ASSERT_FALSE(ReadSyncProject("<sync rowsPerBeat=\"four\"/>", read, error));
  EXPECT_EQ(error, "line 1, column 20: sync: rowsPerBeat is not a whole number 0-2147483647");
}

// The error of a project that must be refused, and the project left empty.
std::string Refused(const std::string& text) {
  SyncProject project;
  project.rows = 5;
  std::string error;
  EXPECT_FALSE(ReadSyncProject(text, project, error)) << text;
  EXPECT_EQ(project, SyncProject{});
  return error;
}

std::string Track(const std::string& keys) { return "<sync>\n<tracks>\n<track name=\"a\">\n" + keys + "</track></tracks></sync>"; }

TEST(SyncProject, RefusesMalformedProjectsSayingWhere) {
  EXPECT_EQ(Refused("<sync><tracks>"), "line 1, column 15: unexpected end of data");
  EXPECT_EQ(Refused("<sync>\n</synk>"), "line 2, column 7: invalid closing tag name");
  EXPECT_EQ(Refused("<other/>"), "line 1, column 1: no <sync> element");
  EXPECT_EQ(Refused("<sync/>\n<sync/>"), "line 2, column 1: a second <sync> element");
  EXPECT_EQ(Refused(std::string("<sync>\0</sync>", 14)), "line 1, column 7: a zero byte");
  EXPECT_EQ(Refused("<sync rows=\"-1\"/>"), "line 1, column 13: sync: rows is not a whole number 0-2147483647");

  EXPECT_EQ(Refused(Track("  <key row=\"x1\" value=\"1\" interpolation=\"0\"/>\n")),
            "line 4, column 13: key: row is not a whole number 0-2147483647");
  for (const char* row : {"", "+3", " 3", "3 ", "2147483648", "99999999999999999999"}) {
    EXPECT_NE(Refused(Track("<key row=\"" + std::string(row) + "\" value=\"1\" interpolation=\"0\"/>")).find("row is not"),
              std::string::npos);
  }
  SyncProject project;
  std::string error;
  EXPECT_TRUE(ReadSyncProject(Track("<key row=\"2147483647\" value=\"1\" interpolation=\"3\"/>"), project, error)) << error;

  EXPECT_EQ(Refused(Track("\xC3\xA9<key row=\"1\" value=\"1\" interpolation=\"4\"/>")),
            "line 4, column 40: key: interpolation 4 is not 0-3");
  EXPECT_EQ(Refused(Track("<key row=\"1\" value=\"1e\" interpolation=\"0\"/>")),
            "line 4, column 21: key: the value is not a decimal number within the float's range");
  EXPECT_NE(Refused(Track("<key row=\"1\" value=\"3.4028236e38\" interpolation=\"0\"/>")).find("float's range"),
            std::string::npos);
  EXPECT_EQ(Refused(Track("<key row=\"1\" interpolation=\"0\"/>")), "line 4, column 1: key: no value");
  EXPECT_EQ(Refused(Track("<key row=\"1\" value=\"1\"/>")), "line 4, column 1: key: no interpolation");
  EXPECT_EQ(Refused(Track("<key row=\"1\" value=\"1\" interpolation=\"one\"/>")),
            "line 4, column 39: key: the interpolation is not a whole number");
  EXPECT_EQ(Refused(Track("<key row=\"3\" value=\"1\" interpolation=\"0\"/>\n<key row=\"1\" value=\"1\" interpolation=\"0\"/>\n"
                          "<key row=\"3\" value=\"2\" interpolation=\"1\"/>\n")),
            "line 6, column 1: key: row 3 is keyed already at line 4, column 1");

  EXPECT_EQ(Refused("<sync><tracks>\n  <track name=\"a\"/>\n  <track name=\"b\"/><track name=\"a\"/></tracks></sync>"),
            "line 3, column 20: track: a second track named as the one at line 2, column 3");
  EXPECT_EQ(Refused("<sync><tracks><track/></tracks></sync>"), "line 1, column 15: track: no name");
  EXPECT_EQ(Refused("<sync><tracks><track name=\"\"/></tracks></sync>"), "line 1, column 28: track: the name is empty");
  EXPECT_EQ(Refused("<sync><tracks><track name=\"\xFF\"/></tracks></sync>"), "line 1, column 28: track: the name is not UTF-8");
  EXPECT_EQ(Refused("<sync><bookmarks><bookmark/></bookmarks></sync>"), "line 1, column 18: bookmark: no row");
}

TEST(SyncProject, RefusesDeepNestingBeforeParsing) {
  std::string deep = "<sync>";
  for (int i = 0; i < 1000000; ++i) deep += "<a>";
  // <sync> is the first level: the 32nd <a> is the 33rd, at byte 6 + 31 x 3.
  EXPECT_EQ(Refused(deep), "line 1, column 100: elements nested deeper than 32");

  // 32 levels are read; what only looks like elements does not count.
  std::string levels = "<sync>";
  for (int i = 0; i < 31; ++i) levels += "<a x='>'>";
  levels += "<b/><!-- <c><c><c> --><![CDATA[<c><c><c>]]><?pi <c><c>?><!DOCTYPE x [<!ENTITY y '<c><c>'>]><e f=\"<c><c>\"/>";
  for (int i = 0; i < 31; ++i) levels += "</a>";
  levels += "</sync>";
  SyncProject project;
  std::string error;
  EXPECT_TRUE(ReadSyncProject(levels, project, error)) << error;
  // Inside two more, the 29th <a> of them is the 33rd level.
  EXPECT_EQ(Refused("<sync><a><a>" + levels + "</a></a></sync>"), "line 1, column 271: elements nested deeper than 32");
}

// A flat file of nothing but tiny elements would make the parser keep a node per element, far
// more memory than the file: it is refused by its count before anything is parsed.
TEST(SyncProject, RefusesMoreItemsThanAMillionKeysHoldBeforeParsing) {
  std::string flat = "<sync>";
  for (size_t i = 0; i < kMostSyncProjectItems / 2; ++i) flat += "<a/>";
  const std::string refused = Refused(flat + "</sync>");
  EXPECT_NE(refused.find("more than 4000000 elements, attributes and texts"), std::string::npos) << refused;
  std::string attributes = "<sync><tracks><track name=\"t\"";
  for (size_t i = 0; i < kMostSyncProjectItems; ++i) attributes += " a=''";
  EXPECT_NE(Refused(attributes + "/></tracks></sync>").find("more than 4000000"), std::string::npos);
}

}  // namespace
