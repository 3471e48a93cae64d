#include "user_data_info.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

#include "agent_limits.h"
#include "dch/channel_functions.h"
#include "dch/dch_api.h"
#include "definition_version.h"
#include "fixed_text.h"
#include "table_manager_list.h"
#include "trc1.h"
#include "user_data_list_entry.h"
#include "wait_on_dp.h"
#include "zev0/threads.h"
#include "zev_dorvan_manager.h"

TRC_UNIT();

namespace {

// How often a destructor whose cancel could not be sent tries again.
constexpr int kStopRetrySeconds = 1;

}  // namespace

userDataInfo::userDataInfo(userDataListEntry* entry) : entry_(entry) {
  ZEV0_InitializeMutex(&lock_);
  ZEV0_InitializeCondVar(&terminateCond_);
  // A column count and every offset must stay within the 16 bits a row carries them in.
  maxColumns_ = Max_IB_Columns() < INT16_MAX ? Max_IB_Columns() : INT16_MAX - 1;
  if (!columns_.allocate(static_cast<size_t>(maxColumns_) + 1)) {
    TRC(TRC_ERROR, "Error: allocating %d bytes", static_cast<int>((maxColumns_ + 1) * sizeof(attrInfo_t)));
    return;
  }
  if (entry->errors() != 0) {
    TRC(TRC_ERROR, "Error: errors in userDataListEntry. Cannot continue!");
    return;
  }
  copyFromEntry();
  if (std::strcmp(RR_, priorRR_) != 0) shutdownPreviousRelease();
  generateTableName(nullptr);
  tableManagerList* registry = tableManagers();
  if (DV_Debug() == 1 && registry != nullptr) registry->printList();
  bindTableManager();
  complete_ = true;
}

void userDataInfo::copyFromEntry() {
  copyIfFits(applNameRR_, entry_->applName());
  std::memcpy(applKey_, applNameRR_, 3);
  copyIfFits(attrGroup_, entry_->attrGroup());
  sampleType_ = entry_->sampleType();
  copyIfFits(cvrm_, entry_->cvrm());
  copyIfFits(lvrm_, entry_->cvrm());
  copyIfFits(priorVRM_, entry_->priorVRM());
  TTL_ = entry_->TTL();
  releaseOfVersion(cvrm_, RR_);
  releaseOfVersion(priorVRM_, priorRR_);
  size_t length = std::strlen(applNameRR_);
  copyIfFits(applName_, std::string_view(applNameRR_, length > 2 ? length - 2 : 0));
}

// The tables of the previous release stay registered; their open requests end.
void userDataInfo::shutdownPreviousRelease() {
  generateTableName(priorRR_);
  char previousApplName[sizeof applNameRR_];
  std::snprintf(previousApplName, sizeof previousApplName, "%s%s", applName_, priorRR_);
  tableManagerList* registry = tableManagers();
  zev_dorvan_manager* previous = registry != nullptr ? registry->getTblMgr(previousApplName, tableName_) : nullptr;
  if (previous == nullptr) {
    TRC(TRC_ERROR, "Warning: TableManager for applName <%s> tableName <%s> not found.", previousApplName, tableName_);
    return;
  }
  TRC(TRC_DETAIL, "TableManager <%s> shutdown all request for applName <%s> tableName <%s>", applKey_,
      previousApplName, tableName_);
  if (previous->Shutdown(kShutdownPreviousRelease) != 0)
    TRC(TRC_ERROR,
        "Error: TableManager::Shutdown failed. Cannot stop QMS request for previous verson of applName <%s> "
        "tableName<%s>",
        previousApplName, tableName_);
}

void userDataInfo::bindTableManager() {
  tableManagerList* registry = tableManagers();
  if (registry == nullptr) {
    TRC(TRC_ERROR, "Error: no tableManagerList for applName <%s> tableName <%s>", applNameRR_, tableName_);
    errors_ = 1;
    return;
  }
  zev_dorvan_manager* found = registry->getTblMgr(applNameRR_, tableName_);
  if (found != nullptr) {
    tableManager_ = found;
    TRC(TRC_DETAIL, "Using existing TableManager<@%p> for applName <%s> tableName <%s>, passing @%p",
        static_cast<void*>(found), applNameRR_, tableName_, static_cast<void*>(this));
    if (zev_dorvan_init(nullptr, nullptr, this, found, 0) == nullptr) {
      TRC(TRC_ERROR, "Error: Setting userDataInfo<@%p> ptr for TblMgr<@%p/%s/%s>", static_cast<void*>(this),
          static_cast<void*>(found), applNameRR_, tableName_);
      errors_ = 1;
    }
    return;
  }
  TRC(TRC_DETAIL, "TableManager for applName <%s> tableName <%s> not found.", applNameRR_, tableName_);
  short SNMPflag = entry_->SNMPflag();
  tableManager_ = zev_dorvan_init(applNameRR_, tableName_, this, nullptr, SNMPflag);
  if (tableManager_ == nullptr) {
    TRC(TRC_ERROR, "Error: <@%p> Allocating TblMgr<%s/%s>", static_cast<void*>(this), applNameRR_, tableName_);
    errors_ = 1;
    return;
  }
  registry->addEntry(applNameRR_, tableName_, tableManager_, tableManagerList::kNewTable, SNMPflag);
}

