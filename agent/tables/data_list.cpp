#include "data_list.h"

#include <cstdio>
#include <utility>

#include "agent_limits.h"
#include "dch/channel_functions.h"
#include "nothrow_append.h"
#include "trc1.h"
#include "zev0/text.h"
#include "zev0/threads.h"

TRC_UNIT();

dataList::dataList(const char* applKey, const char* tableName, const char* sourceName, int rowSize, int TTL)
    : rowSize_(rowSize), TTL_(TTL) {
  std::snprintf(applKey_, sizeof applKey_, "%s", applKey != nullptr ? applKey : "");
  std::snprintf(tableName_, sizeof tableName_, "%s", tableName != nullptr ? tableName : "");
  std::snprintf(sourceName_, sizeof sourceName_, "%s", sourceName != nullptr ? sourceName : "");
  ZEV0_InitializeMutex(&lock_);
}

dataList::~dataList() {
  sets_.clear();
  rows_.clear();
  pthread_mutex_destroy(&lock_);
}

bool dataList::getLock() {
  if (ZEVA_GetLock(&lock_, this) == 0) return true;
  TRC(TRC_ERROR, "Error: unable to acquire lock");
  return false;
}

void dataList::releaseLock() { ZEVA_ReleaseLock(&lock_, this); }

void dataList::userData(std::shared_ptr<const rowLayout> layout) {
  if (!getLock()) return;
  layout_ = std::move(layout);
  releaseLock();
}

void dataList::addKey(int columnNumber, int type, int offset, int length) {
  if (offset < 0 || length <= 0 || offset + length > rowSize_) {
    TRC(TRC_ERROR, "Error: key column %d (offset %d, length %d) lies outside the row of %d bytes.", columnNumber,
        offset, length, rowSize_);
    return;
  }
  if (!getLock()) return;
  if (keyCount_ >= kMaxKeys) {
    TRC(TRC_ERROR, "Warning: Maximum number of attribute keys allowed is %d.", kMaxKeys);
  } else {
    keys_[keyCount_++] = keyInfo{columnNumber, type, offset, length};
  }
  releaseLock();
}

int dataList::noOfElements() {
  if (!getLock()) return 0;
  int count = static_cast<int>(rows_.size() + sets_.size());
  releaseLock();
  return count;
}

int16_t dataList::sampleSetType() {
  if (!getLock()) return 0;
  int16_t setType = sampleSetType_;
  releaseLock();
  return setType;
}

// --- Filing ---------------------------------------------------------------------

int dataList::addEntry(int16_t controlField, rowBuffer row, int16_t noValueFlag) {
  if (!getLock()) return 1;
  char type = sampleTypeLocked();
  int64_t now = rowStoreNow();
  if (type == 'E' && (controlField == kSingleRow || controlField == kSetBegin)) dropOldestEventLocked();
  int result = 1;
  switch (controlField) {
    case kSingleRow:
      result = addSingleRowLocked(type, std::move(row), noValueFlag, now);
      break;
    case kSetRecord:
    case kSetBegin:
    case kSetEnd:
      result = addSetRecordLocked(type, controlField, std::move(row), now);
      break;
    case kDeleteKeyRecord:
      result = deleteKeyRowLocked(type, std::move(row));
      break;
    default:
      TRC(TRC_ERROR, "Error: unsupported control field <%d>", controlField);
      break;
  }
  releaseLock();
  return result;
}

// Before a record that adds a row or a set: the cap counts rows and sets together; the
// oldest row goes first, and a list without rows gives up its oldest set.
void dataList::dropOldestEventLocked() {
  int count = static_cast<int>(rows_.size() + sets_.size());
  if (count < Max_Event_Entries()) return;
  TRC(TRC_DETAIL, "Event data and noOfElements %d >= max %d", count, Max_Event_Entries());
  if (!rows_.empty())
    removeRowLocked(rows_.begin());
  else if (!sets_.empty())
    removeSetLocked(sets_.begin());
}

int dataList::addSingleRowLocked(char type, rowBuffer row, int16_t noValueFlag, int64_t now) {
  if (type == 'P') cleanupLocked('P', 1, now);
  sampleSetType_ = 0;
  if (type == 'K') {
    auto stored = findByKeysLocked(row.get());
    if (stored != rows_.end()) {
      TRC(TRC_DETAIL, "CorrelateResults: Replacing dataListEntry[%p], noValueFlag=%d", static_cast<void*>(&*stored),
          noValueFlag);
      if (noValueFlag != 0)
        mergeValuesLocked(stored->row.get(), row.get());
      else
        stored->row = std::move(row);
      stored->timeStamp = now;
      return 0;
    }
  }
  dataListEntry* added = appendOrNull(rows_, dataListEntry{now, std::move(row)});
  if (added == nullptr) {
    TRC(TRC_ERROR, "Error: allocating dataListEntry");
    return 1;
  }
  lastEntry_ = added;
  ++cleanupCounter_;
  if (type == 'S' || type == 'K') {
    if (cleanupCounter_ >= cleanUpTrigger()) {
      TRC(TRC_DETAIL, "Resetting cleanupCounter");
      cleanupCounter_ = 0;
      cleanupLocked('S', 1, now);
    } else {
      TRC(TRC_DETAIL, "No cleanup needed.");
    }
  }
  return 0;
}

