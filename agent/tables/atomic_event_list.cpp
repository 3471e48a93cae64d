#include "atomic_event_list.h"

#include <cstring>
#include <new>

#include "bsv1.h"
#include "dch/channel_functions.h"
#include "trc1.h"
#include "zev0/threads.h"

TRC_UNIT();

atomicEventList::atomicEventList(atomicSituationEntry* owner) : owner_(owner) {
  BSV1_Time now;
  BSV1_GetTime(&now);
  lastTimeStamp_ = static_cast<unsigned long>(now.seconds);
  ZEV0_InitializeMutex(&lock_);
}

atomicEventList::~atomicEventList() {
  emptyList();
  pthread_mutex_destroy(&lock_);
}

int atomicEventList::getLock() { return ZEVA_GetLock(&lock_, this); }

int atomicEventList::releaseLock() { return ZEVA_ReleaseLock(&lock_, this); }

atomicEventEntry* atomicEventList::addEntry(const char* atomicValue) {
  if (atomicValue == nullptr || atomicValue[0] == '\0') {
    TRC(TRC_ERROR, "Error: No atomic value was supplied. Unable to allocate atomicEventEntry.");
    return nullptr;
  }
  if (std::strlen(atomicValue) > atomicEventEntry::kMaxValueLength) {
    TRC(TRC_ERROR, "Error: atomic value <%s> is longer than %d characters. Unable to allocate atomicEventEntry.",
        atomicValue, atomicEventEntry::kMaxValueLength);
    return nullptr;
  }
  if (getLock() != 0) {
    TRC(TRC_ERROR, "Error: unable to acquire lock");
    return nullptr;
  }
  atomicEventEntry* added = new (std::nothrow) atomicEventEntry(atomicValue);
  if (added != nullptr)
    entries_.emplace_back(added);
  else
    TRC(TRC_ERROR, "Error: allocating atomicEventEntry for atomic value <%s>", atomicValue);
  releaseLock();
  return added;
}

atomicEventEntry* atomicEventList::findEntry(const char* atomicValue) {
  if (atomicValue == nullptr) return nullptr;
  if (getLock() != 0) {
    TRC(TRC_ERROR, "Error: unable to acquire lock");
    return nullptr;
  }
  atomicEventEntry* found = nullptr;
  for (const auto& entry : entries_)
    if (std::strcmp(entry->getAtomicValue(), atomicValue) == 0) {
      found = entry.get();
      break;
    }
  releaseLock();
  return found;
}

int atomicEventList::cleanupEntries() {
  if (getLock() != 0) {
    TRC(TRC_ERROR, "Error: unable to acquire lock");
    return 0;
  }
  for (auto entry = entries_.begin(); entry != entries_.end();) {
    if ((*entry)->getTimeStamp() < lastTimeStamp_) {
      TRC(TRC_DETAIL, "Removing node @%p with timestamp %lu", static_cast<void*>(entry->get()),
          (*entry)->getTimeStamp());
      entry = entries_.erase(entry);
    } else {
      ++entry;
    }
  }
  releaseLock();
  return 0;
}

int atomicEventList::removeEntry(atomicEventEntry* entry) {
  if (getLock() != 0) {
    TRC(TRC_ERROR, "Error: unable to acquire lock");
    return 0;
  }
  for (auto listed = entries_.begin(); listed != entries_.end(); ++listed)
    if (listed->get() == entry) {
      entries_.erase(listed);
      if (entries_.empty()) TRC(TRC_DETAIL, "Number of elements equals 0, resetting list");
      break;
    }
  releaseLock();
  return 0;
}

int atomicEventList::emptyList() {
  if (getLock() != 0) {
    TRC(TRC_ERROR, "Error: unable to acquire lock");
    return 0;
  }
  entries_.clear();
  releaseLock();
  return 0;
}

int atomicEventList::getNumberOfElements() {
  if (getLock() != 0) return 0;
  int count = static_cast<int>(entries_.size());
  releaseLock();
  return count;
}
