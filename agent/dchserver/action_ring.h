// The ring that carries action records from the DCH server's request thread to the
// action log's thread: ten slots, of which at most nine wait at once.
//
// The request thread must never wait on the action log, whose thread talks to the
// server through the DCH and so waits on the request thread itself. A put therefore
// never blocks: it stores a record only while an action-log thread takes them (the
// thread says so with readerStarted / readerStopped), and drops it otherwise. When
// nine records wait, the ring is full: that record and every later one is dropped
// until the reader has brought the ring down to five, where a waiting writer would
// have been let in again. The action log is an observer: a dropped record is traced,
// not reported as a failure of the action.
#pragma once

#include <pthread.h>

// One record in the ring: a routed action (requestType 1) or an action's result (2).
struct ActionInfo_t {
  static constexpr int kActionRouted = 1;
  static constexpr int kActionResult = 2;

  int requestType;
  long actionID;
  short actionType;  // 0 in a result record
  char actionOwner[65];
  char actionNode[33];
  char actionName[257];
  char actionParms[1025];   // empty: no parameters
  long actionStatus;        // 1 ("UNKNOWN") in a routed-action record
  int recipients;           // routed: the data providers it was sent to
  char actionResults[257];  // empty: none reported
};

enum class ActionRingPut {
  stored,
  dropped,  // no reader, or the ring is full
  failed,   // the ring's lock could not be taken
};

class actionRing {
 public:
  static constexpr int kSlots = 10;
  static constexpr int kMaxWaiting = kSlots - 1;
  // A take that leaves at most this many records lets writers in again.
  static constexpr int kReopenAt = kSlots / 2;

  actionRing();
  ~actionRing();
  actionRing(const actionRing&) = delete;
  actionRing& operator=(const actionRing&) = delete;

  // Request thread: never waits.
  ActionRingPut put(const ActionInfo_t& record);
  // Action-log thread: waits while the ring is empty. 0 when a record was taken, 1
  // when none was (the ring was closed, or its lock failed).
  int get(ActionInfo_t* record);

  // The action-log thread, when it begins and when it ends taking records.
  void readerStarted();
  void readerStopped();
  // Ends every present and later get without a record, then waits until the reader
  // (if one runs) has stopped: after that no thread uses the ring.
  void close();

 private:
  bool lock();
  void unlock();
  bool storeRecord(const ActionInfo_t& record);

  pthread_mutex_t buf_lock;
  pthread_cond_t notempty;
  pthread_cond_t readerGone;
  int start_idx = 0;
  int num_full = 0;
  bool readerRunning = false;
  bool writersHeld = false;
  bool closed = false;
  ActionInfo_t* data[kSlots] = {};
};
