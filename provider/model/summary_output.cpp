// Sending the rows of a summary source's ended interval: one row per key, and
// in batch mode the slots that had no row.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "attribute_entry.h"
#include "bsv1.h"
#include "dch_requests.h"
#include "integer_values.h"
#include "source_entry.h"
#include "summary_array.h"
#include "summary_block.h"
#include "summary_data.h"
#include "summary_definition.h"
#include "summary_stamp.h"
#include "trc1.h"
#include "zev0/storage.h"
#include "zev0/typed_field.h"

TRC_UNIT();

namespace {

constexpr int32_t kTotalSize = 4;
constexpr int32_t kShortMax = 32767;
constexpr int32_t kShortMin = -32768;
constexpr double kLongMax = 2147483647.0;
constexpr double kLongMin = -2147483648.0;

bool named(const AttributeEntry* attribute, const char* name) { return std::strcmp(attribute->AttrName, name) == 0; }

// The attributes a summary row fills.
struct RowAttributes {
  AttributeEntry* interval = nullptr;
  AttributeEntry* unit = nullptr;
  AttributeEntry* occurrences = nullptr;
  AttributeEntry* timeStamp = nullptr;
  AttributeEntry* dateTime = nullptr;
  AttributeEntry* unitName = nullptr;
  std::vector<AttributeEntry*> keys;    // in summary order
  std::vector<AttributeEntry*> totals;  // in summary order
};

RowAttributes rowAttributes(const SourceEntry* source) {
  RowAttributes row;
  for (AttributeEntry* attribute = source->FirstAttribute; attribute != nullptr; attribute = attribute->next) {
    if (named(attribute, "_Interval")) row.interval = attribute;
    if (named(attribute, "_Interval_Unit")) row.unit = attribute;
    if (named(attribute, "_Occurrences")) row.occurrences = attribute;
    if (named(attribute, "_Date_Time")) row.dateTime = attribute;
    if (named(attribute, "_Interval_Unit_Name")) row.unitName = attribute;
  }
  row.timeStamp = ZEVP_SummaryTimeStampAttribute(source);
  for (AttributeEntry* attribute = zevp::FirstInSummaryOrder(source); attribute != nullptr;
       attribute = zevp::NextInSummaryOrder(source, attribute)) {
    if (attribute->AttrSortKey > 0) row.keys.push_back(attribute);
    if (attribute->AttrSortKey < 0) row.totals.push_back(attribute);
  }
  return row;
}

void setText(AttributeEntry* attribute, const char* text, size_t length) {
  if (attribute == nullptr) return;
  size_t kept = std::min<size_t>(length, attribute->MaxValSize);
  std::memcpy(attribute->Value(), text, kept);
  attribute->Value()[kept] = '\0';
  attribute->ActualValSize = static_cast<uint16_t>(kept);
}

void setNumber(AttributeEntry* attribute, int32_t value) {
  if (attribute != nullptr) zevp::StoreInteger(attribute, value);
}

// The slot of the interval: its day, hour or minute.
int32_t unitSlot(const SummaryManagementBlock* block) {
  const char* stamp = block->IntervalStartStamp;
  switch (block->SummaryInterval) {
    case ZEVP_SUMMARY_DAY:
      return block->StartDay;
    case ZEVP_SUMMARY_HOUR:
      return block->StartHour;
    case ZEVP_SUMMARY_MINUTE:
      return (stamp[zevp::kStampMinute] - '0') * 10 + (stamp[zevp::kStampMinute + 1] - '0');
    default:
      return 1;
  }
}

// The time stamp, its display form and the interval's name.
void loadStamp(const SummaryManagementBlock* block, const RowAttributes& row, const char* stamp) {
  setText(row.timeStamp, stamp, ZEV0_PLOVEN_TIME_LENGTH);
  if (row.dateTime != nullptr) {
    char display[32] = {};
    int length = ZEV0_PlovenTimeToString(stamp, display);
    setText(row.dateTime, display, static_cast<size_t>(std::max(length, 0)));
  }
  ZEVP_LoadIntervalNameToAttr(block, row.unitName, row.timeStamp);
}

int32_t entryTotal(const SummaryManagementBlock* block, const char* entry, size_t index) {
  int32_t value;
  std::memcpy(&value, entry + block->SummaryKeyDataWidth + kTotalSize * index, sizeof value);
  return value;
}

// The sum of a run as it is sent: held within 32 bits, and within 16 for a 2-byte total,
// at either end, so that a large negative sum of gauges is not wrapped into a positive one.
int32_t totalToSend(const AttributeEntry* attribute, double sum) {
  if (sum > kLongMax || sum < kLongMin) {
    int32_t held = sum > 0 ? INT32_MAX : INT32_MIN;
    TRC(TRC_ERROR, "Summary attribute %s total value overflow %f truncated to max %d", attribute->AttrName, sum,
        held);
    return held;
  }
  auto value = static_cast<int32_t>(sum);
  if (attribute->MaxValSize == 2 && (value > kShortMax || value < kShortMin)) {
    int32_t held = value > 0 ? kShortMax : kShortMin;
    TRC(TRC_ERROR, "Summary attribute %s output value overflow %d truncated to max %d", attribute->AttrName, value,
        held);
    return held;
  }
  return value;
}

class IntervalOutput {
 public:
  IntervalOutput(SourceEntry* source, SummaryManagementBlock* block, DCHcomm* comm, bool endOfBatch)
      : source_(source), block_(block), comm_(comm), endOfBatch_(endOfBatch), row_(rowAttributes(source)) {}

