#include "control_reply.h"

#include <algorithm>
#include <cstring>

namespace zevpapi {

namespace {

constexpr int kInterimCode = 99;
// More digits than a code ever has: no code.
constexpr int kMostCodeDigits = 9;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The first offset from `from` that is not a blank (or the end).
int SkipBlanks(const char* text, int from, int end) {
  while (from < end && text[from] == ' ') ++from;
  return from;
}

// The end of the token that starts at `from`.
int TokenEnd(const char* text, int from, int end) {
  while (from < end && text[from] != ' ') ++from;
  return from;
}

}  // namespace

ControlReplyReading ReadControlReply(const char* reply, int length) {
  ControlReplyReading reading;
  if (reply == nullptr || length < 1) return reading;
  const int end = static_cast<int>(strnlen(reply, static_cast<size_t>(length)));
  const int first = SkipBlanks(reply, 0, end);
  if (first == end || !IsDigit(reply[first])) return reading;
  int code = 0;
  for (int at = first; at < end && IsDigit(reply[at]); ++at) {
    if (at - first == kMostCodeDigits) return reading;
    code = code * 10 + (reply[at] - '0');
  }
  reading.code = code;
  reading.kind = code == kInterimCode ? ControlReplyReading::kInterim : ControlReplyReading::kFinal;
  const int second = SkipBlanks(reply, TokenEnd(reply, first, end), end);
  reading.parameterOffset = second;
  reading.parameterLength = TokenEnd(reply, second, end) - second;
  return reading;
}

void CopyReplyParameter(const char* reply, const ControlReplyReading& reading, char* replyParm) {
  if (replyParm == nullptr || reading.parameterLength < 1) return;
  size_t length = static_cast<size_t>(std::min(reading.parameterLength, kLongestReplyParameter));
  std::memcpy(replyParm, reply + reading.parameterOffset, length);
  replyParm[length] = '\0';
}

}  // namespace zevpapi
