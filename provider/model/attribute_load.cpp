#include "attribute_load.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "attribute_entry.h"
#include "integer_values.h"
#include "rate_attributes.h"
#include "trc1.h"
#include "validation_messages.h"

TRC_UNIT();

namespace {

bool isDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }
bool isSign(char c) { return c == '+' || c == '-'; }

// Data warnings show while the unit's error and detail classes are both on.
void dataWarning(int message, const std::string& insert) {
  if (TRC_ON(TRC_ERROR) && TRC_ON(TRC_DETAIL)) ZEVP_DisplayValidationMessage(message, insert.c_str());
}

// Keeps at most limit characters of the field, the rightmost ones for a
// left-truncating attribute, terminated.
void storeText(AttributeEntry* attribute, const char* field, int32_t length, int32_t limit) {
  int32_t kept = std::max(0, std::min(length, limit));
  if (length > kept) TRC(TRC_DETAIL, "*** attribute data size truncated from %d to %d", length, kept);
  const char* from = attribute->LeftTruncate != 0 ? field + (length - kept) : field;
  std::memcpy(attribute->Value(), from, static_cast<size_t>(kept));
  attribute->Value()[kept] = '\0';
  attribute->ActualValSize = static_cast<uint16_t>(kept);
}

// Where the number of a numeric text starts: the first digit, a sign that no
// other sign follows, or a '.' that no other '.' follows; -1 when none.
int32_t numberStart(const char* text, int32_t length) {
  for (int32_t i = 0; i < length; ++i) {
    char next = i + 1 < length ? text[i + 1] : '\0';
    if (isDigit(text[i])) return i;
    if (isSign(text[i]) && !isSign(next)) return i;
    if (text[i] == '.' && next != '.') return i;
  }
  return -1;
}

// The end of the number from start: digits, one '.', a leading sign, and ','
// as a separator with at least three characters of the field behind it.
int32_t numberEnd(const char* text, int32_t length, int32_t start) {
  bool dotSeen = false;
  int32_t i = start;
  for (; i < length; ++i) {
    char c = text[i];
    if (isDigit(c)) continue;
    if (c == ',' && i != start && i < length - 3) continue;
    if (c == '.' && !dotSeen) {
      dotSeen = true;
      continue;
    }
    if (isSign(c) && i == start) continue;
    break;
  }
  return i;
}

void loadNumericText(AttributeEntry* attribute, const char* field, int32_t length) {
  storeText(attribute, field, length, attribute->MaxValSize);
  char* value = attribute->Value();
  int32_t size = attribute->ActualValSize;
  int32_t start = numberStart(value, size);
  if (start < 0) return;  // no number: the text stays as it is
  int32_t end = numberEnd(value, size, start);
  std::memmove(value, value + start, static_cast<size_t>(end - start));
  std::memset(value + (end - start), 0, static_cast<size_t>(size - (end - start)) + 1);
  attribute->ActualValSize = static_cast<uint16_t>(end - start);
  TRC(TRC_DETAIL, "Recalculated Attribute size: %d for AttrName <%s>", attribute->ActualValSize, attribute->AttrName);
}

void loadTime(AttributeEntry* attribute, const char* field, int32_t length) {
  while (length > 0 && *field == ' ') ++field, --length;
  char* value = attribute->Value();
  std::memset(value, '0', attribute->MaxValSize);
  value[attribute->MaxValSize] = '\0';
  attribute->ActualValSize = attribute->MaxValSize;
  if (std::all_of(field, field + length, isDigit)) {
    std::memcpy(value, field, static_cast<size_t>(std::min<int32_t>(length, attribute->MaxValSize)));
    return;
  }
  std::string text(field, static_cast<size_t>(length));
  TRC(TRC_DETAIL, "Invalid Time type input value <%s> size %d in AttrName <%s>", text.c_str(), length,
      attribute->AttrName);
  if (TRC_ON(TRC_DETAIL)) ZEVP_DisplayValidationMessage(ZEVPV14W, text.c_str());
}

// The decimal number at the start of the text; a digit run too long for 32 bits
// gives the nearest 32-bit value.
int32_t leadingInteger(const char* text, int32_t length, bool signAllowed) {
  int32_t i = 0;
  bool negative = false;
  if (signAllowed && i < length && isSign(text[i])) negative = text[i++] == '-';
  int64_t magnitude = 0;
  for (; i < length && isDigit(text[i]); ++i) magnitude = std::min<int64_t>(magnitude * 10 + (text[i] - '0'), INT64_C(1) << 40);
  return zevp::ClampToInt32(static_cast<double>(negative ? -magnitude : magnitude));
}

