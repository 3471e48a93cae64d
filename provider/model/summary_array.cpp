// Taking rows into a summary source's array, and when its interval has ended.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "attribute_entry.h"
#include "bsv1.h"
#include "dp_log_numbers.h"
#include "engine_routines.h"
#include "source_entry.h"
#include "summary_array.h"
#include "summary_block.h"
#include "summary_data.h"
#include "summary_definition.h"
#include "summary_stamp.h"
#include "table_entry.h"
#include "trc1.h"
#include "zev0/storage.h"

TRC_UNIT();

namespace {

constexpr int64_t kPageSize = 4096;

// The row's time: its time stamp attribute's value, or now when that holds no
// valid stamp.
void rowTime(const SourceEntry* source, char* stamp, zevp::SummaryStampParts* parts) {
  const AttributeEntry* attribute = ZEVP_SummaryTimeStampAttribute(source);
  if (attribute != nullptr && zevp::ReadSummaryStamp(attribute->Value(), attribute->ActualValSize, parts)) {
    std::memcpy(stamp, attribute->Value(), ZEV0_PLOVEN_TIME_LENGTH);
    stamp[ZEV0_PLOVEN_TIME_LENGTH] = '\0';
    return;
  }
  TRC(TRC_DETAIL, "No value provided in LocalTimeStamp attribute. Obtaining current time");
  ZEV0_GetPlovenTime(stamp);
  zevp::ReadSummaryStamp(stamp, ZEV0_PLOVEN_TIME_LENGTH, parts);
}

// The interval in hand begins with this row.
void beginInterval(SummaryManagementBlock* block, const char* stamp, const zevp::SummaryStampParts& row) {
  std::memcpy(block->IntervalStartStamp, stamp, sizeof block->IntervalStartStamp);
  block->StartYear = row.year;
  block->StartMonth = row.month;
  block->StartDay = row.day;
  block->StartHour = row.hour;
  block->IntervalEndTime = zevp::SummaryIntervalEnd(block, row.hour, row.SecondsOfDay(), block->IntervalEndTime);
  block->IntervalStartTime = zevp::SummaryClockSeconds();
  TRC(TRC_DETAIL, "Begin interval timestamp <%s> SummaryInterval %d IntervalEndTime %d", block->IntervalStartStamp,
      block->SummaryInterval, block->IntervalEndTime);
}

// Room for one more entry: the capacity grows by the allocation unit, and by one
// more entry when the rest of the last page holds it. False without storage.
bool makeRoom(SummaryManagementBlock* block, const SourceEntry* source) {
  if (block->UsedEntries < block->Capacity) return true;
  int64_t width = block->SummaryArrayWidth;
  int64_t capacity = static_cast<int64_t>(block->Capacity) + block->AllocationUnit;
  int64_t bytes = capacity * width;
  if ((kPageSize - bytes % kPageSize) % kPageSize >= width) {
    ++capacity;
    bytes += width;
  }
  char* storage = bytes <= INT32_MAX ? static_cast<char*>(ZEV0_GetStorage(static_cast<int32_t>(bytes))) : nullptr;
  if (storage == nullptr) {
    TRC(TRC_ERROR, "*****Error: Unable to expand summary storage array. Summarization process stopped");
    zevp::Routines().sendDPlogMessage(nullptr, ZEVP_DPLOG_SUMMARY_CANNOT_GROW, source->Table->TableName, nullptr, nullptr,
                                      nullptr, nullptr);
    return false;
  }
  TRC(TRC_DETAIL, "Increasing summary array from %d to %d. Total storage %d", block->Capacity,
      static_cast<int>(capacity), static_cast<int>(bytes));
  if (block->Array != nullptr) std::memcpy(storage, block->Array, static_cast<size_t>(block->UsedEntries * width));
  // New storage is zeroed: every new entry's key area ends in its NUL already.
  ZEV0_FreeStorage(&block->Array);
  block->Array = storage;
  block->Capacity = static_cast<int32_t>(capacity);
  return true;
}

int32_t totalValue(const AttributeEntry* attribute) {
  if (attribute->ActualValSize == 4) {
    int32_t value;
    std::memcpy(&value, attribute->Value(), sizeof value);
    return value;
  }
  if (attribute->ActualValSize == 2) {
    int16_t value;
    std::memcpy(&value, attribute->Value(), sizeof value);
    return value;
  }
  return 0;
}

void fillEntry(SummaryManagementBlock* block, const SourceEntry* source, char* entry) {
  const int32_t keyWidth = block->SummaryKeyDataWidth - 1;
  std::memset(entry, ' ', static_cast<size_t>(keyWidth));
  entry[keyWidth] = '\0';
  int32_t offset = 0;
  int32_t total = 0;
  bool keyed = false;
  for (const AttributeEntry* attribute = zevp::FirstInSummaryOrder(source); attribute != nullptr;
       attribute = zevp::NextInSummaryOrder(source, attribute)) {
    if (attribute->AttrSortKey > 0) {
      keyed = true;
      int32_t room = std::max(keyWidth - offset, 0);
      int32_t length = std::min<int32_t>({attribute->ActualValSize, attribute->MaxValSize, room});
      std::memcpy(entry + offset, attribute->Value(), static_cast<size_t>(length));
      offset += std::min<int32_t>(attribute->MaxValSize, room);
    } else if (attribute->AttrSortKey < 0 && total < block->TotalCount) {
      int32_t value = totalValue(attribute);
      std::memcpy(entry + block->SummaryKeyDataWidth + 4 * total++, &value, sizeof value);
    }
  }
  if (!keyed) std::memcpy(entry, ZEVP_SUMMARY_NO_KEY, std::min<size_t>(ZEVP_SUMMARY_NO_KEY_WIDTH, keyWidth));
}

bool everyKeyHasAValue(const SourceEntry* source) {
  int keys = 0;
  int valid = 0;
  for (const AttributeEntry* attribute = source->FirstAttribute; attribute != nullptr; attribute = attribute->next) {
    if (attribute->AttrSortKey <= 0) continue;
    ++keys;
    if (attribute->ActualValSize > 0) ++valid;
  }
  if (keys <= valid) return true;
  TRC(TRC_DETAIL, "KeyCount %d > ValidKeyValueCount %d, Record bypassed for summarization", keys, valid);
  return false;
}

}  // namespace

