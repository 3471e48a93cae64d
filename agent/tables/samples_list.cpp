#include "samples_list.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>

#include "dch/channel_functions.h"
#include "nothrow_append.h"
#include "trc1.h"
#include "zev0/threads.h"

TRC_UNIT();

namespace {

std::atomic<samplesList*> theDataSamples{nullptr};

// An entry found behind this many others moves to the front.
constexpr int kEntriesBeforeMoveToFront = 20;
// Row lists left by offline sources that are kept at most: sources that never come back
// (any data provider can name new ones) hold no more than this.
constexpr size_t kMostLeftRowLists = 256;

bool sameName(const char* a, const char* b) { return a != nullptr && b != nullptr && std::strcmp(a, b) == 0; }

// An entry or a row list of that key, table and source.
template <class Named>
bool sameSource(const Named& named, const char* applKey, const char* tableName, const char* sourceName) {
  return sameName(named.applKey(), applKey) && sameName(named.tableName(), tableName) &&
         sameName(named.sourceName(), sourceName);
}

template <size_t N>
const char* copyResult(char (&result)[N], const char* text) {
  std::snprintf(result, N, "%s", text);
  return result;
}

}  // namespace

samplesList* dataSamples() { return theDataSamples.load(); }

void setDataSamples(samplesList* list) { theDataSamples.store(list); }

samplesList::samplesList() { ZEV0_InitializeMutex(&lock_); }

samplesList::~samplesList() {
  entries_.clear();
  leftRows_.clear();
  pthread_mutex_destroy(&lock_);
}

bool samplesList::getLock() {
  if (ZEVA_GetLock(&lock_, this) == 0) return true;
  TRC(TRC_ERROR, "Error: unable to acquire samplesList lock.");
  return false;
}

void samplesList::releaseLock() { ZEVA_ReleaseLock(&lock_, this); }

samplesListEntry* samplesList::createEntry(const char* applKey, const char* tableName, const char* sourceName,
                                           const char* subnodeName) {
  return appendOrNull(entries_, applKey, tableName, sourceName, subnodeName);
}

// Under the lock. The row list left for the source of an entry or a list, or the end.
template <class Named>
samplesList::LeftRows::iterator samplesList::leftRowsOf(const Named& named) {
  return std::find_if(leftRows_.begin(), leftRows_.end(), [&named](const std::shared_ptr<dataList>& left) {
    return sameSource(*left, named.applKey(), named.tableName(), named.sourceName());
  });
}

// Under the lock.
void samplesList::leaveRows(std::shared_ptr<dataList> list) {
  if (auto earlier = leftRowsOf(*list); earlier != leftRows_.end()) leftRows_.erase(earlier);
  if (appendOrNull(leftRows_, std::move(list)) == nullptr) return;
  if (leftRows_.size() <= kMostLeftRowLists) return;
  const dataList& oldest = *leftRows_.front();
  TRC(TRC_DETAIL, "Row list @%p of <%s/%s/%s> dropped: %zu row lists of offline sources are kept at most.",
      static_cast<const void*>(&oldest), oldest.applKey(), oldest.tableName(), oldest.sourceName(),
      kMostLeftRowLists);
  leftRows_.pop_front();
}

// Under the lock. A list of the source left already gets the rows of a thread that is
// ending: they follow it.
std::shared_ptr<dataList> samplesList::leftRowsOrLeave(std::shared_ptr<dataList> list) {
  if (auto earlier = leftRowsOf(*list); earlier != leftRows_.end()) return *earlier;
  leaveRows(list);
  return list;
}

// Under the lock.
void samplesList::takeLeftRows(samplesListEntry& entry) {
  if (entry.dataListPtr() != nullptr) return;
  auto left = leftRowsOf(entry);
  if (left == leftRows_.end()) return;
  TRC(TRC_DETAIL, "samplesListEntry[%s/%s/%s] takes over the row list @%p of its earlier online.", entry.applKey(),
      entry.tableName(), entry.sourceName(), static_cast<void*>(left->get()));
  entry.setDataListPtr(std::move(*left));
  leftRows_.erase(left);
}

