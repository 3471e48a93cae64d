#include "summary_stamp.h"

#include <cctype>

#include "zev0/timestamp.h"

namespace zevp {

namespace {

int32_t number(const char* text, int from, int count) {
  int32_t value = 0;
  for (int i = from; i < from + count; ++i) value = value * 10 + (text[i] - '0');
  return value;
}

}  // namespace

bool ReadSummaryStamp(const char* text, int32_t length, SummaryStampParts* parts) {
  if (text == nullptr || length < ZEV0_PLOVEN_TIME_LENGTH) return false;
  for (int i = 0; i < ZEV0_PLOVEN_TIME_LENGTH; ++i)
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) return false;
  SummaryStampParts read{number(text, 0, 3),           number(text, 3, 2),
                         number(text, kStampDay, 2),   number(text, kStampHour, 2),
                         number(text, kStampMinute, 2), number(text, kStampSecond, 2)};
  if (read.month < 1 || read.month > 12 || read.day < 1 || read.day > 31 || read.hour > 23 || read.minute > 59 ||
      read.second > 59)
    return false;
  *parts = read;
  return true;
}

void SetStampPart(char* stamp, int place, int32_t value, int zerosEnd) {
  stamp[place] = static_cast<char>('0' + (value / 10) % 10);
  stamp[place + 1] = static_cast<char>('0' + value % 10);
  ZeroStampFrom(stamp, place + 2, zerosEnd);
}

void ZeroStampFrom(char* stamp, int place, int zerosEnd) {
  for (int i = place; i < zerosEnd; ++i) stamp[i] = '0';
}

}  // namespace zevp