namespace zevp {

int64_t SummaryClockSeconds() {
  BSV1_Time now;
  BSV1_GetTime(&now);
  return now.seconds;
}

int32_t SummaryIntervalEnd(const SummaryManagementBlock* block, int32_t hour, int32_t seconds, int32_t previous) {
  int32_t interval = block->SummaryInterval;
  if (interval == ZEVP_SUMMARY_DAY) return ZEVP_SUMMARY_DAY - 1;
  if (interval <= ZEVP_SUMMARY_HOUR) return std::min(seconds + interval, hour * ZEVP_SUMMARY_HOUR + 3599);
  return previous;
}

bool SummaryIntervalOpen(const SummaryManagementBlock* block, const SourceEntry* source) {
  return block->CurrentYear == block->StartYear && block->CurrentMonth == block->StartMonth &&
         block->CurrentDay == block->StartDay && block->CurrentSeconds <= block->IntervalEndTime &&
         source->EndBatchSummary == 0;
}

AttributeEntry* FirstInSummaryOrder(const SourceEntry* source) {
  return source->FirstInSequence != nullptr ? source->FirstInSequence : source->FirstAttribute;
}

AttributeEntry* NextInSummaryOrder(const SourceEntry* source, const AttributeEntry* attribute) {
  return source->FirstInSequence != nullptr ? attribute->NextInSequence : attribute->next;
}

}  // namespace zevp

void ZEVP_UpdateSummaryDataArray(SourceEntry* source) {
  if (source == nullptr || source->Summary == nullptr) return;
  BSV1_GetLock(&source->DataLock);
  SummaryManagementBlock* block = source->Summary;
  if (!everyKeyHasAValue(source)) {
    BSV1_ReleaseLock(&source->DataLock);
    return;
  }
  BSV1_GetLock(&block->Lock);
  if (block->SummaryArrayWidth <= 0 || block->SummaryKeyDataWidth <= 0) {
    TRC(TRC_ERROR, "*****Error: summary of source @%p has no array layout, row not summarised",
        static_cast<void*>(source));
  } else {
    char stamp[ZEV0_PLOVEN_TIME_BLOCK_SIZE] = {};
    zevp::SummaryStampParts row{};
    rowTime(source, stamp, &row);
    bool starts = block->Capacity == 0;
    if (makeRoom(block, source)) {
      if (starts) beginInterval(block, stamp, row);
      std::memcpy(block->CurrentStamp, stamp, sizeof block->CurrentStamp);
      block->CurrentYear = row.year;
      block->CurrentMonth = row.month;
      block->CurrentDay = row.day;
      block->CurrentHour = row.hour;
      block->CurrentSeconds = row.SecondsOfDay();
      fillEntry(block, source, block->Array + static_cast<int64_t>(block->UsedEntries) * block->SummaryArrayWidth);
      block->LastUpdateTime = zevp::SummaryClockSeconds();
      ++block->UsedEntries;
    }
  }
  BSV1_ReleaseLock(&block->Lock);
  BSV1_ReleaseLock(&source->DataLock);
}

int ZEVP_CheckDataSummaryReady(SourceEntry* source) {
  if (source == nullptr || source->Summary == nullptr) return 1;
  SummaryManagementBlock* block = source->Summary;
  BSV1_GetLock(&block->Lock);
  bool open = zevp::SummaryIntervalOpen(block, source);
  if (open)
    TRC(TRC_DETAIL, "Summary Data NOT Ready, CurrTime: %d IntervalEndTime: %d EndBatchSummary: %d",
        block->CurrentSeconds, block->IntervalEndTime, source->EndBatchSummary);
  else
    TRC(TRC_DETAIL, "Summary Data Ready, CurrTime: %d IntervalEndTime: %d EndBatchSummary: %d",
        block->CurrentSeconds, block->IntervalEndTime, source->EndBatchSummary);
  BSV1_ReleaseLock(&block->Lock);
  return open ? 0 : 1;
}

int ZEVP_SummaryIntervalEnded(SourceEntry* source, int64_t now, int64_t ageLimit) {
  if (source == nullptr || source->Summary == nullptr) return 0;
  SummaryManagementBlock* block = source->Summary;
  BSV1_GetLock(&block->Lock);
  int64_t age = now - block->IntervalStartTime;
  bool ended = block->UsedEntries > 0 && source->EndBatchSummary == 0 && block->IntervalStartTime > 0 &&
               (age > block->SummaryInterval || (block->SummaryBatchMode != 0 && age >= ageLimit));
  if (ended) source->EndBatchSummary = 1;
  BSV1_ReleaseLock(&block->Lock);
  return ended ? 1 : 0;
}