// The field's integer, 0 after a data warning when the field does not begin with
// a digit (or, on a gauge, a '-'). Names beginning with '_' skip that test.
int32_t fieldInteger(const AttributeEntry* attribute, const char* field, int32_t length) {
  while (length > 0 && *field == ' ') ++field, --length;
  bool internalName = attribute->AttrName[0] == '_';
  if (!internalName) {
    char first = length > 0 ? *field : '\0';
    if (!isDigit(first) && !(first == '-' && attribute->AttrType == ZEVP_ATTR_GAUGE)) {
      std::string text(field, static_cast<size_t>(length));
      TRC(TRC_DETAIL, "Attribute %s input value is not numeric %s", attribute->AttrName, text.c_str());
      dataWarning(ZEVPV12W, text);
      return 0;
    }
  }
  return leadingInteger(field, length, internalName || attribute->AttrType == ZEVP_ATTR_GAUGE);
}

int32_t heldToMaximum(const AttributeEntry* attribute, int32_t value) {
  int64_t magnitude = value < 0 ? -static_cast<int64_t>(value) : value;
  if (value == 0 || magnitude <= attribute->MaxSize) return value;
  int32_t used = value < 0 ? -attribute->MaxSize : attribute->MaxSize;
  TRC(TRC_DETAIL, "Attribute %s value exceeded maximum specification. Max %d used", attribute->AttrName,
      attribute->MaxSize);
  char insert[ZEVP_ATTR_NAME_MAX + 32];
  std::snprintf(insert, sizeof insert, "%s %d -> %d", attribute->AttrName, value, used);
  dataWarning(ZEVPV09W, insert);
  return used;
}

bool isRate(char type) {
  return type == ZEVP_ATTR_RATE_CHANGE || type == ZEVP_ATTR_RATE_DELTA || type == ZEVP_ATTR_RATE_PERCENT;
}

void loadInteger(AttributeEntry* attribute, const char* field, int32_t length) {
  int32_t value = fieldInteger(attribute, field, length);
  if (attribute->AttrType == ZEVP_ATTR_SWITCH) {
    // A switch is on or off; the test comes first, or the maximum of 1 would turn 2 into on.
    if (value != 0 && value != 1) {
      dataWarning(ZEVPV13E, std::to_string(value));
      value = 0;
    }
  } else {
    value = heldToMaximum(attribute, value);
  }
  if (attribute->AttrType == ZEVP_ATTR_COUNTER && value < 0) {
    dataWarning(ZEVPV11W, std::to_string(value));
    value = 0;
  }
  if (isRate(attribute->AttrType))
    LoadRateAttribute(attribute, value);
  else
    zevp::StoreInteger(attribute, value);
}

}  // namespace

void LoadAttrBucket(AttributeEntry* attribute, char* field, int32_t length) {
  length = std::max(length, 0);
  switch (attribute->AttrType) {
    case ZEVP_ATTR_DISPLAY:
      storeText(attribute, field, length, std::min<int32_t>(std::max(attribute->MaxSize, 0), attribute->MaxValSize));
      break;
    case ZEVP_ATTR_OBJECT:
    case ZEVP_ATTR_RECORD:
    case ZEVP_ATTR_LAST:
      storeText(attribute, field, length, attribute->MaxValSize);
      break;
    case ZEVP_ATTR_NUMERIC_TEXT:
      loadNumericText(attribute, field, length);
      break;
    case ZEVP_ATTR_TIME:
      loadTime(attribute, field, length);
      break;
    case ZEVP_ATTR_AVERAGE:
    case ZEVP_ATTR_SWITCH:
    case ZEVP_ATTR_GAUGE:
    case ZEVP_ATTR_COUNTER:
    case ZEVP_ATTR_RATE_CHANGE:
    case ZEVP_ATTR_RATE_DELTA:
    case ZEVP_ATTR_RATE_PERCENT:
      loadInteger(attribute, field, length);
      break;
    case ZEVP_ATTR_SKIP:
      break;  // the field is consumed, nothing kept
    default:
      TRC(TRC_ERROR, "*****Error: attribute %s has the unknown type %c, field ignored", attribute->AttrName,
          attribute->AttrType);
      break;
  }
}
