#include "zev0/timestamp.h"

#include <cctype>
#include <climits>
#include <cstring>
#include <string_view>

#include "timestamp_format.h"
#include "zev0/storage.h"
#include "zev0/text.h"

namespace {

constexpr const char* MonthName[12] = {"JANUARY", "FEBRUARY", "MARCH",     "APRIL",   "MAY",      "JUNE",
                                       "JULY",    "AUGUST",   "SEPTEMBER", "OCTOBER", "NOVEMBER", "DECEMBER"};
constexpr const char* WeekDays[7] = {"SUNDAY", "MONDAY", "TUESDAY", "WEDNESDAY", "THURSDAY", "FRIDAY", "SATURDAY"};

// Two-digit years up to this one are not taken for a year where a year is guessed.
constexpr int kLastCenturyYear = 90;
// Numbers are read no further than this: wider ones cannot fit in a stamp anyway.
constexpr int kNumberCap = 100000000;

// 1-12 for the first month whose name contains the text, 0 when none does (the
// empty text is contained in every name, so it gives January).
int LookUpMonthByString(std::string_view text) {
  for (int month = 0; month < 12; ++month)
    if (std::string_view(MonthName[month]).find(text) != std::string_view::npos) return month + 1;
  return 0;
}

bool isWeekDayWord(std::string_view word) {
  for (const char* name : WeekDays)
    if (std::string_view(name).find(word) != std::string_view::npos) return true;
  return false;
}

// The capitalised working copy; each part that has been read is blanked out so
// that later steps do not read it again. Positions outside the text read as
// nothing, so no step looks past either end.
class TimeText {
 public:
  TimeText(char* text, int length) : text_(text), length_(length) {
    while (start_ < length_ && text_[start_] == ' ') ++start_;
  }

  int start() const { return start_; }
  int length() const { return length_; }
  char at(int position) const { return position >= 0 && position < length_ ? text_[position] : '\0'; }
  bool isDigitAt(int position) const { return std::isdigit(static_cast<unsigned char>(at(position))) != 0; }

  int count(char c) const {
    int found = 0;
    for (int i = start_; i < length_; ++i) found += text_[i] == c;
    return found;
  }
  // Position of the next c at or after from, or -1.
  int find(char c, int from) const {
    for (int i = from; i < length_; ++i)
      if (text_[i] == c) return i;
    return -1;
  }
  int findLast(char c, int before) const {
    for (int i = before - 1; i >= start_; --i)
      if (text_[i] == c) return i;
    return -1;
  }

  void blank(int from, int to) {
    for (int i = from < 0 ? 0 : from; i < to && i < length_; ++i) text_[i] = ' ';
  }

  // The run of digits that starts at position (0 when there is none); *end is
  // set to the position after it.
  int digitRun(int position, int* end) const {
    int value = 0;
    int i = position;
    for (; isDigitAt(i); ++i)
      if (value < kNumberCap) value = value * 10 + (text_[i] - '0');
    *end = i;
    return value;
  }

  // The number at position read as atoi reads it: blanks, a sign, digits.
  int numberAt(int position) const {
    while (position < length_ && std::isspace(static_cast<unsigned char>(at(position)))) ++position;
    int sign = 1;
    if (at(position) == '-' || at(position) == '+') sign = at(position++) == '-' ? -1 : 1;
    int end;
    return sign * digitRun(position, &end);
  }

  std::string_view view(int from, int to) const {
    return std::string_view(text_ + from, static_cast<size_t>(to - from));
  }
  std::string_view trimmed(int from, int to) const {
    while (from < to && text_[from] == ' ') ++from;
    while (to > from && text_[to - 1] == ' ') --to;
    return view(from, to);
  }

