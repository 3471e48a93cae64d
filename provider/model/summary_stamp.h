// The agent time stamps of summaries, read and rewritten by place:
// YYYMMDDhhmmssnnn (years since 1900, month, day, hour, minute, second,
// counter).
#pragma once

#include <cstdint>

namespace zevp {

// Places of the parts in a stamp.
constexpr int kStampDay = 5;
constexpr int kStampHour = 7;
constexpr int kStampMinute = 9;
constexpr int kStampSecond = 11;
// Where a rewrite's zeros end: after the first counter digit, or the stamp's end.
constexpr int kStampFirstCounterDigitEnd = 14;
constexpr int kStampEnd = 16;

struct SummaryStampParts {
  int32_t year;  // since 1900
  int32_t month;
  int32_t day;
  int32_t hour;
  int32_t minute;
  int32_t second;
  int32_t SecondsOfDay() const { return hour * 3600 + minute * 60 + second; }
};

// True when the first `length` bytes (at least 16) begin with a valid stamp:
// 16 digits, month 1-12, day 1-31, hour 0-23, minute and second 0-59.
bool ReadSummaryStamp(const char* text, int32_t length, SummaryStampParts* parts);

// Writes the two digits of value at the place and zeros from after them up to
// `zerosEnd` (exclusive) in a 16-character stamp.
void SetStampPart(char* stamp, int place, int32_t value, int zerosEnd);

// Zeros from the place up to `zerosEnd` (exclusive).
void ZeroStampFrom(char* stamp, int place, int zerosEnd);

}  // namespace zevp
