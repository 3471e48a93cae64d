// The framework's exception tests: a column's value against a predicate's value.
#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdint>
#include <cstring>
#include <string>

#include "pxraf.h"

namespace {

// 1 when cmp (negative, zero, positive: field against value) meets the operator.
int meets(_IntfOper oper, int cmp) {
  switch (oper) {
    case IntfOper_EQ: return cmp == 0;
    case IntfOper_NE: return cmp != 0;
    case IntfOper_GE: return cmp >= 0;
    case IntfOper_LE: return cmp <= 0;
    case IntfOper_LT: return cmp < 0;
    case IntfOper_GT: return cmp > 0;
    default: return 0;
  }
}

size_t withoutTrailingBlanks(const char* text, size_t length) {
  while (length > 0 && text[length - 1] == ' ') --length;
  return length;
}

// Decimal text as atol reads it (blanks, sign, digits), held to the range of long.
long decimalValue(const char* text) {
  while (std::isspace(static_cast<unsigned char>(*text))) ++text;
  bool negative = *text == '-';
  if (*text == '-' || *text == '+') ++text;
  long value = 0;
  for (; std::isdigit(static_cast<unsigned char>(*text)); ++text) {
    int digit = *text - '0';
    if (negative)
      value = value < (LONG_MIN + digit) / 10 ? LONG_MIN : value * 10 - digit;
    else
      value = value > (LONG_MAX - digit) / 10 ? LONG_MAX : value * 10 + digit;
  }
  return value;
}

}  // namespace

int Pxraf::IsException(_IntfOper oper, const char* field, const char* value, int length) {
  if (field == nullptr || value == nullptr || length < 0) return 0;
  size_t fieldLength = withoutTrailingBlanks(field, strnlen(field, static_cast<size_t>(length)));
  size_t valueLength = withoutTrailingBlanks(value, std::strlen(value));
  int cmp = std::memcmp(field, value, std::min(fieldLength, valueLength));
  if (cmp == 0) cmp = fieldLength < valueLength ? -1 : fieldLength > valueLength ? 1 : 0;
  return meets(oper, cmp);
}

int Pxraf::IsException(_IntfOper oper, long field, const char* value) {
  if (value == nullptr) return 0;
  long threshold = decimalValue(value);
  return meets(oper, field < threshold ? -1 : field > threshold ? 1 : 0);
}

int Pxraf::IsException(_IntfOper oper, const char* field, IntfIntegerWidth width, const char* value) {
  if (field == nullptr) return 0;
  if (width == IntfInteger_2) {
    int16_t number;
    std::memcpy(&number, field, sizeof number);
    return IsException(oper, static_cast<long>(number), value);
  }
  if (width == IntfInteger_4) {
    int32_t number;
    std::memcpy(&number, field, sizeof number);
    return IsException(oper, static_cast<long>(number), value);
  }
  return 0;
}

int Pxraf::IsException(_IntfOper oper, const char* field, const char* value) {
  return IsException(oper, field, IntfInteger_4, value);
}