 private:
  char* text_;
  int length_;
  int start_ = 0;
};

// hh:mm:ss around the first of exactly two colons.
void readFixedTime(TimeText& text, zev0::StampFields& fields) {
  int colon = text.find(':', text.start());
  int hourAt = colon - 2 < text.start() ? text.start() : colon - 2;
  fields.hour = text.numberAt(hourAt);
  fields.minute = text.numberAt(colon + 1);
  fields.second = text.numberAt(colon + 4);
  text.blank(hourAt, hourAt + 8);
}

// Hour, minute and second around the last two of three or more colons.
void readTimeAtLastColons(TimeText& text, zev0::StampFields& fields) {
  int last = text.findLast(':', text.length());
  int previous = text.findLast(':', last);
  int end;
  fields.second = text.digitRun(last + 1, &end);
  text.blank(last, end);
  fields.minute = text.digitRun(previous + 1, &end);
  text.blank(previous, end);
  int hourAt = previous;
  while (hourAt > text.start() && text.isDigitAt(hourAt - 1)) --hourAt;
  fields.hour = text.digitRun(hourAt, &end);
  text.blank(hourAt, end);
}

bool passedOverInWords(char c) {
  return std::isdigit(static_cast<unsigned char>(c)) || c == '.' || c == ':' || c == ' ';
}

// After a month name: a run of one or two digits is its day. Returns where the
// walk goes on.
int readDayAfterMonth(TimeText& text, int position, zev0::StampFields& fields) {
  while (text.at(position) == ' ') ++position;
  int end;
  int day = text.digitRun(position, &end);
  if (end - position == 1 || end - position == 2) {
    fields.day = day;
    text.blank(position, end);
  }
  return end;
}

// Weekday and month names; then the first number left is the year when it can be
// one. Without a month name, a text with a numeric date (its dots) leaves the
// year to that date: taken here, it would blank the date's first field.
void readWords(TimeText& text, zev0::StampFields& fields, bool hasNumericDate) {
  int position = text.start();
  while (position < text.length()) {
    if (passedOverInWords(text.at(position))) {
      ++position;
      continue;
    }
    int end = text.find(' ', position);
    if (end < 0) end = text.length();
    std::string_view word = text.view(position, end);
    int month = isWeekDayWord(word) ? 0 : LookUpMonthByString(word);
    text.blank(position, end);
    position = end;
    if (month != 0) {
      fields.month = month;
      position = readDayAfterMonth(text, position, fields);
    }
  }
  if (hasNumericDate && fields.month == 0) return;
  int yearAt = text.start();
  while (text.at(yearAt) == ' ') ++yearAt;
  int yearEnd;
  int year = text.digitRun(yearAt, &yearEnd);
  if (year > kLastCenturyYear) {
    fields.year = year;
    text.blank(yearAt, yearEnd);
  }
}

// Three numbers i, j and k separated by two separators; a name in place of one of
// them is the month.
void readNumericDate(const TimeText& text, char separator, zev0::StampFields& fields) {
  int first = text.find(separator, text.start());
  int second = first < 0 ? -1 : text.find(separator, first + 1);
  if (second < 0) return;
  int i = text.numberAt(text.start());
  int j = text.numberAt(first + 1);
  int k = text.numberAt(second + 1);
  if (i == 0) {
    fields.month = LookUpMonthByString(text.trimmed(text.start(), first));
    fields.day = j;
    fields.year = k;
  } else if (j == 0) {
    fields.month = LookUpMonthByString(text.trimmed(first + 1, second));
    if (i > kLastCenturyYear) {
      fields.year = i;
      fields.day = k;
    } else {
      fields.day = i;
      fields.year = k;
    }
  } else if (k == 0) {
    fields.month = LookUpMonthByString(text.trimmed(second + 1, text.length()));
    fields.year = i;
    fields.day = j;
  }
  if (fields.month != 0 || fields.day != 0 || fields.year != 0) return;
  if (i > kLastCenturyYear) {
    fields.year = i;
    fields.month = j;
    fields.day = k;
  } else {
    fields.year = k;
    fields.month = i > 12 ? j : i;
    fields.day = i > 12 ? i : j;
  }
}

zev0::StampFields parse(TimeText& text) {
  zev0::StampFields fields;
  int dots = text.count('.');
  int colons = text.count(':');
  int slashes = text.count('/');
  bool hasSlash = slashes > 0;
  bool hasBackslash = !hasSlash && text.count('\\') > 0;
  if (!hasSlash) slashes = text.count('\\');

  if (colons == 2) readFixedTime(text, fields);
  if (colons >= 3) readTimeAtLastColons(text, fields);
  bool numericDate = slashes == 2 || dots == 2;
  if (!hasSlash && !hasBackslash) readWords(text, fields, numericDate);
  if (fields.month == 0 && numericDate) readNumericDate(text, hasSlash ? '/' : hasBackslash ? '\\' : '.', fields);
  if (fields.year > 1900) fields.year -= 1900;
  return fields;
}

}  // namespace

char* ZEV0_StringToPlovenTime(const char* text) {
  if (text == nullptr) return nullptr;
  // The copy flag leaves the caller's text as it is.
  char* upper = ZEV0_ConvertStringToUpper(const_cast<char*>(text), 1);
  if (upper == nullptr) return nullptr;
  size_t length = std::strlen(upper);
  TimeText working(upper, length > INT_MAX ? INT_MAX : static_cast<int>(length));
  zev0::StampFields fields = parse(working);
  ZEV0_FreeStorage(&upper);

  char* stamp = static_cast<char*>(ZEV0_GetStorage(ZEV0_PLOVEN_TIME_BLOCK_SIZE));
  if (stamp == nullptr) return nullptr;
  std::memset(stamp, 0, ZEV0_PLOVEN_TIME_BLOCK_SIZE);
  zev0::WritePlovenTime(stamp, fields);
  return stamp;
}
