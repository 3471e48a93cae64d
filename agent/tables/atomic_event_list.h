// The atomic values that the agent has already acted upon for one atomic situation,
// and the start of the current de-duplication window.
//
// The list has its own lock, which each operation takes once; users that also hold the
// situation list's lock take that one first (atomic_situation_entry.h).
#pragma once

#include <pthread.h>

#include <memory>
#include <vector>

#include "atomic_event_entry.h"

class atomicSituationEntry;

class atomicEventList {
 public:
  // An empty list whose window starts now.
  explicit atomicEventList(atomicSituationEntry* owner);
  ~atomicEventList();
  atomicEventList(const atomicEventList&) = delete;
  atomicEventList& operator=(const atomicEventList&) = delete;

  atomicSituationEntry* owner() const { return owner_; }
  // Seconds since the epoch.
  unsigned long getLastTimeStamp() const { return lastTimeStamp_; }
  void setLastTimeStamp(unsigned long seconds) { lastTimeStamp_ = seconds; }

  // Appends the value stamped now. Null for a missing or empty value, a value over
  // atomicEventEntry::kMaxValueLength characters, when the lock cannot be taken or the
  // entry cannot be allocated.
  atomicEventEntry* addEntry(const char* atomicValue);
  // The first entry holding exactly this value, or null.
  atomicEventEntry* findEntry(const char* atomicValue);
  // Forgets the values stamped before the window start. 0.
  int cleanupEntries();
  // Forgets one value (nothing when it is not in the list). 0.
  int removeEntry(atomicEventEntry* entry);
  // Forgets every value. 0.
  int emptyList();
  int getNumberOfElements();

  // 0, or the lock's error code.
  int getLock();
  int releaseLock();

 private:
  atomicSituationEntry* owner_;
  unsigned long lastTimeStamp_;
  std::vector<std::unique_ptr<atomicEventEntry>> entries_;
  pthread_mutex_t lock_;
};
