#include "reply_reader.h"

#include <cctype>
#include <cstring>

namespace zevpapi {

namespace {

// More digits than a status code ever has: not a status.
constexpr int kMostStatusDigits = 9;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

int32_t NumberAt(const char* text, const char* end) {
  while (text < end && std::isspace(static_cast<unsigned char>(*text))) ++text;
  bool negative = text < end && *text == '-';
  if (text < end && (*text == '-' || *text == '+')) ++text;
  uint32_t value = 0;
  for (; text < end && IsDigit(*text); ++text) value = value * 10 + static_cast<uint32_t>(*text - '0');
  return static_cast<int32_t>(negative ? 0u - value : value);
}

ReplyReading ReadReply(const char* reply, int length) {
  ReplyReading reading;
  if (reply == nullptr || length < 1 || !IsDigit(reply[0])) return reading;
  const char* end = reply + length;
  const char* digit = reply;
  int status = 0;
  for (; digit < end && IsDigit(*digit); ++digit) {
    if (digit - reply == kMostStatusDigits) return reading;
    status = status * 10 + (*digit - '0');
  }
  reading.hasStatus = true;
  reading.status = status;
  if (const void* blank = std::memchr(reply, ' ', static_cast<size_t>(length))) {
    reading.hasStamp = true;
    reading.stamp = NumberAt(static_cast<const char*>(blank) + 1, end);
  }
  if (const void* mark = std::memchr(reply, '#', static_cast<size_t>(length))) {
    int offset = static_cast<int>(static_cast<const char*>(mark) - reply) + 1;
    if (length - offset > 0) {
      reading.dataOffset = offset;
      reading.dataLength = length - offset;
    }
  }
  return reading;
}

}  // namespace zevpapi
