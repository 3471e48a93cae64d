// One atomic situation: its name, its atomic column and the event list of the values
// already acted upon.
//
// The event list is made by the action path on a table thread and removed by the DCH
// server's request thread when a rule stop of the situation passes through. Both sides
// work on it under the lock of the list that holds the entry: the action path takes it
// (atomicSituationList::getLock) while it makes or uses the event list, and
// removeAtomicEventList takes it itself, so the list is never deleted under a user.
#pragma once

#include <pthread.h>

#include <memory>

#include "atomic_event_list.h"

class atomicSituationEntry {
 public:
  static constexpr int kSituationNameSize = 36;

  // The name is cut to 35 characters. listLock: the lock of the list that holds the entry.
  atomicSituationEntry(const char* situation, int columnNumber, pthread_mutex_t* listLock);
  ~atomicSituationEntry();
  atomicSituationEntry(const atomicSituationEntry&) = delete;
  atomicSituationEntry& operator=(const atomicSituationEntry&) = delete;

  const char* getSituation() const { return situation_; }
  int getColumnNumber() const { return columnNumber_; }
  unsigned long getCreationTime() const { return creationTime_; }
  int getSituationInterval() const { return situationInterval_; }
  void setSituationInterval(int seconds) { situationInterval_ = seconds; }

  // With the list's lock held: the event list, or null when the entry has none.
  atomicEventList* getAtomicEventList() const { return atomicEventList_.get(); }
  // With the list's lock held: makes an empty event list (replacing any) and returns
  // it, or null when it cannot be allocated.
  atomicEventList* addAtomicEventList();
  // Takes the list's lock itself (the caller must not hold it) and deletes the event
  // list, if there is one. When the lock cannot be taken nothing changes.
  void removeAtomicEventList();

 private:
  char situation_[kSituationNameSize];
  int columnNumber_;
  unsigned long creationTime_;
  std::unique_ptr<atomicEventList> atomicEventList_;
  int situationInterval_ = 0;
  pthread_mutex_t* listLock_;
};
