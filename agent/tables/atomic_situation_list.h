// The agent's list of atomic situations: the situations whose actions are acted upon
// once per value of their atomic column. The agent core makes the one list of the
// process at start-up, publishes it (setAtomicSituations) and deletes it at shut-down.
//
// The list has its own lock. Entries are added at start-up only; findEntry walks
// under the lock, and the entries' event lists are made, used and removed under it
// (atomic_situation_entry.h).
#pragma once

#include <pthread.h>

#include <memory>
#include <vector>

#include "atomic_situation_entry.h"

class atomicSituationList {
 public:
  atomicSituationList();
  ~atomicSituationList();
  atomicSituationList(const atomicSituationList&) = delete;
  atomicSituationList& operator=(const atomicSituationList&) = delete;

  // Adds a situation with its atomic column, after the others. Null for a missing or
  // empty name, for a name already listed with the same column (a name listed with
  // another column is added all the same: findEntry gives the first), when the lock
  // cannot be taken or the entry cannot be allocated.
  atomicSituationEntry* addEntry(const char* situation, int columnNumber);
  // Under the lock (the caller must not hold it): the first entry whose name equals
  // the given one exactly, or null.
  atomicSituationEntry* findEntry(const char* situation);
  int getNumberOfElements() const { return static_cast<int>(entries_.size()); }

  // 0, or the lock's error code.
  int getLock();
  int releaseLock();

 private:
  atomicSituationEntry* findLocked(const char* situation) const;

  std::vector<std::unique_ptr<atomicSituationEntry>> entries_;
  pthread_mutex_t lock_;
};

// The agent's list, or null while there is none.
atomicSituationList* atomicSituations();
// Publishes the agent's list (null when it goes).
void setAtomicSituations(atomicSituationList* list);
