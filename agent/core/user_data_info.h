// The description of one framework table: one attribute group of one application
// release, as an ordered list of fixed-width columns with the row size, the table's
// name, sample type and time-to-live.
//
// Made by its group's userDataListEntry: construction binds the table to its manager
// (shutting down the previous release's manager when the release changed); filling the
// columns from the attribute text starts the table's data thread (waitOnDP); destruction
// unbinds the manager and stops the thread, waiting until it has ended.
#pragma once

#include <pthread.h>

#include <cstdint>
#include <optional>
#include <string_view>

#include "attribute_column.h"
#include "record_room.h"

class DCHclient;
class userDataListEntry;
class zev_dorvan_manager;

class userDataInfo {
 public:
  static constexpr int16_t kOriginNodeLength = 32;
  // What a release change does to the open requests of the previous release's tables.
  static constexpr int kShutdownPreviousRelease = 0x210101FE;

  explicit userDataInfo(userDataListEntry* entry);
  ~userDataInfo();
  userDataInfo(const userDataInfo&) = delete;
  userDataInfo& operator=(const userDataInfo&) = delete;

  // False when construction ended early (no column records, or an entry in error): such
  // a description is never filled, started or bound.
  bool complete() const { return complete_; }
  // True once prepareAttributesImages has run (whatever its outcome).
  bool columnsFilled() const { return columnsFilled_; }

  // Fills the columns from the group's attribute text ("NAME,TYPE,LENGTH:" records) and
  // help block, then starts the data thread. The error flag (0 success).
  int prepareAttributesImages(std::string_view attrText, std::optional<std::string_view> helpBlock);
  // Starts waitOnDP, detached, with this description. 0, or 1 when it could not start.
  int startWaitOnDPthread();
  // The table name: application key, group checksum, and the release given (or this
  // description's own).
  void generateTableName(const char* release);
  // The first column of that name: its offset, length and type; type -1 when none.
  void columnInfo(const char* columnName, int16_t* offset, int16_t* length, int16_t* type) const;
  void printSelf() const;

  // The data thread's side of the stop handshake. setClientObject stores the thread's
  // wait handle; false when the description is already being destroyed (the thread then
  // ends without waiting). dataThreadEnded is the last thing every exit of the thread
  // does with the description: it marks the thread ended and wakes the destructor.
  bool setClientObject(DCHclient* handle);
  void dataThreadEnded();
  // True once the destructor has begun to stop the data thread: a thread waiting for
  // anything but its DCH wait gives up, and its wait then sees the cancel.
  bool stopRequested();
  // The table's manager (set by zev_dorvan_init).
  void setTableManager(zev_dorvan_manager* manager) { tableManager_ = manager; }
  zev_dorvan_manager* tableManager() const { return tableManager_; }

  const char* applName() const { return applName_; }
  const char* applNameRR() const { return applNameRR_; }
  const char* applKey() const { return applKey_; }
  const char* attrGroup() const { return attrGroup_; }
  const char* tableNameRR() const { return tableName_; }
  const char* RR() const { return RR_; }
  const char* cvrm() const { return cvrm_; }
  const char* lvrm() const { return lvrm_; }
  const char* priorVRM() const { return priorVRM_; }
  char sampleType() const { return sampleType_; }
  int32_t TTL() const { return TTL_; }
  int16_t operationalGroup() const { return operationalGroup_; }
  int16_t noOfColumns() const { return noOfColumns_; }
  int16_t rowSize() const { return rowSize_; }
  short errors() const { return errors_; }
  // Column i (0 to noOfColumns() - 1), or null.
  const attrInfo_t* attrInfo(int i) const;
  // A field of column i; -1 for a column that is not there.
  int16_t columnType(int i) const;
  int16_t columnLength(int i) const;
  int16_t columnOffset(int i) const;
  int16_t columnKeyed(int i) const;
  userDataListEntry* userDataListEntryPtr() const { return entry_; }

 private:
  enum class DataThread { kNotStarted, kRunning, kEnded };

  void copyFromEntry();
  void shutdownPreviousRelease();
  void bindTableManager();
  void stopDataThread();
  void fillOriginNode();
  int fillColumn(std::string_view record, int index, int* offset, std::optional<std::string_view> helpBlock);
  int takeEnumeration(std::string_view name, attrInfo_t* column, std::optional<std::string_view> helpBlock);

  char applName_[21] = {};
  char applKey_[4] = {};
  char applNameRR_[23] = {};
  char tableName_[11] = {};
  char attrGroup_[33] = {};
  char RR_[3] = {};
  char priorRR_[3] = {};
  char sampleType_ = '?';
  char cvrm_[9] = {};
  char lvrm_[9] = {};
  char priorVRM_[9] = {};
  int32_t TTL_ = 0;
  int16_t operationalGroup_ = 2;
  int16_t noOfColumns_ = 0;
  int16_t rowSize_ = 0;
  int maxColumns_ = 0;
  RecordRoom<attrInfo_t> columns_;
  userDataListEntry* entry_;
  zev_dorvan_manager* tableManager_ = nullptr;
  short errors_ = 0;
  bool complete_ = false;
  bool columnsFilled_ = false;

  // Guarded by lock_: the data thread's state and wait handle, and the destructor's stop.
  pthread_mutex_t lock_;
  pthread_cond_t terminateCond_;
  DataThread dataThread_ = DataThread::kNotStarted;
  DCHclient* clientObject_ = nullptr;
  bool stopRequested_ = false;
};
