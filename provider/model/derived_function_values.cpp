#include "derived_function_values.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "trc1.h"
#include "zev0/storage.h"
#include "zev0/timestamp.h"

TRC_UNIT();

namespace zevp {

namespace {

// The hexadecimal number of `digits` characters at offset, or -1 when the text
// does not hold them all.
int hexAt(const std::string& text, size_t offset, size_t digits) {
  if (text.size() < offset + digits) return -1;
  std::string part = text.substr(offset, digits);
  return static_cast<int>(std::strtol(part.c_str(), nullptr, 16));
}

int orZero(int value) { return value < 0 ? 0 : value; }

}  // namespace

std::string PlovenTimeStampOf(const std::string& text) {
  char* stamp = ZEV0_StringToPlovenTime(text.c_str());
  std::string result = stamp != nullptr ? stamp : "";
  ZEV0_FreeStorage(&stamp);
  return result;
}

std::string NetWareTimeText(const std::string& hex) {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, hourDifference = 0;
  char zone = ' ';
  if (hex.size() > 7) {
    year = orZero(hexAt(hex, 0, 4));
    month = orZero(hexAt(hex, 4, 2));
    day = orZero(hexAt(hex, 6, 2));
  }
  if (hex.size() > 13) {
    hour = orZero(hexAt(hex, 8, 2));
    minute = orZero(hexAt(hex, 10, 2));
    second = orZero(hexAt(hex, 12, 2));
  }
  if (hex.size() > 16) {
    int indicator = hexAt(hex, 16, 2);
    // A byte that is no printable character (a pair missing, or 00) is no zone.
    if (indicator > 0 && std::isprint(indicator)) zone = static_cast<char>(indicator);
    hourDifference = orZero(hexAt(hex, 18, 2));
  }
  char text[96];
  if (zone != ' ')
    std::snprintf(text, sizeof text, "%4.4d/%2.2d/%2.2d %2.2d:%2.2d:%2.2d %c%d", year, month, day, hour, minute,
                  second, zone, hourDifference);
  else if (hour != 0 || minute != 0 || second != 0)
    std::snprintf(text, sizeof text, "%4.4d/%2.2d/%2.2d %2.2d:%2.2d:%2.2d", year, month, day, hour, minute, second);
  else
    std::snprintf(text, sizeof text, "%4.4d/%2.2d/%2.2d", year, month, day);
  TRC(TRC_DETAIL, "Output NetWare Time %s Length %zu", text, std::strlen(text));
  return text;
}

bool UTCTimeStamp(const char* bytes, size_t size, bool localTime, std::string* stamp) {
  if (size != sizeof(int32_t)) {
    TRC(TRC_ERROR, "Input time integer size %zu invalid. Time integer size should be %zu", size, sizeof(int32_t));
    return false;
  }
  int32_t seconds;
  std::memcpy(&seconds, bytes, sizeof seconds);
  time_t time = seconds;
  tm broken{};
  // The re-entrant forms: every source thread may convert at once.
  if ((localTime ? localtime_r(&time, &broken) : gmtime_r(&time, &broken)) == nullptr) {
    TRC(TRC_ERROR, "*****Error: time %d cannot be broken down", seconds);
    return false;
  }
  char text[64];
  std::snprintf(text, sizeof text, "%03d%02d%02d%02d%02d%02d000", broken.tm_year, broken.tm_mon + 1,
                broken.tm_mday, broken.tm_hour, broken.tm_min, broken.tm_sec);
  *stamp = text;
  return true;
}

}  // namespace zevp