int dataList::addSetRecordLocked(char type, int16_t controlField, rowBuffer row, int64_t now) {
  if (controlField == kSetBegin) {
    TRC(TRC_DETAIL, "Starting new beginEndList sample set.");
    sampleSetType_ = 1;
    if (type == 'P') cleanupLocked('P', 1, now);
    currentSet_ = appendOrNull(sets_, now);
    if (currentSet_ == nullptr) {
      TRC(TRC_ERROR, "Error: allocating beginEndList");
      return 1;
    }
    ++cleanupCounter_;
  }
  // Only an open set takes records: a lone record would switch the list to sets and
  // hide its single rows.
  if (currentSet_ == nullptr) {
    TRC(TRC_ERROR, "Warning: _last_BE_Entry not set for tableName <%s>", tableName_);
    return 1;
  }
  sampleSetType_ = 1;
  int result = currentSet_->addEntry(controlField, std::move(row), now);
  if (currentSet_->completeSet()) currentSet_ = nullptr;
  if (type == 'S' && cleanupCounter_ >= cleanUpTrigger()) {
    cleanupCounter_ = 0;
    cleanupLocked('S', 1, now);
  }
  return result;
}

// --- Expiry ---------------------------------------------------------------------

void dataList::cleanupEntries(char sampleType, int16_t force) {
  if (!getLock()) return;
  cleanupLocked(sampleType, force, rowStoreNow());
  releaseLock();
}

void dataList::cleanupLocked(char sampleType, int16_t force, int64_t now) {
  if (sampleType == 'E') return;
  bool everything = sampleType == 'P' && force == 1;
  int TTL = TTL_;
  if (sampleSetType_ == 1) {
    for (auto set = sets_.begin(); set != sets_.end();) {
      int64_t age = now - set->timeStamp();
      auto next = std::next(set);
      if (everything || age >= TTL) {
        TRC(TRC_DETAIL, "Deleting beginEndList @%p, Age=%ld", static_cast<void*>(&*set), static_cast<long>(age));
        removeSetLocked(set);
      }
      set = next;
    }
    return;
  }
  // Rows are stamped as they arrive, so the oldest come first, except in a K table, where a
  // replaced row takes a new stamp in its place: elsewhere the first row that stays ends the
  // pass (every row behind it is younger), which keeps a pass over a long list short.
  bool arrivalOrder = sampleTypeLocked() != 'K';
  for (auto entry = rows_.begin(); entry != rows_.end();) {
    int64_t age = now - entry->timeStamp;
    auto next = std::next(entry);
    if (everything || age >= TTL) {
      TRC(TRC_DETAIL, "Deleting dataListEntry @%p, Age=%ld, noOfElements=%d", static_cast<void*>(&*entry),
          static_cast<long>(age), static_cast<int>(rows_.size() + sets_.size()) - 1);
      removeRowLocked(entry);
    } else if (arrivalOrder) {
      break;
    }
    entry = next;
  }
}

void dataList::removeRowLocked(std::list<dataListEntry>::iterator entry) {
  if (lastEntry_ == &*entry) lastEntry_ = nullptr;
  if (walking_ && !walkAtHead_ && walkLast_ == entry) {
    // The walk goes on with the row after it.
    if (entry == rows_.begin())
      walkAtHead_ = true;
    else
      walkLast_ = std::prev(entry);
  }
  rows_.erase(entry);
}

void dataList::removeSetLocked(std::list<beginEndList>::iterator set) {
  if (currentSet_ == &*set) currentSet_ = nullptr;
  sets_.erase(set);
}

int dataList::emptyList() {
  if (!getLock()) return 0;
  rows_.clear();
  lastEntry_ = nullptr;
  walkAtHead_ = true;
  releaseLock();
  return 0;
}

std::optional<dataList::rowEntry> dataList::getEntry(int16_t first) {
  if (!getLock()) return std::nullopt;
  if (first != 0) {
    walking_ = true;
    walkAtHead_ = true;
  }
  std::optional<rowEntry> next;
  if (walking_) {
    auto entry = walkAtHead_ ? rows_.begin() : std::next(walkLast_);
    if (entry != rows_.end()) {
      std::string row = entry->row != nullptr ? std::string(entry->row.get(), rowSize_) : std::string();
      next = rowEntry{entry->timeStamp, std::move(row)};
      walkLast_ = entry;
      walkAtHead_ = false;
    } else {
      walking_ = false;
    }
  }
  releaseLock();
  return next;
}

void dataList::printList() {
  if (!TRC_ON(TRC_DETAIL) || !getLock()) return;
  TRC(TRC_DETAIL, ">>>>>   dataList       @%p \n", static_cast<void*>(this));
  TRC(TRC_DETAIL, ">>>>>   sampleSetType  <%d>", sampleSetType_);
  TRC(TRC_DETAIL, ">>>>>   applKey <%s> tableName <%s> sourceName <%s>", applKey_, tableName_, sourceName_);
  TRC(TRC_DETAIL, ">>>>>   rowSize <%d> TTL <%d> cleanupCounter <%d> noOfElements <%d>", rowSize_, TTL(),
      cleanupCounter_, static_cast<int>(rows_.size() + sets_.size()));
  for (int i = 0; i < keyCount_; ++i)
    TRC(TRC_DETAIL, ">>>>>   KeyInfo[%d] ColNo <%d> type <%d> offset <%d> length <%d>", i, keys_[i].ColNo,
        keys_[i].type, keys_[i].offset, keys_[i].length);
  int64_t now = rowStoreNow();
  for (const dataListEntry& entry : rows_) {
    TRC(TRC_DETAIL, ">> dataListEntry @%p.\n", static_cast<const void*>(&entry));
    TRC(TRC_DETAIL, "   Age          <%d>", static_cast<int>(now - entry.timeStamp));
    TRC(TRC_DETAIL, "   ControlField <%x>", kSingleRow);
    ZEV0_PrintDump(entry.row.get(), 0, rowSize_);
  }
  for (const beginEndList& set : sets_) set.printList(rowSize_);
  releaseLock();
}
