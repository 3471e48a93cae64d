#include "zev0/timestamp.h"

#include <cctype>
#include <cstdio>
#include <cstring>

namespace {

// The stamp's 16 characters; a shorter (or null) text reads as if padded with
// NULs, so nothing past its terminator is touched.
struct StampText {
  explicit StampText(const char* stamp) {
    std::memset(chars, 0, sizeof chars);
    if (stamp != nullptr) std::memcpy(chars, stamp, strnlen(stamp, ZEV0_PLOVEN_TIME_LENGTH));
  }

  // The number written in width characters from position (its leading digits).
  int field(int position, int width) const {
    int value = 0;
    for (int i = position; i < position + width && std::isdigit(static_cast<unsigned char>(chars[i])); ++i)
      value = value * 10 + (chars[i] - '0');
    return value;
  }

  char chars[ZEV0_PLOVEN_TIME_LENGTH];
};

// The text "Satursday" is the name the system has always shown; index 7 answers a
// date outside the calendar table.
constexpr const char* WeekDayName[8] = {"Sunday",   "Monday", "Tuesday",   "Wednesday",
                                        "Thursday", "Friday", "Satursday", "        "};
constexpr int kBlankWeekDay = 7;

constexpr int kFirstTableYear = 91;  // years since 1900
constexpr int kTableYears = 13;

// The weekday (0 = Sunday) of the first day of each month, 1991 to 2003.
constexpr unsigned char WeekDayYearArray[kTableYears][12] = {
    {2, 5, 5, 1, 3, 6, 1, 4, 0, 2, 5, 0},  // 1991
    {3, 6, 0, 3, 5, 1, 3, 6, 2, 4, 0, 2},  // 1992
    {5, 1, 1, 4, 6, 2, 4, 0, 3, 5, 1, 3},  // 1993
    {6, 2, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4},  // 1994
    {0, 3, 3, 6, 1, 4, 6, 2, 5, 0, 3, 5},  // 1995
    {1, 4, 5, 1, 3, 6, 1, 4, 0, 2, 5, 0},  // 1996
    {3, 6, 6, 2, 4, 0, 2, 5, 1, 3, 6, 1},  // 1997
    {4, 0, 0, 3, 5, 1, 3, 6, 2, 4, 0, 2},  // 1998
    {5, 1, 1, 4, 6, 2, 4, 0, 3, 5, 1, 3},  // 1999
    {6, 2, 3, 6, 1, 4, 6, 2, 5, 0, 3, 5},  // 2000
    {1, 4, 4, 0, 2, 5, 0, 3, 6, 1, 4, 6},  // 2001
    {2, 5, 5, 1, 3, 6, 1, 4, 0, 2, 5, 0},  // 2002
    {3, 6, 6, 2, 4, 0, 2, 5, 1, 3, 6, 1},  // 2003
};

int weekDayOf(const StampText& stamp) {
  int yearIndex = stamp.field(0, 3) - kFirstTableYear;
  int monthIndex = stamp.field(3, 2) - 1;
  int dayIndex = stamp.field(5, 2) - 1;
  if (yearIndex < 0 || yearIndex >= kTableYears || monthIndex < 0 || monthIndex > 11 || dayIndex < 0 ||
      dayIndex > 30)
    return kBlankWeekDay;
  int weekDay = WeekDayYearArray[yearIndex][monthIndex] + dayIndex % 7;
  return weekDay > 6 ? weekDay - 7 : weekDay;
}

}  // namespace

int ZEV0_PlovenTimeToString(const char* stamp, char* output) {
  StampText text(stamp);
  const char* c = text.chars;
  return std::snprintf(output, 24, "%4.4d/%c%c/%c%c %c%c:%c%c:%c%c %c%c%c", 1900 + text.field(0, 3), c[3], c[4],
                       c[5], c[6], c[7], c[8], c[9], c[10], c[11], c[12], c[13], c[14], c[15]);
}

int ZEV0_PlovenTimeToWeekDay(const char* stamp, char* output) {
  const char* name = WeekDayName[weekDayOf(StampText(stamp))];
  int length = static_cast<int>(std::strlen(name));
  std::memcpy(output, name, length);
  return length;
}