void userDataInfo::generateTableName(const char* release) {
  std::snprintf(tableName_, sizeof tableName_, "%.3s%.5s%.2s", applKey_, ZEVA_ComputeChecksumOnAttrGroup(attrGroup_),
                release != nullptr ? release : RR_);
}

userDataInfo::~userDataInfo() {
  if (tableManager_ != nullptr) {
    TRC(TRC_DETAIL, "Setting userDataInfo pointer to NULL for applName <%s> tableName <%s>", applNameRR_, tableName_);
    tableManager_->clearUserDataPtr(this);
  } else {
    TRC(TRC_ERROR, "Warning: TableManager ptr for <%s/%s> not set.", applNameRR_, tableName_);
  }
  stopDataThread();
  int rc = pthread_mutex_destroy(&lock_);
  if (rc != 0) TRC(TRC_ERROR, "Error: pthread_mutex_destroy failed. rc=%d errno=%d", rc, errno);
  rc = pthread_cond_destroy(&terminateCond_);
  if (rc != 0) TRC(TRC_ERROR, "Error: pthread_cond_destroy failed. rc=%d errno=%d", rc, errno);
}

int userDataInfo::startWaitOnDPthread() {
  if (ZEVA_GetLock(&lock_, this) != 0) return 1;
  dataThread_ = DataThread::kRunning;
  ZEVA_ReleaseLock(&lock_, this);
  pthread_t thread;
  if (ZEV0_CreateThread(waitOnDP, this, PTHREAD_CREATE_DETACHED, &thread) == 0) return 0;
  TRC(TRC_ERROR, "Error: waitOnDP thread creation failed.");
  if (ZEVA_GetLock(&lock_, this) == 0) {
    dataThread_ = DataThread::kNotStarted;
    ZEVA_ReleaseLock(&lock_, this);
  }
  return 1;
}

bool userDataInfo::setClientObject(DCHclient* handle) {
  if (ZEVA_GetLock(&lock_, this) != 0) return false;
  bool keep = !stopRequested_;
  if (keep) clientObject_ = handle;
  ZEVA_ReleaseLock(&lock_, this);
  return keep;
}

bool userDataInfo::stopRequested() {
  if (ZEVA_GetLock(&lock_, this) != 0) return false;
  bool stopping = stopRequested_;
  ZEVA_ReleaseLock(&lock_, this);
  return stopping;
}

void userDataInfo::dataThreadEnded() {
  if (ZEVA_GetLock(&lock_, this) != 0) return;
  dataThread_ = DataThread::kEnded;
  clientObject_ = nullptr;
  pthread_cond_signal(&terminateCond_);
  ZEVA_ReleaseLock(&lock_, this);
}

// Waits, however the wake-ups come, until the thread has marked itself ended. The thread
// stores its wait handle only while no stop is asked for, and ends every way through
// dataThreadEnded, so the handle is cancelled at most once and only while it lives.
void userDataInfo::stopDataThread() {
  if (ZEVA_GetLock(&lock_, this) != 0) return;
  if (dataThread_ == DataThread::kNotStarted) {
    TRC(TRC_ERROR, "Warning: clientObject ptr <%s/%s> not set. Cannot stop waitOnDP thread.", applNameRR_,
        attrGroup_);
    ZEVA_ReleaseLock(&lock_, this);
    return;
  }
  stopRequested_ = true;
  bool cancelled = false;
  if (dataThread_ == DataThread::kRunning)
    TRC(TRC_DETAIL, "Waiting for waitOnDP thread to process terminate signal.");
  while (dataThread_ == DataThread::kRunning) {
    if (clientObject_ != nullptr && !cancelled) {
      TRC(TRC_DETAIL, "Stopping waitOnData thread for applName<%s> attrGroup<%s>: clientObject=@%p", applName_,
          attrGroup_, static_cast<void*>(clientObject_));
      cancelled = dc_waitOnDataCancel(clientObject_) == 0;
      if (!cancelled)
        TRC(TRC_ERROR, "Error: waitOnData thread for applName<%s> attrGroup<%s> cancellation failed.", applName_,
            attrGroup_);
    }
    int rc = ZEV0_ConditionTimedWait(&terminateCond_, &lock_, kStopRetrySeconds);
    if (rc != 0 && rc != ETIMEDOUT) TRC(TRC_ERROR, "Error: pthread_cond_wait failed. rc=%d errno=%d", rc, errno);
  }
  TRC(TRC_DETAIL, "Terminate signal received from waitOnDP thread.");
  ZEVA_ReleaseLock(&lock_, this);
}

