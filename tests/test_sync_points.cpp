#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "demo_test_support.h"
#include "quorvel4/debug.h"
#include "quorvel4/sync_points.h"

namespace {

// Collects the debug lines for the life of the fixture.
class SyncPoints : public testing::Test {
 protected:
  void SetUp() override {
    previous_ = SetDebugSink([this](const char* text) { debug_ += text; });
  }
  void TearDown() override {
    SetDebugSink(previous_);
    for (const std::string& path : files_) std::remove(path.c_str());
  }

  std::string WriteFile(const std::string& contents) {
    const std::string path =
        testing::TempDir() + "sync_" + testing::UnitTest::GetInstance()->current_test_info()->name() +
        std::to_string(files_.size()) + ".txt";
    std::ofstream(path, std::ios::binary) << contents;
    files_.push_back(path);
    return path;
  }

  int32_t Load(const std::string& contents) { return LoadSyncPoints(WriteFile(contents).c_str()); }

  std::vector<int32_t> Loaded() const {
    const int32_t* t = SyncPointTimes();
    return t ? std::vector<int32_t>(t, t + SyncPointCount()) : std::vector<int32_t>{};
  }

  std::string debug_;

 private:
  DebugSink previous_;
  std::vector<std::string> files_;
};

using Times = std::vector<int32_t>;

}  // namespace

TEST_F(SyncPoints, LoadsTimesAndSkipsBlankLinesBeforeNames) {
  EXPECT_EQ(Load("3\nintro\n1000\n\n\n  second point \n2000\r\nthird\n3000"), 3);
  EXPECT_EQ(SyncPointCount(), 3);
  EXPECT_EQ(Loaded(), (Times{1000, 2000, 3000}));
  EXPECT_EQ(debug_, "numpoints=3\n1000  0 \n2000  1 \n3000  2 \n");
}

// A second show must not find the first one's points; a seek puts back the ones read before.
TEST_F(SyncPoints, ClearingEmptiesTheListAndSettingPutsTimesBackSilently) {
  ASSERT_EQ(Load("2\na\n1000\nb\n2000\n"), 2);
  ClearSyncPoints();
  EXPECT_EQ(SyncPointCount(), 0);
  EXPECT_EQ(SyncPointTimes(), nullptr);
  EXPECT_EQ(FindSyncPoint(5000), -1);
  EXPECT_EQ(TimeToNextSyncPoint(0), -1);

  debug_.clear();
  const int32_t times[] = {100, 200, 300};
  SetSyncPoints(times, 3);
  EXPECT_EQ(Loaded(), (Times{100, 200, 300}));
  EXPECT_EQ(FindSyncPoint(150), 0);
  EXPECT_EQ(debug_, "");
  SetSyncPoints(times, 0);
  EXPECT_EQ(SyncPointCount(), 0);
  SetSyncPoints(times, 2);
  SetSyncPoints(nullptr, 2);
  EXPECT_EQ(SyncPointCount(), 0);
}

TEST_F(SyncPoints, FindsPassedAndNextPoints) {
  ASSERT_EQ(Load("3\na\n1000\nb\n2000\nc\n3000\n"), 3);
  EXPECT_EQ(FindSyncPoint(500), -1);
  EXPECT_EQ(FindSyncPoint(1000), -1);
  EXPECT_EQ(FindSyncPoint(1001), 0);
  EXPECT_EQ(FindSyncPoint(2500), 1);
  EXPECT_EQ(TimeToNextSyncPoint(500), 500);
  EXPECT_EQ(TimeToNextSyncPoint(1000), 0);
  EXPECT_EQ(TimeToNextSyncPoint(1001), 999);
  EXPECT_EQ(TimeToNextSyncPoint(2500), 500);
  // After the last point: it is the one passed, and no next point exists.
  EXPECT_EQ(FindSyncPoint(3000), 1);
  EXPECT_EQ(FindSyncPoint(3001), 2);
  EXPECT_EQ(TimeToNextSyncPoint(3001), -1);
  // Far-apart times do not overflow the difference.
  ASSERT_EQ(Load("1\nend\n2147483647\n"), 1);
  EXPECT_EQ(TimeToNextSyncPoint(-2147483647 - 1), 2147483647);

  ASSERT_EQ(Load("0\n"), 0);
  EXPECT_EQ(SyncPointTimes(), nullptr);
  EXPECT_EQ(FindSyncPoint(0), -1);
  EXPECT_EQ(TimeToNextSyncPoint(0), -1);
}

