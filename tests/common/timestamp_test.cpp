#include "zev0/timestamp.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "manual_clock.h"
#include "zev0/storage.h"

namespace {

void setTimeZone(const char* zone) {
  setenv("TZ", zone, 1);
  tzset();
}

time_t utc(int year, int month, int day, int hour, int minute, int second) {
  struct tm broken {};
  broken.tm_year = year - 1900;
  broken.tm_mon = month - 1;
  broken.tm_mday = day;
  broken.tm_hour = hour;
  broken.tm_min = minute;
  broken.tm_sec = second;
  return timegm(&broken);
}

std::string stampOf(time_t time) {
  char buffer[ZEV0_PLOVEN_TIME_LENGTH + 1];
  return ZEV0_ConvertTimeToPlovenTime(&time, buffer);
}

class TimeStampTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setTimeZone("UTC");
    // The counter is process-wide: leave it on a second that no test uses.
    stampOf(1);
  }
  void TearDown() override { setTimeZone("UTC"); }

  const time_t valentine_ = utc(2002, 2, 15, 10, 20, 30);
};

TEST_F(TimeStampTest, CounterOrdersTheStampsOfOneSecond) {
  ManualClock clock(valentine_);
  std::vector<std::string> stamps;
  char buffer[ZEV0_PLOVEN_TIME_LENGTH + 1];
  for (int i = 0; i < 410; ++i) stamps.push_back(ZEV0_GetPlovenTime(buffer));

  struct Case {
    int index;  // 0 is the first stamp of the second
    const char* counter;
  };
  const Case cases[] = {{0, "000"},   {1, "010"},   {10, "100"},  {11, "105"},  {12, "110"},
                        {70, "400"},  {71, "403"},  {203, "799"}, {204, "802"}, {205, "803"},
                        {400, "998"}, {401, "999"}, {402, "999"}, {409, "999"}};
  for (const Case& c : cases) {
    SCOPED_TRACE("stamp " + std::to_string(c.index + 1));
    EXPECT_EQ(stamps[c.index], std::string("1020215102030") + c.counter);
  }
  std::set<std::string> distinct(stamps.begin(), stamps.end());
  EXPECT_EQ(distinct.size(), 402u);
  for (size_t i = 1; i < 402; ++i) EXPECT_LT(stamps[i - 1], stamps[i]);
}

TEST_F(TimeStampTest, AnotherSecondStartsTheCounterAgain) {
  EXPECT_EQ(stampOf(valentine_), "1020215102030000");
  EXPECT_EQ(stampOf(valentine_), "1020215102030010");
  EXPECT_EQ(stampOf(valentine_ - 1), "1020215102029000");  // earlier
  EXPECT_EQ(stampOf(valentine_ - 1), "1020215102029010");
  EXPECT_EQ(stampOf(valentine_), "1020215102030000");  // later
}

TEST_F(TimeStampTest, StampsAreLocalTime) {
  EXPECT_EQ(stampOf(valentine_), "1020215102030000");
  setTimeZone("EST5");
  EXPECT_EQ(stampOf(valentine_ + 1), "1020215052031000");
  EXPECT_EQ(stampOf(utc(2000, 1, 1, 3, 4, 5)), "0991231220405000");  // the day, month and year before
}

TEST_F(TimeStampTest, NullBufferGivesANewBlockForTheCaller) {
  char* stamp = ZEV0_ConvertTimeToPlovenTime(&valentine_, nullptr);
  ASSERT_NE(stamp, nullptr);
  EXPECT_STREQ(stamp, "1020215102030000");
  ZEV0_FreeStorage(&stamp);

  char buffer[] = "xxxxxxxxxxxxxxxxxxxx";
  EXPECT_EQ(ZEV0_ConvertTimeToPlovenTime(&valentine_, buffer), buffer);
  EXPECT_STREQ(buffer, "1020215102030010");
  EXPECT_EQ(buffer[17], 'x');  // 17 bytes written, no more
}

TEST_F(TimeStampTest, LeapSecondIsWrittenAsSecondZeroOfItsMinute) {
  setTimeZone("right/UTC");
  // In a zone that counts leap seconds, the second before 2017 began was 23:59:60.
  struct tm newYear {};
  newYear.tm_year = 117;
  newYear.tm_mday = 1;
  time_t leap = mktime(&newYear) - 1;
  struct tm broken {};
  localtime_r(&leap, &broken);
  if (broken.tm_sec != 60) GTEST_SKIP() << "no leap-second time zone data on this host";
  EXPECT_EQ(stampOf(leap), "1161231235900000");
}

