// The DCH server's table of actions in flight, and the feed of the action log.
//
// The server's request thread hands the table the automation actions it routes and
// the action results that come back, as records in the table's ring; it never waits
// on the action log (see action_ring.h). The action log's thread takes the records
// (cb_get_data), applies them to the list of entries under the table's lock and
// writes a row for each; the request thread reads an action's status under the
// same lock. The action log's thread brackets its taking with actionLogStarted and
// actionLogStopped: records are put only in between.
#pragma once

#include <pthread.h>

#include <atomic>

#include "action_ring.h"
#include "action_table_entry.h"
#include "agent_ring.h"

// Walks the entries: the list head first, then the others oldest first.
using actionTableIterator = RingIterator<actionTableEntry>;

class actionTable {
 public:
  static constexpr int kSourceNameSize = 36;

  actionTable();
  // Closes the ring (closeRing), then frees the entries still in the list.
  ~actionTable();
  actionTable(const actionTable&) = delete;
  actionTable& operator=(const actionTable&) = delete;

  // --- The request thread ---------------------------------------------------
  // Records a routed action when it is an automation action (others are ignored,
  // result 0). Texts are cut to their holders (owner 64, node 32, name 256,
  // parameters 1024 characters); parms may be null. recipients: the data providers
  // the action goes to, each of which answers it. 0, or 1 when the record could
  // not be handed over for a failure of the ring (a record the action log cannot
  // take is dropped with a trace: it is no failure of the action).
  int addEntry(short actionType, const char* owner, const char* node, const char* name, long actionID,
               const char* parms, int recipients = 1);
  // Records an action's result; results may be null. 0 or 1 as addEntry.
  int recordActionResults(long actionID, long status, const char* results);
  // The status of the first entry with that ID; 1 ("UNKNOWN") when there is none.
  long getActionStatus(long actionID);

  // "UNKNOWN" for a type outside the table.
  static const char* actionTypeText(short type);
  // The status table's text for 0..13, "UNKNOWN" above; for a negative status
  // "INPUTPARM_ERROR <absolute value>" in a buffer of the calling thread that its
  // next such call overwrites.
  static const char* actionStatusText(long status);

  // Puts a record; never waits. 0, or 1 when the ring failed.
  int cb_put_data(const ActionInfo_t& record);

  // --- The action log's thread --------------------------------------------
  // Takes the oldest record, waiting while there is none. 0 taken; 1 none (the
  // table is being destroyed, or the ring failed): the thread then ends.
  int cb_get_data(ActionInfo_t* record);
  void actionLogStarted() { _actionInfo.readerStarted(); }
  // Ends every present and later take without a record and waits until the action
  // log's thread has stopped taking (the owner's last step, before the table may
  // linger with threads that share it).
  void closeRing() { _actionInfo.close(); }
  // The last thing the thread does with the table.
  void actionLogStopped() { _actionInfo.readerStopped(); }

  // The table's lock guards the list, latest and requestType.
  pthread_mutex_t* lock() { return &_lock; }
  // With the lock held: links a new entry in after the list head (the first entry
  // of an empty list becomes the head).
  void linkEntry(actionTableEntry* entry) { _list.add(entry); }
  // With the lock held: the first entry with that ID in walking order, or null.
  actionTableEntry* findEntry(long actionID) const;
  // Takes the lock itself. Unlinks and deletes the entry: 0, or 1 when it is not in
  // the list or the lock cannot be taken.
  int removeEntry(actionTableEntry* entry);

  const Ring<actionTableEntry>& entries() const { return _list; }
  actionTableEntry* list() const { return _list.head(); }
  int noOfElements() const { return _list.count(); }
  actionTableEntry* latest() const { return _latest; }
  void latest(actionTableEntry* entry) { _latest = entry; }
  int requestType() const { return _requestType; }
  void requestType(int type) { _requestType = type; }

  // The action log's own source. The handle is written by the online thread and read by
  // the others without the table's lock (an atomic value); the source name is written
  // under the lock, by every online thread alike.
  long handle() const { return _handle.load(); }
  void handle(long handle) { _handle.store(handle); }
  const char* sourceName() const { return _sourceName; }
  // Cut to 35 characters.
  void sourceName(const char* name);

  // The action log's rate limit, used by its thread only.
  unsigned long getLastAddTime() const { return _lastAddTime; }
  void setLastAddTime(unsigned long seconds) { _lastAddTime = seconds; }
  unsigned long getLastCheckTime() const { return _lastCheckTime; }
  void setLastCheckTime(unsigned long seconds) { _lastCheckTime = seconds; }
  short getEnableActionLogging() const { return _enableActionLogging; }
  void setEnableActionLogging(short enable) { _enableActionLogging = enable; }

  // Writes every entry to the trace with a running count (takes the lock).
  void printList();

 private:
  Ring<actionTableEntry> _list;
  actionTableEntry* _latest = nullptr;
  std::atomic<long> _handle{0};
  char _sourceName[kSourceNameSize] = {};
  int _requestType = 0;
  actionRing _actionInfo;
  pthread_mutex_t _lock;
  unsigned long _lastAddTime;
  unsigned long _lastCheckTime;
  short _enableActionLogging = 1;
};
