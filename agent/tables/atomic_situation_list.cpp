#include "atomic_situation_list.h"

#include <atomic>
#include <cstring>
#include <new>

#include "dch/channel_functions.h"
#include "trc1.h"
#include "zev0/threads.h"

TRC_UNIT();

namespace {

std::atomic<atomicSituationList*> theAtomicSituations{nullptr};

}  // namespace

atomicSituationList* atomicSituations() { return theAtomicSituations.load(); }

void setAtomicSituations(atomicSituationList* list) { theAtomicSituations.store(list); }

atomicSituationList::atomicSituationList() { ZEV0_InitializeMutex(&lock_); }

atomicSituationList::~atomicSituationList() {
  emptyList();
  pthread_mutex_destroy(&lock_);
}

int atomicSituationList::getLock() { return ZEVA_GetLock(&lock_, this); }

int atomicSituationList::releaseLock() { return ZEVA_ReleaseLock(&lock_, this); }

atomicSituationEntry* atomicSituationList::addEntry(const char* situation, int columnNumber) {
  if (situation == nullptr || situation[0] == '\0') {
    TRC(TRC_ERROR, "Error: No situation name was supplied. Unable to allocate atomicSituationEntry.");
    return nullptr;
  }
  if (getLock() != 0) {
    TRC(TRC_ERROR, "Error: unable to acquire lock");
    return nullptr;
  }
  atomicSituationEntry* added = nullptr;
  const atomicSituationEntry* listed = findLocked(situation);
  if (listed != nullptr && listed->getColumnNumber() == columnNumber) {
    TRC(TRC_ERROR, "Error: unable to add duplicate atomicSituationEntry for situation <%s> columnNumber %d", situation,
        columnNumber);
  } else {
    if (listed != nullptr)
      TRC(TRC_ERROR, "Warning: an atomicSituationEntry object already exists for situation <%s>", situation);
    added = new (std::nothrow) atomicSituationEntry(situation, columnNumber, &lock_);
    if (added != nullptr)
      entries_.emplace_back(added);
    else
      TRC(TRC_ERROR, "Error: allocating atomicSituationEntry for situation <%s>", situation);
  }
  releaseLock();
  return added;
}

atomicSituationEntry* atomicSituationList::findEntry(const char* situation) {
  if (getLock() != 0) {
    TRC(TRC_ERROR, "Error: unable to acquire lock");
    return nullptr;
  }
  atomicSituationEntry* found = findLocked(situation);
  releaseLock();
  return found;
}

atomicSituationEntry* atomicSituationList::findLocked(const char* situation) const {
  if (situation == nullptr) return nullptr;
  for (const auto& entry : entries_) {
    if (std::strcmp(entry->getSituation(), situation) == 0) {
      TRC(TRC_DETAIL, "Found matching node @%p", static_cast<void*>(entry.get()));
      return entry.get();
    }
  }
  return nullptr;
}

int atomicSituationList::removeEntry(atomicSituationEntry* entry) {
  if (getLock() != 0) {
    TRC(TRC_ERROR, "Error: unable to acquire lock");
    return 0;
  }
  for (auto listed = entries_.begin(); listed != entries_.end(); ++listed)
    if (listed->get() == entry) {
      if (listed == entries_.begin())
        TRC(TRC_DETAIL, "node @%p is first in list, resetting head of list", static_cast<void*>(entry));
      entries_.erase(listed);
      break;
    }
  releaseLock();
  return 0;
}

int atomicSituationList::emptyList() {
  if (getLock() != 0) {
    TRC(TRC_ERROR, "Error: unable to acquire lock");
    return 0;
  }
  while (!entries_.empty()) {
    TRC(TRC_DETAIL, "Deleting atomicSituationEntry @%p, noOfElements=%d", static_cast<void*>(entries_.back().get()),
        getNumberOfElements());
    entries_.pop_back();
  }
  releaseLock();
  return 0;
}
