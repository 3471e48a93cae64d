// The summary block of a //SUMMARY group: the group keeps one with the
// statement's settings, and each of its sources one of its own that holds the
// interval in hand and the array of the rows taken in it.
//
// An array entry is the key area (each key attribute's value in its value size,
// blank-filled, in summary order; "9999999999999999" in a group without keys),
// a NUL, then a 4-byte signed integer for each total attribute.
#pragma once

#include <cstdint>

#include "bsv1.h"
#include "zev0/timestamp.h"

constexpr int32_t ZEVP_SUMMARY_MINUTE = 60;
constexpr int32_t ZEVP_SUMMARY_HOUR = 3600;
constexpr int32_t ZEVP_SUMMARY_DAY = 86400;
// Slots of IntervalStatus: minutes 0-59, hours 0-23 or days 1-31.
constexpr int ZEVP_SUMMARY_SLOTS = 61;
// The key area of a group without keys.
constexpr char ZEVP_SUMMARY_NO_KEY[] = "9999999999999999";
constexpr int32_t ZEVP_SUMMARY_NO_KEY_WIDTH = 16;

struct SummaryManagementBlock {
  // First: the file server's start reads the batch flag as the block's first word.
  int32_t SummaryBatchMode;
  int32_t TotalCount;  // total attributes (SKEY=SUM)

  char IntervalStartStamp[ZEV0_PLOVEN_TIME_LENGTH + 1];
  char CurrentStamp[ZEV0_PLOVEN_TIME_LENGTH + 1];  // of the row taken last
  int32_t SummaryInterval;  // seconds
  int32_t IntervalEndTime;  // seconds after midnight
  int32_t StartYear;        // since 1900
  int32_t StartMonth;
  int32_t StartDay;
  int32_t StartHour;
  int32_t CurrentYear;
  int32_t CurrentMonth;
  int32_t CurrentDay;
  int32_t CurrentHour;
  int32_t CurrentSeconds;  // after midnight
  int32_t IntervalStatusLimit;
  uint8_t IntervalStatus[ZEVP_SUMMARY_SLOTS];  // 1: a row was sent for the slot

  // The array.
  int32_t AllocationUnit;  // entries added per growth
  int32_t UsedEntries;
  int32_t Capacity;
  int32_t SummaryArrayWidth;    // bytes of one entry
  int32_t SummaryKeyDataWidth;  // the key area and its NUL; the group's block: 0 until its keys are counted
  int32_t SummaryTotalWidth;    // 4 per total
  int64_t LastUpdateTime;       // clock seconds of the last row taken
  int64_t IntervalStartTime;    // clock seconds at which the interval in hand began
  char* Array;

  BSV1_Lock Lock;
};

// A new block: its interval from the requested seconds (0 or less: the default
// interval, ZEVP_SUMMARY_INTERVAL or 300, as it stands; otherwise normalised to
// 60 s to a day, in whole minutes that divide an hour or whole hours that divide
// a day), in batch mode for a BATCH statement or when ZEVP_SUMMARY_BATCH_MODE
// begins with Y. The environment is read when the first block is made. Null
// when no storage can be had.
SummaryManagementBlock* ZEVP_CreateSummaryManagementBlock(int32_t interval, int batch);

// A source's block made from its group's: the same interval, batch mode and key width.
SummaryManagementBlock* ZEVP_CreateSourceSummaryBlock(const SummaryManagementBlock* group);

// Frees the array (under the block's lock), the lock and the block.
void ZEVP_ReleaseSummaryManagementBlock(SummaryManagementBlock* block);

// A source taken offline keeps no rows: under the block's lock the array is
// freed and the used entries, capacity and time of the last update become 0.
void ZEVP_ResetSummaryManagementBlock(SummaryManagementBlock* block);