  // One row per run of equal keys among the first n entries, in key order. The
  // sort orders this call's own list of the entries, under the source's locks
  // alone: no lock shared by the data provider's summaries is needed.
  void sendRows(int32_t n) {
    const int32_t width = block_->SummaryArrayWidth;
    const size_t keyBytes = static_cast<size_t>(block_->SummaryKeyDataWidth);
    std::vector<const char*> entries;
    for (int32_t i = 0; i < n; ++i) entries.push_back(block_->Array + static_cast<int64_t>(i) * width);
    std::stable_sort(entries.begin(), entries.end(), [keyBytes](const char* a, const char* b) {
      return std::memcmp(a, b, keyBytes) < 0;
    });
    for (size_t first = 0; first < entries.size() && failure_ == 0;) {
      size_t last = first + 1;
      while (last < entries.size() && std::memcmp(entries[first], entries[last], keyBytes) == 0) ++last;
      sendRun(entries, first, last);
      first = last;
    }
  }

  // Another year counts as another month, even under the same month's number.
  bool intervalChanged() const {
    const SummaryManagementBlock* b = block_;
    return endOfBatch_ || b->CurrentYear != b->StartYear || b->CurrentMonth != b->StartMonth ||
           (b->SummaryInterval < ZEVP_SUMMARY_DAY && b->CurrentDay != b->StartDay) ||
           (b->SummaryInterval < ZEVP_SUMMARY_HOUR && b->CurrentHour != b->StartHour);
  }

  bool keyed() const { return !row_.keys.empty(); }

  // A row of no occurrences for each slot without a row.
  void sendMissing() {
    int32_t limit = slotLimit();
    for (int32_t slot = 1; slot <= limit && slot < ZEVP_SUMMARY_SLOTS && failure_ == 0; ++slot) {
      if (block_->IntervalStatus[slot] == 1) continue;
      TRC(TRC_DETAIL, "Generate missing interval %d", slot);
      setNumber(row_.interval, block_->SummaryInterval);
      setNumber(row_.unit, slot);
      setNumber(row_.occurrences, 0);
      char stamp[ZEV0_PLOVEN_TIME_LENGTH + 1];
      std::memcpy(stamp, block_->IntervalStartStamp, sizeof stamp);
      int place = block_->SummaryInterval < ZEVP_SUMMARY_HOUR  ? zevp::kStampMinute
                  : block_->SummaryInterval < ZEVP_SUMMARY_DAY ? zevp::kStampHour
                                                               : zevp::kStampDay;
      zevp::SetStampPart(stamp, place, slot, zevp::kStampEnd);
      loadStamp(block_, row_, stamp);
      for (AttributeEntry* total : row_.totals) setNumber(total, 0);
      send();
    }
    std::memset(block_->IntervalStatus, 0, sizeof block_->IntervalStatus);
  }

