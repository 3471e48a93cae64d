// The agent's list of atomic situations: the situations whose actions are acted upon
// once per value of their atomic column. The agent core makes the one list of the
// process at start-up, publishes it (setAtomicSituations) and deletes it at shut-down.
//
// The list has its own lock. Entries are added at start-up only; findEntry walks
// under the lock, and the entries' event lists are made, used and removed under it
// (atomic_situation_entry.h): admitAction holds it while it works on an event list, so
// a rule stop cannot delete the list under it.
#pragma once

#include <pthread.h>

#include <memory>
#include <vector>

#include "atomic_situation_entry.h"

// What becomes of an action of an atomic situation.
enum class atomicAdmission {
  act,        // carry the action out
  duplicate,  // its value was acted upon in this window: drop it
  noValue,    // the row has no value in the atomic column: refuse it
};

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
  // Under the lock: deletes the entry with its event list (nothing when it is not
  // listed). 0.
  int removeEntry(atomicSituationEntry* entry);
  // Under the lock: deletes every entry. 0.
  int emptyList();

  // Under the list's lock (the caller must not hold it): records the situation's sampling
  // interval in its entry (an entry of this list), whatever becomes of the action then.
  void recordInterval(atomicSituationEntry* entry, int interval);
  // The de-duplication window of an action of the entry's situation (an entry of this
  // list), under the list's lock (the caller must not hold it): makes the event list on
  // first use; starts a new window (forgetting the values not seen in the last one) when
  // more than interval - 10 seconds have passed since the window began, so never for an
  // interval below 10;
  // then drops a value seen in the window (keeping it for the next) or records a new
  // one. atomicValue: the text of the row's atomic column (a number as decimal text).
  // A value over atomicEventEntry::kMaxValueLength characters is acted upon and not
  // recorded; an empty one is refused.
  atomicAdmission admitAction(atomicSituationEntry* entry, int interval, const char* atomicValue);

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
