#include "env_limit.h"

#include <cctype>
#include <climits>

#include "trc1.h"

TRC_UNIT();

int decimalAsAtoi(const char* text, bool* outOfRange) {
  bool held = false;
  long long value = 0;
  if (text != nullptr) {
    while (std::isspace(static_cast<unsigned char>(*text))) ++text;
    bool negative = *text == '-';
    if (*text == '-' || *text == '+') ++text;
    for (; std::isdigit(static_cast<unsigned char>(*text)) && !held; ++text) {
      value = value * 10 + (*text - '0');
      held = value > static_cast<long long>(INT_MAX) + 1;
    }
    if (negative) value = -value;
    if (held || value > INT_MAX) {
      held = true;
      value = negative ? INT_MIN : INT_MAX;
    }
  }
  if (outOfRange != nullptr) *outOfRange = held;
  return static_cast<int>(value);
}

int sizingLimit(const char* name, const char* text, int defaultValue) {
  if (text == nullptr) return defaultValue;
  bool outOfRange = false;
  int value = decimalAsAtoi(text, &outOfRange);
  if (outOfRange || value < 1) {
    TRC(TRC_ERROR, "Warning: %s <%s> is not a positive number. Using %d.", name, text, defaultValue);
    return defaultValue;
  }
  return value;
}

char switchValue(const char* text, char defaultValue) {
  return text != nullptr && text[0] != '\0' ? text[0] : defaultValue;
}