  // Sends the rows built, until one fails; the DCH status is that of the first
  // that failed, else 0.
  void sendBuilt() {
    for (const std::string& message : built_) {
      if (failure_ != 0) break;
      TRC(TRC_DETAIL, "Sending dp_data request %d for SourceEntry object @%p", source_->DCHrequestSeqNumber,
          static_cast<void*>(source_));
      ZEVP_SendUntilAnswered(source_, comm_, message.data());
      int32_t status = ZEVP_DCHstatusOf(comm_);
      if (status != 0) failure_ = status;
    }
    built_.clear();
    ZEVP_SetDCHstatus(comm_, failure_);
  }

 private:
  void sendRun(const std::vector<const char*>& entries, size_t first, size_t last) {
    const char* key = entries[first];
    int32_t offset = 0;
    for (AttributeEntry* attribute : row_.keys) {
      int32_t length = std::min<int32_t>(attribute->MaxValSize, block_->SummaryKeyDataWidth - 1 - offset);
      setText(attribute, key + offset, static_cast<size_t>(std::max(length, 0)));
      offset += std::max(length, 0);
    }
    setNumber(row_.interval, block_->SummaryInterval);
    if (row_.interval != nullptr)
      TRC(TRC_DETAIL, "Loaded interval unit value %d for AttrName <%s>", block_->SummaryInterval,
          row_.interval->AttrName);
    int32_t slot = unitSlot(block_);
    setNumber(row_.unit, slot);
    if (slot >= 0 && slot < ZEVP_SUMMARY_SLOTS) block_->IntervalStatus[slot] = 1;
    setNumber(row_.occurrences, static_cast<int32_t>(last - first));
    loadStamp(block_, row_, intervalStamp());
    for (size_t t = 0; t < row_.totals.size(); ++t) {
      double sum = 0;
      if (t < static_cast<size_t>(block_->TotalCount))
        for (size_t e = first; e < last; ++e) sum += entryTotal(block_, entries[e], t);
      setNumber(row_.totals[t], totalToSend(row_.totals[t], sum));
    }
    send();
  }

  // The interval's start stamp; once the rows have passed into another hour
  // (another day for a day's interval), or at an asked end, from its hour
  // (its day) on.
  const char* intervalStamp() {
    std::memcpy(stamp_, block_->IntervalStartStamp, sizeof stamp_);
    const SummaryManagementBlock* b = block_;
    if (b->SummaryInterval <= ZEVP_SUMMARY_HOUR && (b->CurrentHour != b->StartHour || endOfBatch_))
      zevp::ZeroStampFrom(stamp_, zevp::kStampMinute, zevp::kStampFirstCounterDigitEnd);
    if (b->SummaryInterval == ZEVP_SUMMARY_DAY && (b->CurrentDay != b->StartDay || endOfBatch_))
      zevp::ZeroStampFrom(stamp_, zevp::kStampHour, zevp::kStampFirstCounterDigitEnd);
    return stamp_;
  }

  int32_t slotLimit() const {
    if (block_->SummaryInterval != ZEVP_SUMMARY_DAY) return block_->IntervalStatusLimit;
    static const int32_t kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int32_t month = block_->StartMonth;
    if (month < 1 || month > 12) return 0;
    if (month == 2 && (block_->StartYear - 88) % 4 == 0) return 29;
    return kDays[month - 1];
  }

  // Builds the row's request; it is sent with the others once the source's
  // locks are let go (sendBuilt).
  void send() {
    if (!ZEVP_BuildDPdataRequest(source_, comm_)) {
      int32_t status = ZEVP_DCHstatusOf(comm_);
      if (status != 0) failure_ = status;
      return;
    }
    uint32_t length = std::min<uint32_t>(ZEV0_MessageTotalLength(source_->OutputBuffer),
                                         static_cast<uint32_t>(source_->OutputBufferSize));
    built_.emplace_back(source_->OutputBuffer, length);
  }

