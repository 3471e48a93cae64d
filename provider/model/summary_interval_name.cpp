// The name of a summary interval, as the row's _Interval_Unit_Name shows it.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

#include "attribute_entry.h"
#include "summary_block.h"
#include "summary_data.h"
#include "summary_stamp.h"
#include "zev0/timestamp.h"

namespace {

int32_t stampHour(const char* stamp) {
  char tens = stamp[zevp::kStampHour];
  char ones = stamp[zevp::kStampHour + 1];
  if (!std::isdigit(static_cast<unsigned char>(tens)) || !std::isdigit(static_cast<unsigned char>(ones))) return 0;
  return (tens - '0') * 10 + (ones - '0');
}

std::string formatted(const char* format, int32_t value) {
  char text[32];
  int length = std::snprintf(text, sizeof text, format, value);
  return std::string(text, static_cast<size_t>(std::max(length, 0)));
}

std::string hourName(int32_t hour) {
  if (hour < 12) return formatted("%d AM", hour);
  return formatted("%d PM", hour == 12 ? 12 : hour - 12);
}

}  // namespace

void ZEVP_LoadIntervalNameToAttr(const SummaryManagementBlock* block, AttributeEntry* attribute,
                                 const AttributeEntry* timeStamp) {
  if (block == nullptr || attribute == nullptr) return;
  const char* stamp = timeStamp != nullptr && timeStamp->ActualValSize >= ZEV0_PLOVEN_TIME_LENGTH
                          ? timeStamp->Value()
                          : block->IntervalStartStamp;
  const int32_t interval = block->SummaryInterval;
  std::string name;
  if (interval == ZEVP_SUMMARY_DAY) {
    char weekday[16] = {};
    int length = ZEV0_PlovenTimeToWeekDay(stamp, weekday);
    name.assign(weekday, static_cast<size_t>(std::clamp(length, 0, static_cast<int>(sizeof weekday))));
  } else if (interval == ZEVP_SUMMARY_HOUR) {
    name = hourName(stampHour(stamp));
  } else if (interval >= ZEVP_SUMMARY_MINUTE && interval < ZEVP_SUMMARY_HOUR) {
    name = formatted("%d Minute(s)", interval / ZEVP_SUMMARY_MINUTE);
  } else if (interval > ZEVP_SUMMARY_HOUR) {
    name.assign(attribute->MaxValSize, ' ');
  } else {
    name = formatted("%d Seconds", interval);
  }
  size_t kept = std::min<size_t>(name.size(), attribute->MaxValSize);
  std::memcpy(attribute->Value(), name.data(), kept);
  attribute->Value()[kept] = '\0';
  attribute->ActualValSize = static_cast<uint16_t>(kept);
}