TEST_F(SyncPoints, UnopenableOrUnreadableFileFailsAndKeepsTheLoadedList) {
  ASSERT_EQ(Load("2\na\n10\nb\n20\n"), 2);
  debug_.clear();
  EXPECT_EQ(LoadSyncPoints((testing::TempDir() + "no/such/sync.txt").c_str()), -1);
  EXPECT_EQ(debug_, "shite");
  EXPECT_EQ(Loaded(), (Times{10, 20}));

  // Neither reads as an empty list: a directory, and a FIFO that no one writes to.
  ScratchDirectory scratch;
  debug_.clear();
  EXPECT_EQ(LoadSyncPoints(scratch.path().c_str()), -1);
  EXPECT_EQ(debug_, "shite");
  EXPECT_EQ(Loaded(), (Times{10, 20}));
  const std::string fifo = scratch.File("sync.fifo");
  EXPECT_EQ(ReadFifoWithoutAWriter(fifo, [&] { return LoadSyncPoints(fifo.c_str()); }), -1);
  EXPECT_EQ(Loaded(), (Times{10, 20}));
}

// The count and the records are untrusted: only complete records are loaded.
TEST_F(SyncPoints, LoadsOnlyTheRecordsReallyThere) {
  EXPECT_EQ(Load("2000000000\na\n5\nb\n6\n"), 2);  // count far beyond the file
  EXPECT_EQ(Loaded(), (Times{5, 6}));
  EXPECT_EQ(Load("-4\na\n5\n"), 0);
  EXPECT_EQ(Load("lots\na\n5\n"), 0);
  EXPECT_EQ(Load(""), 0);
  EXPECT_EQ(Load("3\na\n5\nb\nsoon\nc\n7\n"), 1);  // a time that is no number ends the list
  EXPECT_EQ(Loaded(), (Times{5}));
  EXPECT_EQ(Load("3\na\n5\nb\n99999999999\nc\n7\n"), 1);  // beyond int32_t
  EXPECT_EQ(Load("3\na\n5\nb\n"), 1);                      // name without a time
  EXPECT_EQ(Load("2\na\n-5\nb\n+6"), 2);
  EXPECT_EQ(Loaded(), (Times{-5, 6}));
  EXPECT_EQ(Load("1\na\n"), 0);
  EXPECT_EQ(SyncPointTimes(), nullptr);
}

TEST_F(SyncPoints, LongNamesNeverSpillIntoTheNextRecord) {
  const std::string longName(10000, 'x');
  const std::string numericName = "12345 " + std::string(5000, '7');
  EXPECT_EQ(Load("3\n" + longName + "\n100\n" + numericName + "\n200\nshort\n300\n"), 3);
  EXPECT_EQ(Loaded(), (Times{100, 200, 300}));
}

TEST_F(SyncPoints, StreamEventsAreLogged) {
  char name[] = "drop";
  EXPECT_EQ(OnStreamEvent(nullptr, name, 4, nullptr), 1);
  EXPECT_EQ(debug_, "\nSYNCHPOINT : \"drop\"\n");

  debug_.clear();
  testing::internal::CaptureStdout();
  EXPECT_EQ(OnStreamEvent(nullptr, nullptr, 0, nullptr), 1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "\nSTREAM ENDED!!\n");
  EXPECT_EQ(debug_, "");
}
