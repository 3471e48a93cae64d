#include "table_manager_list.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <new>

#include "dch/channel_functions.h"
#include "trc1.h"
#include "zev0/threads.h"

TRC_UNIT();

namespace {

std::atomic<tableManagerList*> theTableManagers{nullptr};

bool hasNumericRelease(const char* tableName, size_t length) {
  return length >= 2 && std::isdigit(static_cast<unsigned char>(tableName[length - 2])) &&
         std::isdigit(static_cast<unsigned char>(tableName[length - 1]));
}

}  // namespace

tableManagerList* tableManagers() { return theTableManagers.load(); }

void setTableManagers(tableManagerList* list) { theTableManagers.store(list); }

tableManagerListEntry::tableManagerListEntry(const char* applName, const char* tableName, zev_dorvan_manager* manager)
    : manager_(manager) {
  std::memcpy(applName_, applName, std::strlen(applName) + 1);
  std::memcpy(tableName_, tableName, std::strlen(tableName) + 1);
}

bool tableManagerListEntry::namesFit(const char* applName, const char* tableName) {
  return applName != nullptr && tableName != nullptr && std::strlen(applName) <= kMaxApplName &&
         std::strlen(tableName) <= kMaxTableName;
}

tableManagerList::~tableManagerList() {
  if (workFile_ != nullptr) std::fclose(workFile_);
  while (tableManagerListEntry* entry = entries_.head()) {
    entries_.remove(entry);
    delete entry;
  }
  pthread_mutex_destroy(&lock_);
}

int tableManagerList::getLock() { return ZEVA_GetLock(&lock_, this); }

int tableManagerList::releaseLock() { return ZEVA_ReleaseLock(&lock_, this); }

int tableManagerList::addEntry(const char* applName, const char* tableName, zev_dorvan_manager* manager, int origin,
                               short SNMPflag) {
  if (errors_ != 0) return 1;
  if (!tableManagerListEntry::namesFit(applName, tableName)) {
    TRC(TRC_ERROR, "Error: applName<%s> tableName<%s> missing or too long", applName ? applName : "(null)",
        tableName ? tableName : "(null)");
    errors_ = 1;
    return 1;
  }
  size_t length = std::strlen(tableName);
  if (!hasNumericRelease(tableName, length)) {
    TRC(TRC_ERROR, "Error: applName<%s> tableName<%s> RR<%s> not numeric.", applName, tableName,
        tableName + (length >= 2 ? length - 2 : 0));
    errors_ = 1;
    return 1;
  }
  if (getLock() != 0) {
    TRC(TRC_ERROR, "Error: unable to acquire lock");
    errors_ = 1;
    return 1;
  }
  auto* entry = new (std::nothrow) tableManagerListEntry(applName, tableName, manager);
  if (entry == nullptr) {
    TRC(TRC_ERROR, "Error: allocating tableManagerListEntry");
    errors_ = 1;
  } else {
    entries_.add(entry);
    if (origin == kNewTable) {
      int wrote = std::fprintf(workFile_, "%s %s %d\n", applName, tableName, SNMPflag);
      if (wrote < 0 || std::fflush(workFile_) != 0) {
        TRC(TRC_ERROR, "Error: errno=%d wrote=%d writing [%s %s %d]", errno, wrote, applName, tableName, SNMPflag);
        errors_ = 1;
      }
    }
  }
  releaseLock();
  return errors_;
}

zev_dorvan_manager* tableManagerList::getTblMgr(const char* applName, const char* tableName) {
  if (applName == nullptr || tableName == nullptr) return nullptr;
  if (getLock() != 0) {
    TRC(TRC_ERROR, "Error: unable to acquire tableManagerList lock");
    return nullptr;
  }
  zev_dorvan_manager* manager = nullptr;
  int visited = 0;
  tableManagerListIterator walk(entries_);
  while (tableManagerListEntry* entry = walk.Next()) {
    ++visited;
    if (std::strcmp(entry->applName(), applName) != 0 || std::strcmp(entry->tableName(), tableName) != 0) continue;
    manager = entry->manager();
    if (visited > kEntriesBeforeMoveToHead) entries_.moveToFront(entry);
    break;
  }
  releaseLock();
  return manager;
}

void tableManagerList::printList() {
  if (getLock() != 0) return;
  TRC1_Printf(&trcUnit_, __LINE__, ">>>>>   tableManagerList   @%p", static_cast<void*>(this));
  tableManagerListIterator walk(entries_);
  while (tableManagerListEntry* entry = walk.Next())
    TRC1_Printf(&trcUnit_, __LINE__, ">> tableManagerListEntry @%p applName <%s> tableName <%s> TblMgr @%p",
                static_cast<void*>(entry), entry->applName(), entry->tableName(),
                static_cast<void*>(entry->manager()));
  TRC1_Printf(&trcUnit_, __LINE__, ">>>>>   count %d", entries_.count());
  releaseLock();
}
