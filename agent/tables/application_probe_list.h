// The agent's registry of application probes (applicationProbeList): one record per
// application for which the status monitor has started, or is about to start, the
// probe thread that builds the application's definition (userDataList). Each record
// carries the probe's two handshakes with the monitor (probe_signals.h).
//
// Only the status monitor's thread adds, replaces and deletes records; probe threads
// store their definition and signal. Every operation takes the list's lock itself
// (cleanUp holds it across the sample registry's removal, so the list's lock comes
// before the registry's); a record's handshake locks are taken after it is released.
#pragma once

#include <pthread.h>

#include <cstdint>
#include <memory>

#include "agent_ring.h"
#include "probe_signals.h"

class userDataList;

// A probe record, built by its callers and passed by value. Copies share the signals.
struct applDataStruct {
  static constexpr size_t kMaxApplName = 20;
  // status values; 0 is the answer when there is no record.
  static constexpr int16_t kNotStarted = 1;
  static constexpr int16_t kStarted = 2;
  static constexpr int16_t kEndedInErrors = -1;

  char applName[kMaxApplName + 1] = {};
  int16_t status = 0;
  userDataList* udl = nullptr;
  // Made by the list for a new record; kept when a record replaces it.
  std::shared_ptr<probeSignals> signals;
};

class applicationProbeListEntry : public RingLink<applicationProbeListEntry> {
 public:
  // Takes a copy of the record with signals of its own.
  explicit applicationProbeListEntry(const applDataStruct& record);

  applDataStruct& info() { return info_; }
  const applDataStruct& info() const { return info_; }
  void setUserDataList(userDataList* udl) { info_.udl = udl; }
  void printSelf() const;

 private:
  applDataStruct info_;
};

using applicationProbeListIterator = RingIterator<applicationProbeListEntry>;

class applicationProbeList {
 public:
  applicationProbeList();
  // Deletes the records; a probe still waiting keeps its signals.
  ~applicationProbeList();
  applicationProbeList(const applicationProbeList&) = delete;
  applicationProbeList& operator=(const applicationProbeList&) = delete;

  // A record of that name has its name, state and definition replaced (its signals
  // stay); else a new record is added. 0, or 1 on failure.
  int addEntry(const applDataStruct& record);
  // The state of the record of that name, 0 when there is none.
  int16_t searchProbes(const char* applName);
  // A copy of the record of that name (sharing its signals): true, or false when none.
  bool getApplDataStore(const char* applName, applDataStruct* record);
  // Stores the definition in the record of that name: 1 found, 0 not.
  int setUserDataList(const char* applName, userDataList* udl);
  // The definition of the first record whose name begins with the same three
  // characters (the application key), or null.
  userDataList* getUDLPtr(const char* applName);
  // As getUDLPtr, the definition held until the hold goes: its probe does not delete it
  // meanwhile. Empty when there is none.
  userDataListHold holdUDL(const char* applName);

  // The definition-built handshake: the probe marks its definition built and signals;
  // the monitor waits for it (probe_signals.h). 0, or 1 for a missing record or a
  // failure; the wait also 1 on time-out.
  int signalWaiters(const char* applName);
  int WaitForUDL(const char* applName);

  // The monitor's part when a source goes offline: removes the source of the group and
  // release from the sample registry; when that was the application's last, asks the
  // probe to exit, and deletes the record. -1 application removed, 0 source removed, 1
  // no record of that name (or a failed lock).
  int cleanUp(const char* applName, const char* attrGroup, const char* RR, const char* sourceName);

  int noOfElements();
  void printList();

 private:
  int getLock();
  int releaseLock();
  // Under the lock.
  applicationProbeListEntry* findLocked(const char* applName) const;
  // Under the lock: asks the probe of the record of that name to exit. 0, or 1 when
  // there is none or the signal failed.
  int signalExit(const char* applName);

  Ring<applicationProbeListEntry> entries_;
  pthread_mutex_t lock_;
};

// The agent's probe list, or null while there is none.
applicationProbeList* startedProbes();
// Publishes the agent's probe list (null when it goes).
void setStartedProbes(applicationProbeList* list);