const char* samplesList::onlineEntry(const char* applName, const char* tableName, const char* attrGroup,
                                     const char* release, const char* sourceName, SubnodeName& subnodeName) {
  UntouchedName untouched = {};
  if (applName == nullptr ||
      ZEVA_SetSubnodeName(applName, attrGroup, sourceName, release, subnodeName, untouched) != 0)
    return nullptr;
  char applKey[samplesListEntry::kApplKeySize];
  std::snprintf(applKey, sizeof applKey, "%.3s", applName);
  if (!getLock()) return subnodeName;
  samplesListEntry* entry = nullptr;
  for (samplesListEntry& candidate : entries_) {
    if (sameName(candidate.subnodeName(), subnodeName) &&
        (candidate.attrGroup()[0] == '\0' || sameName(candidate.attrGroup(), attrGroup))) {
      entry = &candidate;
      break;
    }
  }
  const char* result = subnodeName;
  if (entry != nullptr) {
    entry->setAttrGroup(attrGroup);
    entry->setTableName(tableName);
    // An entry made for deferred requests has the source name of the subnode name,
    // which is cut short for a long source; rows come under the whole name.
    entry->setSourceName(sourceName);
    entry->setSubnodeName(nullptr, untouched);
    entry->setSubnodeStatus(samplesListEntry::kOnline);
    takeLeftRows(*entry);
    entry->redriveAll();
  } else if ((entry = createEntry(applKey, tableName, sourceName, nullptr)) != nullptr) {
    entry->setAttrGroup(attrGroup);
    entry->setSubnodeName(subnodeName, untouched);
    takeLeftRows(*entry);
  } else {
    TRC(TRC_ERROR, "Error: allocating samplesListEntry[%s/%s/%s]", applKey, tableName, sourceName);
    result = nullptr;
  }
  releaseLock();
  return result;
}

int samplesList::updateDataList(const char* applKey, const char* attrGroup, const char* sourceName,
                                std::shared_ptr<dataList> list) {
  if (list == nullptr || !getLock()) return 1;
  int result = 1;
  for (samplesListEntry& entry : entries_) {
    // The table too: the entry of an earlier release of the table has the same group.
    if (sameName(entry.applKey(), applKey) && sameName(entry.attrGroup(), attrGroup) &&
        sameName(entry.sourceName(), sourceName) && sameName(entry.tableName(), list->tableName())) {
      if (entry.dataListPtr() == nullptr) entry.setDataListPtr(std::move(list));
      result = 0;
      break;
    }
  }
  releaseLock();
  if (result != 0) TRC(TRC_ERROR, "Warning: No samplesListEntry[%s/%s/%s] found.", applKey, attrGroup, sourceName);
  return result;
}

std::shared_ptr<dataList> samplesList::leaveDataList(std::shared_ptr<dataList> list) {
  if (list == nullptr || !getLock()) return list;
  auto entry = entries_.begin();
  while (entry != entries_.end() && !sameSource(*list, entry->applKey(), entry->tableName(), entry->sourceName()))
    ++entry;
  if (entry == entries_.end())
    list = leftRowsOrLeave(std::move(list));
  else if (entry->dataListPtr() == nullptr)
    entry->setDataListPtr(list);
  else
    list = entry->dataListPtr();
  releaseLock();
  return list;
}

std::shared_ptr<dataList> samplesList::dataListPtr(const char* applKey, const char* tableName,
                                                   const char* sourceName) {
  if (!getLock()) return nullptr;
  std::shared_ptr<dataList> found;
  int position = 0;
  for (auto entry = entries_.begin(); entry != entries_.end(); ++entry, ++position) {
    if (sameSource(*entry, applKey, tableName, sourceName)) {
      found = entry->dataListPtr();
      if (position >= kEntriesBeforeMoveToFront) entries_.splice(entries_.begin(), entries_, entry);
      break;
    }
  }
  releaseLock();
  return found;
}

int samplesList::requestDefer(const char* applKey, const char* subnodeName, deferredRequester* agent,
                              uint32_t handle, int kind) {
  if (subnodeName == nullptr || agent == nullptr || !getLock()) return 1;
  samplesListEntry* entry = nullptr;
  for (samplesListEntry& candidate : entries_) {
    if (sameName(candidate.subnodeName(), subnodeName)) {
      entry = &candidate;
      break;
    }
  }
  if (entry == nullptr) entry = createEntry(applKey, nullptr, nullptr, subnodeName);
  int result = 1;
  if (entry == nullptr)
    TRC(TRC_ERROR, "Error: allocating samplesListEntry[%s/%s]", applKey, subnodeName);
  else if (entry->AddDeferRequest(agent, handle, kind) >= 0)
    result = 0;
  releaseLock();
  return result;
}

void samplesList::removeDeferRequest(const char* applKey, const char* tableName, const char* sourceName,
                                     deferredRequester* agent) {
  if (!getLock()) return;
  for (samplesListEntry& entry : entries_) {
    if (sameSource(entry, applKey, tableName, sourceName)) {
      entry.RemoveDeferRequest(agent);
      break;
    }
  }
  releaseLock();
}

