#include "summary_block.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "trc1.h"
#include "zev0/env.h"
#include "zev0/storage.h"

TRC_UNIT();

namespace {

constexpr int32_t kDefaultInterval = 300;
constexpr int32_t kInitialAllocationUnit = 100;

struct SummarySettings {
  int32_t defaultInterval = kDefaultInterval;
  bool batchMode = false;
};

const SummarySettings& settings() {
  static SummarySettings read;
  static std::once_flag once;
  std::call_once(once, [] {
    const char* interval = ZEV0_GetEnv("ZEVP_SUMMARY_INTERVAL", nullptr);
    int32_t seconds = interval != nullptr ? std::atoi(interval) : 0;
    read.defaultInterval = seconds >= 1 ? seconds : kDefaultInterval;
    const char* batch = ZEV0_GetEnv("ZEVP_SUMMARY_BATCH_MODE", nullptr);
    read.batchMode = batch != nullptr && std::toupper(static_cast<unsigned char>(batch[0])) == 'Y';
  });
  return read;
}

bool oneOf(int32_t value, std::initializer_list<int32_t> values) {
  for (int32_t candidate : values)
    if (candidate == value) return true;
  return false;
}

int32_t adjusted(int32_t interval) {
  TRC(TRC_ERROR, "*****Error: Summary interval adjusted to %d", interval);
  return interval;
}

// Intervals divide an hour in whole minutes or a day in whole hours.
int32_t normalised(int32_t requested) {
  if (requested <= 0) return settings().defaultInterval;
  if (requested > ZEVP_SUMMARY_DAY) {
    TRC(TRC_ERROR, "*****Error: Summary interval lowered to maximum 86400 seconds from %d seconds", requested);
    return ZEVP_SUMMARY_DAY;
  }
  if (requested < ZEVP_SUMMARY_MINUTE) {
    TRC(TRC_ERROR, "*****Error: Summary interval increased to minimum 60 seconds from %d seconds", requested);
    return ZEVP_SUMMARY_MINUTE;
  }
  if (requested <= ZEVP_SUMMARY_HOUR) {
    int32_t minutes = requested / ZEVP_SUMMARY_MINUTE;
    if (oneOf(minutes, {1, 2, 3, 4, 5, 6, 10, 12, 15, 20, 30, 60})) return requested;
    minutes = minutes <= 9 ? 10 : minutes == 11 ? 12 : minutes <= 14 ? 15 : minutes <= 19 ? 20 : 30;
    return adjusted(minutes * ZEVP_SUMMARY_MINUTE);
  }
  int32_t hours = requested / ZEVP_SUMMARY_HOUR;
  if (oneOf(hours, {2, 3, 4, 6, 8, 12, 24})) return requested;
  // One hour and a bit is taken as twelve.
  hours = hours == 5 ? 6 : hours == 7 ? 8 : hours <= 11 ? 12 : 24;
  return adjusted(hours * ZEVP_SUMMARY_HOUR);
}

int32_t statusLimit(int32_t interval) {
  switch (interval) {
    case ZEVP_SUMMARY_MINUTE:
      return 59;
    case ZEVP_SUMMARY_HOUR:
      return 23;
    case ZEVP_SUMMARY_DAY:
      return 31;
    default:
      return 0;
  }
}

SummaryManagementBlock* newBlock(int32_t interval, bool batch) {
  auto* block = static_cast<SummaryManagementBlock*>(ZEV0_GetStorage(sizeof(SummaryManagementBlock)));
  if (block == nullptr) {
    TRC(TRC_ERROR, "***** Unable to obtain storage for SummaryManagementBlock");
    return nullptr;
  }
  std::memset(block, 0, sizeof *block);
  block->SummaryBatchMode = batch ? 1 : 0;
  block->SummaryInterval = interval;
  block->IntervalStatusLimit = statusLimit(interval);
  block->AllocationUnit = kInitialAllocationUnit;
  BSV1_InitializeLock(&block->Lock);
  TRC(TRC_DETAIL, "Summary Management Block @%p initialized, SMB->SummaryInterval %d SMB->IntervalStatusLimit %d",
      static_cast<void*>(block), block->SummaryInterval, block->IntervalStatusLimit);
  return block;
}

}  // namespace

SummaryManagementBlock* ZEVP_CreateSummaryManagementBlock(int32_t interval, int batch) {
  return newBlock(normalised(interval), batch != 0 || settings().batchMode);
}

SummaryManagementBlock* ZEVP_CreateSourceSummaryBlock(const SummaryManagementBlock* group) {
  SummaryManagementBlock* block = newBlock(group->SummaryInterval, group->SummaryBatchMode != 0);
  if (block != nullptr) block->SummaryKeyDataWidth = group->SummaryKeyDataWidth;
  return block;
}

void ZEVP_ReleaseSummaryManagementBlock(SummaryManagementBlock* block) {
  if (block == nullptr) return;
  BSV1_GetLock(&block->Lock);
  ZEV0_FreeStorage(&block->Array);
  BSV1_ReleaseLock(&block->Lock);
  BSV1_DestroyLock(&block->Lock);
  ZEV0_FreeStorage(&block);
}

void ZEVP_ResetSummaryManagementBlock(SummaryManagementBlock* block) {
  if (block == nullptr) return;
  BSV1_GetLock(&block->Lock);
  ZEV0_FreeStorage(&block->Array);
  block->UsedEntries = 0;
  block->Capacity = 0;
  block->LastUpdateTime = 0;
  BSV1_ReleaseLock(&block->Lock);
}