  SourceEntry* source_;
  SummaryManagementBlock* block_;
  DCHcomm* comm_;
  bool endOfBatch_;
  RowAttributes row_;
  char stamp_[ZEV0_PLOVEN_TIME_LENGTH + 1] = {};
  std::vector<std::string> built_;
  int32_t failure_ = 0;
};

void endBatch(SourceEntry* source, SummaryManagementBlock* block) {
  ZEV0_FreeStorage(&block->Array);
  block->UsedEntries = 0;
  block->Capacity = 0;
  block->LastUpdateTime = 0;
  block->IntervalStartTime = 0;
  source->EndBatchSummary = 0;
  TRC(TRC_DETAIL, "Batch summary processing ended");
}

// The row that ended the interval begins the next one.
void nextInterval(SummaryManagementBlock* block) {
  const int32_t width = block->SummaryArrayWidth;
  if (block->UsedEntries > 1)
    std::memmove(block->Array, block->Array + static_cast<int64_t>(block->UsedEntries - 1) * width,
                 static_cast<size_t>(width));
  block->UsedEntries = 1;
  std::memcpy(block->IntervalStartStamp, block->CurrentStamp, sizeof block->IntervalStartStamp);
  block->StartYear = block->CurrentYear;
  block->StartMonth = block->CurrentMonth;
  block->StartDay = block->CurrentDay;
  block->StartHour = block->CurrentHour;
  int32_t end = block->CurrentSeconds + block->SummaryInterval;
  if (block->SummaryInterval == ZEVP_SUMMARY_DAY || block->SummaryInterval <= ZEVP_SUMMARY_HOUR)
    end = zevp::SummaryIntervalEnd(block, block->CurrentHour, block->CurrentSeconds, end);
  block->IntervalEndTime = end;
  block->IntervalStartTime = zevp::SummaryClockSeconds();
}

}  // namespace

void ZEVP_PerformDataSummaryOutput(SourceEntry* source, DCHcomm* comm) {
  ZEVP_SetDCHstatus(comm, 0);
  if (source == nullptr || source->Summary == nullptr) return;
  SummaryManagementBlock* block = source->Summary;
  std::optional<IntervalOutput> output;
  // The rows are made under the source's data lock and the block's lock, so that
  // no input row comes between; they are sent after, for the wait for the agent
  // holds none of the source's locks.
  BSV1_GetLock(&source->DataLock);
  BSV1_GetLock(&block->Lock);
  bool endOfBatch = source->EndBatchSummary != 0;
  if (block->UsedEntries <= 0 || block->Array == nullptr) {
    // Nothing was taken: there is nothing to end either.
    source->EndBatchSummary = 0;
  } else if (endOfBatch || !zevp::SummaryIntervalOpen(block, source)) {
    if (endOfBatch) TRC(TRC_DETAIL, "Perform EndBatchSummary processing");
    // Without an asked end, the last row taken belongs to the next interval.
    int32_t n = endOfBatch ? block->UsedEntries : block->UsedEntries - 1;
    source->SummaryDelivering = 1;
    output.emplace(source, block, comm, endOfBatch);
    output->sendRows(n);
    if (block->SummaryBatchMode != 0 && !output->keyed() && output->intervalChanged()) output->sendMissing();
    if (endOfBatch)
      endBatch(source, block);
    else
      nextInterval(block);
    source->SummaryDelivering = 0;
  }
  BSV1_ReleaseLock(&block->Lock);
  BSV1_ReleaseLock(&source->DataLock);
  if (output) output->sendBuilt();
}

void ZEVP_GenerateMissingSummaryIntervalOutput(SourceEntry* source, SummaryManagementBlock* block, DCHcomm* comm) {
  if (source == nullptr || block == nullptr) return;
  IntervalOutput output(source, block, comm, source->EndBatchSummary != 0);
  output.sendMissing();
  output.sendBuilt();
}
