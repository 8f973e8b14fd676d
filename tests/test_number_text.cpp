// The time lists of a scripted run, as the capture tool and the web page read them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "demo/number_text.h"

namespace {

std::vector<int32_t> Times(const std::string& text, std::string* error = nullptr) {
  std::string said;
  std::vector<int32_t> times = ParseTimeList(text, "--times", said);
  if (error != nullptr) *error = said;
  else
    EXPECT_EQ(said, "") << text;
  return times;
}

}  // namespace

TEST(TimeList, StepsAndListsGiveTheirTimes) {
  EXPECT_EQ(Times("0:30:10"), (std::vector<int32_t>{0, 10, 20, 30}));
  EXPECT_EQ(Times("-5:4:4"), (std::vector<int32_t>{-5, -1, 3}));
  EXPECT_EQ(Times("7"), (std::vector<int32_t>{7}));
  EXPECT_EQ(Times("300,100,-2147483648"), (std::vector<int32_t>{300, 100, INT32_MIN}));
  EXPECT_EQ(Times("2147483640:2147483647:5").back(), 2147483645);  // no overflow at the top
  EXPECT_EQ(Times("0:999999:1").size(), 1000000u);                 // the most frames there may be
}

TEST(TimeList, BadListsSayWhatIsWrong) {
  struct Case {
    const char* text;
    const char* says;
  };
  for (const Case c : {Case{"0:10:0", "step"}, Case{"10:0:1", "T0 <= T1"}, Case{"0:x:1", "three whole numbers"},
                       Case{"1,x", "\"x\""}, Case{"1,,2", "\"\""}, Case{"", "\"\""}, Case{"2147483648", "\"2147483648\""},
                       Case{"0:1000000:1", "too many"}, Case{"1:2:3:4", "T0:T1:STEP or"}, Case{"1:2", "T0:T1:STEP or"}}) {
    std::string error;
    EXPECT_TRUE(Times(c.text, &error).empty()) << c.text;
    EXPECT_NE(error.find(c.says), std::string::npos) << c.text << ": " << error;
    EXPECT_NE(error.find("--times"), std::string::npos) << c.text << ": " << error;
  }
}

// A time is a whole number as every program reads one (ParseWholeNumber): no sign but '-', no
// blank, no zero byte that would end the text early (the fuzz target found "\0...\07" read as 0).
TEST(TimeList, ATimeIsAWholeNumberAndNothingElse) {
  EXPECT_EQ(ParseMilliseconds("-12"), -12);
  for (const std::string& text : {std::string("\0", 1), std::string("7\0x", 3), std::string("\0\0007", 3), std::string(" 5"),
                                 std::string("\t5"), std::string("5 "), std::string("-"), std::string("+-1"), std::string("+7")}) {
    EXPECT_EQ(ParseMilliseconds(text), std::nullopt) << text.size();
    std::string error;
    EXPECT_TRUE(ParseTimeList(text, "--times", error).empty());
    EXPECT_FALSE(error.empty());
  }
}
