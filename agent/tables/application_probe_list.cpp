#include "application_probe_list.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <new>

#include "dch/channel_functions.h"
#include "samples_list.h"
#include "table_name.h"
#include "user_data_list.h"
#include "trc1.h"
#include "zev0/threads.h"

TRC_UNIT();

namespace {

std::atomic<applicationProbeList*> theStartedProbes{nullptr};

constexpr size_t kApplKeyLength = 3;

}  // namespace

applicationProbeList* startedProbes() { return theStartedProbes.load(); }

void setStartedProbes(applicationProbeList* list) { theStartedProbes.store(list); }

applicationProbeListEntry::applicationProbeListEntry(const applDataStruct& record) : info_(record) {
  info_.signals = std::make_shared<probeSignals>();
}

void applicationProbeListEntry::printSelf() const {
  TRC(TRC_DETAIL, ">> applicationProbeListEntry @%p Next @%p Prev @%p.\n", static_cast<const void*>(this),
      static_cast<void*>(Next()), static_cast<void*>(Prev()));
  TRC(TRC_DETAIL, "   applName     <%s>", info_.applName);
  TRC(TRC_DETAIL, "   status       <%d>", info_.status);
  TRC(TRC_DETAIL, "   userDataList <%p>", static_cast<void*>(info_.udl));
}

applicationProbeList::applicationProbeList() { ZEV0_InitializeMutex(&lock_); }

applicationProbeList::~applicationProbeList() {
  while (applicationProbeListEntry* entry = entries_.head()) {
    entries_.remove(entry);
    delete entry;
  }
  pthread_mutex_destroy(&lock_);
}

int applicationProbeList::getLock() {
  int rc = ZEVA_GetLock(&lock_, this);
  if (rc != 0) TRC(TRC_ERROR, "Error: unable to acquire lock");
  return rc;
}

int applicationProbeList::releaseLock() { return ZEVA_ReleaseLock(&lock_, this); }

applicationProbeListEntry* applicationProbeList::findLocked(const char* applName) const {
  TRC(TRC_DETAIL, "Searching for <%s>", applName);
  RingIterator<applicationProbeListEntry> walk(entries_);
  while (applicationProbeListEntry* entry = walk.Next())
    if (std::strcmp(entry->info().applName, applName) == 0) return entry;
  TRC(TRC_DETAIL, "No match found using <%s>", applName);
  return nullptr;
}

int applicationProbeList::addEntry(const applDataStruct& record) {
  if (getLock() != 0) return 1;
  int result = 0;
  if (applicationProbeListEntry* existing = findLocked(record.applName)) {
    applDataStruct& stored = existing->info();
    std::memcpy(stored.applName, record.applName, sizeof stored.applName);
    stored.status = record.status;
    stored.udl = record.udl;
  } else if (auto* entry = new (std::nothrow) applicationProbeListEntry(record)) {
    entries_.add(entry);
    TRC(TRC_DETAIL, "Allocated applicationProbeListEntry @%p noOfElements=%d", static_cast<void*>(entry),
        entries_.count());
  } else {
    TRC(TRC_ERROR, "Error: allocating applicationProbeListEntry");
    result = 1;
  }
  releaseLock();
  return result;
}

int16_t applicationProbeList::searchProbes(const char* applName) {
  if (getLock() != 0) return 0;
  applicationProbeListEntry* entry = findLocked(applName);
  int16_t status = entry != nullptr ? entry->info().status : 0;
  releaseLock();
  return status;
}

bool applicationProbeList::getApplDataStore(const char* applName, applDataStruct* record) {
  if (getLock() != 0) return false;
  applicationProbeListEntry* entry = findLocked(applName);
  if (entry != nullptr) *record = entry->info();
  releaseLock();
  return entry != nullptr;
}

int applicationProbeList::setUserDataList(const char* applName, userDataList* udl) {
  if (getLock() != 0) return 0;
  applicationProbeListEntry* entry = findLocked(applName);
  if (entry != nullptr) entry->setUserDataList(udl);
  releaseLock();
  return entry != nullptr ? 1 : 0;
}

