// The row list (dataList) of one data source of one framework table: the rows the
// source has delivered, kept between their arrival over the DCH and the framework's
// next sample of the table.
//
// Rows live either as single rows (control 17) or as complete multi-row sample sets
// (control 1, 0..., 16). What is kept, replaced and dropped follows the table's
// sample type:
//   P  only the latest row, or the latest set;
//   S  rows and sets expire after the time-to-live;
//   K  a row replaces the stored row with equal key columns (at most five), and a
//      delete record (221) removes it;
//   E  at most Max_Event_Entries() rows; each new row is also pushed to the table's
//      requests at once (emitEvent).
// The list shows one kind at a time: a set record switches it to sets, a single row
// back to rows; rows of the other kind stay until they expire or the list goes.
//
// One data thread writes the list; framework threads sample and prune it. Every
// operation holds the list's lock for its whole work and takes no other lock of the
// row store. Callers share the list (shared_ptr): it lives while anyone holds it.
#pragma once

#include <pthread.h>

#include <atomic>
#include <cstdint>
#include <list>
#include <memory>
#include <optional>
#include <string>

#include "row_layout.h"
#include "sample_set.h"

class Pxraf;
class zev_dorvan_manager;

// Control fields of a record as the row store files it.
constexpr int16_t kSetRecord = 0;
constexpr int16_t kSetBegin = 1;
constexpr int16_t kSetEnd = 16;
constexpr int16_t kSingleRow = 17;
constexpr int16_t kDeleteKeyRecord = 221;

class dataList {
 public:
  static constexpr int kMaxKeys = 5;
  static constexpr int kApplKeySize = 4;
  static constexpr int kTableNameSize = 11;
  static constexpr int kSourceNameSize = 33;

  // Names are cut to their fields. The table's layout follows with userData.
  dataList(const char* applKey, const char* tableName, const char* sourceName, int rowSize, int TTL);
  ~dataList();
  dataList(const dataList&) = delete;
  dataList& operator=(const dataList&) = delete;

  // The table's sample type and columns.
  void userData(std::shared_ptr<const rowLayout> layout);
  void setTTL(int seconds) { TTL_ = seconds; }
  int TTL() const { return TTL_; }

  // Registers a key column of a K table; a sixth is ignored with a warning, and so is
  // one that does not lie within the row.
  void addKey(int columnNumber, int type, int offset, int length);

  // Files one record; the list owns the row in every outcome and frees what it does
  // not keep. The no-value flag tells that some columns of the row begin with "^"
  // (no value): a K row then updates only the other columns of the row it replaces.
  // 0 filed; 1 refused (traced).
  int addEntry(int16_t controlField, rowBuffer row, int16_t noValueFlag);

  // Hands the stored rows of the current kind to the request's AddData, with the
  // origin node in column 0. lastSampleTime 0: an expiry pass first, then every row;
  // else rows stored before that second are skipped. Sets are handed over whole and
  // only once complete. The number of rows the request took.
  int emitToRAF(Pxraf& request, const char* originNode, unsigned long lastSampleTime);

  // Pushes the row added last to the table's requests through the manager. 0.
  int emitEvent(zev_dorvan_manager* manager, const char* originNode);

  // Expiry pass over the current kind: members whose age reached the TTL go; with
  // sample type P and force 1, every member goes. Type E keeps everything.
  void cleanupEntries(char sampleType, int16_t force);
  // Deletes every row and set. 0.
  int emptyList();

  // A single row as the list's walk hands it out: a copy, as the row may go while the
  // caller looks at it.
  struct rowEntry {
    int64_t timeStamp;
    std::string row;  // rowSize() bytes
  };
  // The list's own walk over its single rows in arrival order (first non-zero opens a new
  // one): the next row, or nothing at the end of the walk, which closes it. A row removed
  // meanwhile is passed over; one added meanwhile is still reached.
  std::optional<rowEntry> getEntry(int16_t first);
  void printList();

  const char* applKey() const { return applKey_; }
  const char* tableName() const { return tableName_; }
  const char* sourceName() const { return sourceName_; }
  int rowSize() const { return rowSize_; }
  // Rows plus sets held.
  int noOfElements();
  // 1 while the source delivers sample sets, 0 while it delivers single rows.
  int16_t sampleSetType();

 private:
  struct dataListEntry {
    int64_t timeStamp;
    rowBuffer row;
  };
  struct keyInfo {
    int ColNo;
    int type;  // 1 integer, 2 text
    int offset;
    int length;
  };

  char sampleTypeLocked() const { return layout_ != nullptr ? layout_->sampleType : '\0'; }
  void dropOldestEventLocked();
  int addSingleRowLocked(char type, rowBuffer row, int16_t noValueFlag, int64_t now);
  int addSetRecordLocked(char type, int16_t controlField, rowBuffer row, int64_t now);
  int deleteKeyRowLocked(char type, rowBuffer row);
  void cleanupLocked(char sampleType, int16_t force, int64_t now);
  // The first stored row whose key columns equal the row's; end() when none (always
  // without key columns).
  std::list<dataListEntry>::iterator findByKeysLocked(const char* row);
  // A row with the no-value flag updates only the columns that have values.
  void mergeValuesLocked(char* stored, const char* row) const;
  void removeRowLocked(std::list<dataListEntry>::iterator entry);
  void removeSetLocked(std::list<beginEndList>::iterator set);
  int emitRowsLocked(Pxraf& request, const char* originNode, unsigned long lastSampleTime, int64_t now);
  int emitSetsLocked(Pxraf& request, const char* originNode, int64_t now);
  bool getLock();
  void releaseLock();

  char applKey_[kApplKeySize];
  char tableName_[kTableNameSize];
  char sourceName_[kSourceNameSize];
  const int rowSize_;
  std::atomic<int> TTL_;
  pthread_mutex_t lock_;

  // Guarded by the lock.
  std::list<dataListEntry> rows_;
  std::list<beginEndList> sets_;
  dataListEntry* lastEntry_ = nullptr;    // the row that emitEvent pushes
  beginEndList* currentSet_ = nullptr;    // the open set that takes set records
  int16_t sampleSetType_ = 0;
  std::shared_ptr<const rowLayout> layout_;
  keyInfo keys_[kMaxKeys] = {};
  int keyCount_ = 0;
  int cleanupCounter_ = 0;
  // getEntry's walk, while one is open: the row it handed out last, none before the first.
  bool walking_ = false;
  bool walkAtHead_ = false;
  std::list<dataListEntry>::iterator walkLast_;
};