TEST_F(TimeStampTest, StampsFromManyThreadsNeverRepeat) {
  ManualClock clock(valentine_ + 7);
  constexpr int kThreads = 8;
  constexpr int kStampsEach = 50;  // 400 in all: within the 402 distinct stamps of a second
  std::vector<std::vector<std::string>> made(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&made, t] {
      char buffer[ZEV0_PLOVEN_TIME_LENGTH + 1];
      for (int i = 0; i < kStampsEach; ++i) made[t].push_back(ZEV0_GetPlovenTime(buffer));
    });
  for (auto& thread : threads) thread.join();
  std::set<std::string> distinct;
  for (const auto& stamps : made) distinct.insert(stamps.begin(), stamps.end());
  EXPECT_EQ(distinct.size(), static_cast<size_t>(kThreads * kStampsEach));
}

TEST(PlovenTimeToStringTest, ShowsTheStampForPeople) {
  struct Case {
    const char* stamp;
    const char* shown;
  };
  const Case cases[] = {
      {"1020215102030000", "2002/02/15 10:20:30 000"},
      {"0991231235959999", "1999/12/31 23:59:59 999"},
      {"1020215102030000TAIL", "2002/02/15 10:20:30 000"},  // only 16 characters are read
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stamp);
    char output[24];
    EXPECT_EQ(ZEV0_PlovenTimeToString(c.stamp, output), 23);
    EXPECT_STREQ(output, c.shown);
  }
}

TEST(PlovenTimeToStringTest, ShortStampIsNotReadPastItsEnd) {
  char output[24];
  ZEV0_PlovenTimeToString("102", output);
  EXPECT_STREQ(output, "2002/");
}

TEST(PlovenTimeToWeekDayTest, NamesTheWeekdayOfTheStampsDate) {
  struct Case {
    const char* stamp;
    const char* name;
  };
  const Case cases[] = {
      {"1020215102030000", "Friday"},    {"1020216000000000", "Satursday"}, {"0910101000000000", "Tuesday"},
      {"1031231235959999", "Wednesday"}, {"0900101000000000", "        "},  {"1040101000000000", "        "},
      {"1021301000000000", "        "},  {"1020200000000000", "        "},  {"1020132000000000", "        "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stamp);
    char output[12];
    std::memset(output, 'x', sizeof output);
    int length = ZEV0_PlovenTimeToWeekDay(c.stamp, output);
    EXPECT_EQ(length, static_cast<int>(std::strlen(c.name)));
    EXPECT_EQ(std::string(output, length), c.name);
    EXPECT_EQ(output[length], 'x');  // the caller terminates it
  }
}

TEST(PlovenTimeToWeekDayTest, AgreesWithTheCalendarOnEveryDayOf1991To2003) {
  const char* names[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Satursday"};
  for (time_t day = utc(1991, 1, 1, 12, 0, 0); day < utc(2004, 1, 1, 0, 0, 0); day += 86400) {
    struct tm broken {};
    gmtime_r(&day, &broken);
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%03d%02d%02d120000000", broken.tm_year, broken.tm_mon + 1, broken.tm_mday);
    char output[9];
    int length = ZEV0_PlovenTimeToWeekDay(stamp, output);
    ASSERT_EQ(std::string(output, length), names[broken.tm_wday]) << stamp;
  }
}

TEST_F(TimeStampTest, CurrentDayTimeShowsTheGivenTimeOrNow) {
  EXPECT_STREQ(ZEV0_GetCurrentDayTime(&valentine_), "102/02/15-10:20:30");
  ManualClock clock(utc(1999, 12, 31, 23, 59, 58));
  EXPECT_STREQ(ZEV0_GetCurrentDayTime(nullptr), "99/12/31-23:59:58");
}

TEST_F(TimeStampTest, CurrentDayTimeOfAnotherThreadLeavesMineAlone) {
  const char* mine = ZEV0_GetCurrentDayTime(&valentine_);
  std::thread([] {
    time_t other = 0;
    ZEV0_GetCurrentDayTime(&other);
  }).join();
  EXPECT_STREQ(mine, "102/02/15-10:20:30");
}

TEST(TimeOfDayTest, MillisecondDifferencesSurviveTheWrap) {
  // 2147483 s is 2147483000 ms, just below the largest signed 32-bit number.
  ManualClock clock(2147483);
  int32_t before = ZEV0_GetTimeOfDay();
  EXPECT_EQ(before, 2147483000);
  clock.advance(1);
  int32_t after = ZEV0_GetTimeOfDay();
  EXPECT_LT(after, 0);  // wrapped
  EXPECT_EQ(static_cast<int32_t>(static_cast<uint32_t>(after) - static_cast<uint32_t>(before)), 1000);
}

}  // namespace