userDataList* applicationProbeList::getUDLPtr(const char* applName) {
  if (getLock() != 0) return nullptr;
  TRC(TRC_DETAIL, "Searching for <%s>", applName);
  userDataList* udl = nullptr;
  bool found = false;
  RingIterator<applicationProbeListEntry> walk(entries_);
  while (applicationProbeListEntry* entry = walk.Next()) {
    if (std::strncmp(entry->info().applName, applName, kApplKeyLength) == 0) {
      udl = entry->info().udl;
      found = true;
      TRC(TRC_DETAIL, "Found match. Returning @%p", static_cast<void*>(udl));
      break;
    }
  }
  if (!found) TRC(TRC_DETAIL, "No match found using <%s>", applName);
  releaseLock();
  return udl;
}

userDataListHold applicationProbeList::holdUDL(const char* applName) {
  if (getLock() != 0) return {};
  userDataListHold hold;
  RingIterator<applicationProbeListEntry> walk(entries_);
  while (applicationProbeListEntry* entry = walk.Next()) {
    if (std::strncmp(entry->info().applName, applName, kApplKeyLength) != 0) continue;
    // Taken under the list's lock: cleanUp cannot let the probe go in between.
    if (entry->info().udl != nullptr && entry->info().signals != nullptr)
      hold = userDataListHold(entry->info().udl, entry->info().signals);
    break;
  }
  releaseLock();
  return hold;
}

int applicationProbeList::signalWaiters(const char* applName) {
  if (getLock() != 0) return 1;
  applicationProbeListEntry* entry = findLocked(applName);
  std::shared_ptr<probeSignals> signals = entry != nullptr ? entry->info().signals : nullptr;
  if (entry != nullptr && entry->info().udl != nullptr) entry->info().udl->status(1);
  releaseLock();
  return signals != nullptr ? signals->signalBuilt(applName) : 1;
}

int applicationProbeList::WaitForUDL(const char* applName) {
  if (getLock() != 0) return 1;
  applicationProbeListEntry* entry = findLocked(applName);
  std::shared_ptr<probeSignals> signals = entry != nullptr ? entry->info().signals : nullptr;
  releaseLock();
  if (signals == nullptr) return 1;
  TRC(TRC_DETAIL, "Match found using <%s>", applName);
  return signals->waitForBuilt(applName);
}

int applicationProbeList::signalExit(const char* applName) {
  RingIterator<applicationProbeListEntry> walk(entries_);
  while (applicationProbeListEntry* entry = walk.Next()) {
    TRC(TRC_DETAIL, "Comparing applName <%s> against <%s>", entry->info().applName, applName);
    if (std::strcmp(entry->info().applName, applName) == 0) return entry->info().signals->signalExit(applName);
  }
  return 1;
}

int applicationProbeList::cleanUp(const char* applName, const char* attrGroup, const char* RR,
                                  const char* sourceName) {
  char applKey[kApplKeyLength + 1];
  std::snprintf(applKey, sizeof applKey, "%s", applName);
  TRC(TRC_DETAIL, "Parm: applName<%s> attrGroup<%s> RR<%s> sourceName<%s> applKey<%s>", applName, attrGroup, RR,
      sourceName, applKey);
  if (getLock() != 0) return 1;
  applicationProbeListEntry* entry = findLocked(applName);
  if (entry == nullptr) {
    releaseLock();
    return 1;
  }
  char tableName[kTableNameSize];
  formatTableName(tableName, applKey, attrGroup, RR);
  samplesList* registry = dataSamples();
  int othersLeft = registry != nullptr ? registry->removeEntry(applKey, tableName, sourceName) : 0;
  int result = 0;
  if (othersLeft == 0) {
    signalExit(applName);
    // The probe deletes the definition itself once it has left its wait.
    entry->setUserDataList(nullptr);
    entries_.remove(entry);
    TRC(TRC_DETAIL, "Deleting applicationProbeListEntry @%p, noOfElements=%d", static_cast<void*>(entry),
        entries_.count());
    delete entry;
    result = -1;
  }
  releaseLock();
  return result;
}

int applicationProbeList::noOfElements() {
  if (getLock() != 0) return 0;
  int count = entries_.count();
  releaseLock();
  return count;
}

void applicationProbeList::printList() {
  if (!TRC_ON(TRC_DETAIL) || getLock() != 0) return;
  TRC(TRC_DETAIL, ">>>>>   applicationProbeList   @%p \n", static_cast<void*>(this));
  int count = 0;
  RingIterator<applicationProbeListEntry> walk(entries_);
  while (applicationProbeListEntry* entry = walk.Next()) {
    TRC(TRC_DETAIL, ">>>>>   count %d \n", ++count);
    entry->printSelf();
  }
  releaseLock();
}