const attrInfo_t* userDataInfo::attrInfo(int i) const {
  return columns_.allocated() && i >= 0 && i < noOfColumns_ ? &columns_[i] : nullptr;
}

int16_t userDataInfo::columnType(int i) const {
  const attrInfo_t* column = attrInfo(i);
  return column != nullptr ? column->colType : -1;
}

int16_t userDataInfo::columnLength(int i) const {
  const attrInfo_t* column = attrInfo(i);
  return column != nullptr ? column->length : -1;
}

int16_t userDataInfo::columnOffset(int i) const {
  const attrInfo_t* column = attrInfo(i);
  return column != nullptr ? column->offset : -1;
}

int16_t userDataInfo::columnKeyed(int i) const {
  const attrInfo_t* column = attrInfo(i);
  return column != nullptr ? column->keyed : -1;
}

void userDataInfo::columnInfo(const char* columnName, int16_t* offset, int16_t* length, int16_t* type) const {
  for (int i = 0; columnName != nullptr && i < noOfColumns_; ++i) {
    if (std::strcmp(columns_[i].colName, columnName) != 0) continue;
    *offset = columns_[i].offset;
    *length = columns_[i].length;
    *type = columns_[i].colType;
    return;
  }
  *type = -1;
  TRC(TRC_ERROR, "Error: Could not find column<%s>", columnName != nullptr ? columnName : "(null)");
}

void userDataInfo::printSelf() const {
  TRC1_Printf(&trcUnit_, __LINE__, "Non-repeatable info:");
  TRC1_Printf(&trcUnit_, __LINE__, "   applName       <%s>", applName_);
  TRC1_Printf(&trcUnit_, __LINE__, "   applNameRR     <%s>", applNameRR_);
  TRC1_Printf(&trcUnit_, __LINE__, "   applKey        <%s>", applKey_);
  TRC1_Printf(&trcUnit_, __LINE__, "   tableName      <%s>", tableName_);
  TRC1_Printf(&trcUnit_, __LINE__, "   attrGroup      <%s>", attrGroup_);
  TRC1_Printf(&trcUnit_, __LINE__, "   CVRM           <%s>", cvrm_);
  TRC1_Printf(&trcUnit_, __LINE__, "   LVRM           <%s>", lvrm_);
  TRC1_Printf(&trcUnit_, __LINE__, "   sampleType     <%c>", sampleType_);
  TRC1_Printf(&trcUnit_, __LINE__, "   operGroup      <%d>", operationalGroup_);
  TRC1_Printf(&trcUnit_, __LINE__, "   noOfColumns    <%d>", noOfColumns_);
  TRC1_Printf(&trcUnit_, __LINE__, "   Catalog Row Size <%d>", rowSize_);
  for (int i = 0; i < noOfColumns_; ++i) {
    const attrInfo_t& column = columns_[i];
    TRC1_Printf(&trcUnit_, __LINE__, "   AttrName       <%s>", column.attrName);
    TRC1_Printf(&trcUnit_, __LINE__, "   ColumnName     <%s>", column.colName);
    TRC1_Printf(&trcUnit_, __LINE__, "   Type           <%d> <%.*s>", column.colType,
                static_cast<int>(attrInfo_t::kTypeImageSize), column.typeImage);
    TRC1_Printf(&trcUnit_, __LINE__, "   Length         <%d>", column.length);
    TRC1_Printf(&trcUnit_, __LINE__, "   Offset         <%d>", column.offset);
    TRC1_Printf(&trcUnit_, __LINE__, "   Mini           <%ld>", static_cast<long>(column.mini));
    TRC1_Printf(&trcUnit_, __LINE__, "   Maxi           <%ld>", static_cast<long>(column.maxi));
    TRC1_Printf(&trcUnit_, __LINE__, "   Keyed          <%d>", column.keyed);
    TRC1_Printf(&trcUnit_, __LINE__, "   Atomic         <%d>", column.atomic);
    TRC1_Printf(&trcUnit_, __LINE__, "   Enumerations   <%s>", column.enumStr.c_str());
  }
}