void samplesList::removeDeferRequests(deferredRequester* agent) {
  if (agent == nullptr || !getLock()) return;
  for (samplesListEntry& entry : entries_) entry.RemoveDeferRequest(agent);
  releaseLock();
}

int samplesList::removeEntry(const char* applKey, const char* tableName, const char* sourceName) {
  if (!getLock()) return 0;
  int withKey = 0;
  bool removed = false;
  for (auto entry = entries_.begin(); entry != entries_.end();) {
    auto next = std::next(entry);
    if (sameName(entry->applKey(), applKey)) {
      ++withKey;
      if (!removed && sameName(entry->tableName(), tableName) && sameName(entry->sourceName(), sourceName)) {
        TRC(TRC_DETAIL, "Deleting samplesListEntry @%p [%s/%s/%s]", static_cast<void*>(&*entry), applKey,
            tableName, sourceName);
        if (entry->dataListPtr() != nullptr) leaveRows(entry->dataListPtr());
        entries_.erase(entry);
        removed = true;
      }
    }
    entry = next;
  }
  releaseLock();
  return withKey >= 2 ? 1 : 0;
}

int samplesList::getSubnodeName(const char* applKey, const char* sourceName, const char* attrGroup,
                                SubnodeName& subnodeName) {
  subnodeName[0] = '\0';
  if (!getLock()) return 1;
  int result = 1;
  for (const samplesListEntry& entry : entries_) {
    if (sameName(entry.applKey(), applKey) && sameName(entry.sourceName(), sourceName) &&
        sameName(entry.attrGroup(), attrGroup)) {
      copyResult(subnodeName, entry.subnodeName());
      result = 0;
      break;
    }
  }
  releaseLock();
  if (result != 0) TRC(TRC_ERROR, "Error: samplesListEntry[%s/%s/%s] not found.", applKey, sourceName, attrGroup);
  return result;
}

const char* samplesList::getSourceNameFromSubnodeName(const char* subnodeName, SourceName& sourceName) {
  if (!getLock()) return nullptr;
  const char* result = nullptr;
  for (const samplesListEntry& entry : entries_) {
    if (sameName(entry.subnodeName(), subnodeName)) {
      result = copyResult(sourceName, entry.sourceName());
      break;
    }
  }
  releaseLock();
  return result;
}

int samplesList::subnodeOnline(const char* subnodeName) {
  if (!getLock()) return 0;
  int previous = 0;
  for (samplesListEntry& entry : entries_) {
    if (sameName(entry.subnodeName(), subnodeName)) {
      previous = entry.subnodeStatus();
      entry.setSubnodeStatus(samplesListEntry::kRegistered);
      break;
    }
  }
  releaseLock();
  return previous;
}

samplesList::Entries::iterator samplesList::findOnlineForTable(const char* subnodeName, const char* tableName) {
  for (auto entry = entries_.begin(); entry != entries_.end(); ++entry) {
    if (entry->subnodeStatus() > samplesListEntry::kDeferredOnly && sameName(entry->subnodeName(), subnodeName) &&
        sameName(entry->tableName(), tableName))
      return entry;
  }
  return entries_.end();
}

int samplesList::subnodeOnlineForTable(const char* subnodeName, const char* tableName) {
  if (!getLock()) return 0;
  int online = findOnlineForTable(subnodeName, tableName) != entries_.end() ? 1 : 0;
  releaseLock();
  return online;
}

const char* samplesList::getOriginalSubnodeName(const char* subnodeName, const char* tableName,
                                                UntouchedName& untouched) {
  if (!getLock()) return nullptr;
  auto entry = findOnlineForTable(subnodeName, tableName);
  const char* result = entry != entries_.end() ? copyResult(untouched, entry->subnodeNameUntouched()) : nullptr;
  releaseLock();
  return result;
}

int samplesList::countOfAttrGroups(const char* applKey, const char* sourceName) {
  if (!getLock()) return 0;
  int count = 0;
  for (const samplesListEntry& entry : entries_)
    if (sameName(entry.applKey(), applKey) && sameName(entry.sourceName(), sourceName)) ++count;
  releaseLock();
  return count;
}

int samplesList::noOfElements() {
  if (!getLock()) return 0;
  int count = static_cast<int>(entries_.size());
  releaseLock();
  return count;
}

void samplesList::printList() {
  if (!TRC_ON(TRC_DETAIL) || !getLock()) return;
  TRC(TRC_DETAIL, ">>>>>   samplesList   @%p \n", static_cast<void*>(this));
  int count = 0;
  for (const samplesListEntry& entry : entries_) {
    TRC(TRC_DETAIL, ">>>>>   count %d \n", ++count);
    entry.printSelf();
  }
  releaseLock();
}
