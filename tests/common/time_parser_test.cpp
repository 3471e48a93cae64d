#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "zev0/storage.h"
#include "zev0/timestamp.h"

namespace {

class TimeParserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TZ", "UTC", 1);
    tzset();
  }

  static std::string parse(const char* text) {
    char* stamp = ZEV0_StringToPlovenTime(text);
    if (stamp == nullptr) return "(null)";
    std::string result = stamp;
    ZEV0_FreeStorage(&stamp);
    return result;
  }
};

struct Case {
  const char* text;
  const char* stamp;
};

TEST_F(TimeParserTest, ReadsTheCommonWaysOfWritingOneMoment) {
  const Case cases[] = {
      {"Tue Feb 15 10:20:30 2002", "1020215102030000"},
      {"tue feb 15 10:20:30 2002", "1020215102030000"},
      {"   Friday February 15 2002 10:20:30", "1020215102030000"},
      {"02/15/2002 10:20:30", "1020215102030000"},  // month first
      {"15/02/2002 10:20:30", "1020215102030000"},  // day first, as it is above 12
      {"2002/02/15 10:20:30", "1020215102030000"},  // year first
      {"15/FEB/2002 10:20:30", "1020215102030000"},
      {"FEB/15/2002 10:20:30", "1020215102030000"},
      {"2002/15/Feb 10:20:30", "1020215102030000"},
      {"2002\\02\\15 10:20:30", "1020215102030000"},
      {"15.02.2002 10:20:30", "1020215102030000"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(parse(c.text), c.stamp);
  }
}

TEST_F(TimeParserTest, ReadsPartsAndLeavesWhatItCannotReadZero) {
  const Case cases[] = {
      {"15 Feb 2002", "0000200000000000"},  // a day before the month is not read; 15 is no year
      {"February 2002", "1020200000000000"},
      {"Sept 9 1999 8:05:07", "0990909080507000"},
      {"10:20", "0000000000000000"},  // one colon: no time
      {"12:10:20:30", "0000000102030000"},  // more colons: the last three numbers
      {"2002 1:10:20:30", "1020000102030000"},
      {"2/15/02", "0020215000000000"},  // two-digit years are 1900 to 1999
      {"2002//15", "1020115000000000"},  // the empty field names January
      {"next week", "0000000000000000"},
      {"", "0000000000000000"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(parse(c.text), c.stamp);
  }
}

TEST_F(TimeParserTest, NullTextGivesNull) { EXPECT_EQ(ZEV0_StringToPlovenTime(nullptr), nullptr); }

TEST_F(TimeParserTest, CallersTextIsLeftAsItWas) {
  char text[] = "tue feb 15 10:20:30 2002";
  parse(text);
  EXPECT_STREQ(text, "tue feb 15 10:20:30 2002");
}

// Regression: the year at the head of a dotted date was taken as a lone year and
// blanked out, so the date read as year 15, January 2.
TEST_F(TimeParserTest, DottedDateWithTheYearFirst) {
  EXPECT_EQ(parse("2002.02.15 10:20:30"), "1020215102030000");
  EXPECT_EQ(parse("Feb 15 2002"), "1020215000000000");  // a lone year is still taken
}

// Regression: a field too wide for its place was written in full and pushed the
// stamp past its 16 characters.
TEST_F(TimeParserTest, FieldsTooWideForTheStampAreZero) {
  const Case cases[] = {
      {"99999/02/15", "0000215000000000"},
      {"02/15/123456789012345678901234567890", "0000215000000000"},
      {"10:200:30", "0000000100000000"},
      {"-3/15/2002", "1020015000000000"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(parse(c.text), c.stamp);
  }
}

}  // namespace
