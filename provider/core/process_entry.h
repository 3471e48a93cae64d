// Process entries: one per long-lived thread of a data provider, chained to its
// anchor, and the creation of those threads.
//
// A thread made by ZEVP_CreateProcess runs its routine with its entry; it finds
// its anchor there, waits on the entry's condition (under the entry's mutex,
// testing its predicate before each wait), looks at the termination flag after
// each wake-up, and at its end calls ZEVP_ReleaseProcessResources and
// ZEVP_EndThread.
//
// Lock order: the anchor's process-list lock before an entry's entry lock or
// mutex. Shut-down sets the termination flags that way, so no thread may take the
// process-list lock (ZEVP_CreateProcess, ZEVP_LocateOwnProcessEntry, ...) while
// it holds an entry's mutex.
#pragma once

#include <pthread.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "bsv1.h"

struct DPAB;
struct ProcessEntry;
struct SourceEntry;

// A thread routine: called with the thread's own entry.
using ZEVP_ProcessRoutine = void (*)(ProcessEntry* entry);

struct ProcessEntry {
  ProcessEntry* next;       // in the anchor's process-entry list
  DPAB* anchor;             // the owning anchor
  SourceEntry* workQueue;   // first item queued for this thread (the DCH client's sources), workQueueLock
  // First record queued for a server thread whose work is not sources (the automation
  // server's actions, the SNMP servers' requests), each chained through its own link; workQueueLock.
  void* requestQueue;
  ZEVP_ProcessRoutine routine;
  void* parameter;          // metafile server host, file source; null for the others
  pthread_mutex_t mutex;    // paired with condition
  pthread_cond_t condition; // wakes the thread: work queued, shut-down, a DCH request done
  BSV1_Lock workQueueLock;
  BSV1_Lock requestLock;     // held by a requester for the whole of one DCH request on this entry
  BSV1_Lock TerminationLock; // held by a source thread while it works on its source
  BSV1_Lock entryLock;       // taken while the entry is unchained
  std::atomic<unsigned long> threadId{0};  // BSV1_ThreadID of the thread, stored when it starts
  int32_t processType;       // -1 common threads; the anchor's type for the input servers; 1 file servers
  // 1 once shut-down told the thread to end; a thread started with the hand-shake
  // sets it to report that its start failed. Set under the entry's mutex.
  std::atomic<int32_t> terminationFlag{0};
  // Set, under the entry's mutex, by a thread started with the hand-shake when it
  // signals its start: the predicate of its creator's wait.
  int32_t startSignalled;
  // Threads that wait for this one to let go of its source (ZEVP_PinProcessEntry): the
  // entry is freed only once the last of them has let go of it too.
  std::mutex pinMutex;
  std::condition_variable unpinned;
  int32_t pins = 0;
};

// The result every engine thread ends with: the address of this word, which holds 0.
extern int32_t ZEVP_ThreadRC;

// Ends the calling thread with ZEVP_ThreadRC.
[[noreturn]] void ZEVP_EndThread();

// A new entry of the anchor, neither chained nor counted, or null without storage.
// Its maker destroys it with ZEVP_DestroyProcessEntry.
ProcessEntry* ZEVP_InitializeProcessEntry(DPAB* anchor);

// Destroys the mutex, condition and locks of an entry that is not chained (nor
// locked) and frees it, once no thread has it pinned.
void ZEVP_DestroyProcessEntry(ProcessEntry* entry);

// Makes an entry, chains and counts it, and starts a detached thread running
// routine with it. With handShake non-zero the entry's mutex is held on return,
// so the caller can wait on its condition for the thread's first signal and must
// unlock it. 1 when the thread runs; 0 otherwise, the list and count as before.
// entryResult, when not null, receives the entry (null on failure).
int ZEVP_CreateProcess(DPAB* anchor, int32_t processType, void* parameter, ZEVP_ProcessRoutine routine,
                       int handShake, ProcessEntry** entryResult);

// The two sides of the start hand-shake. The thread reports its start (failed:
// non-zero sets the termination flag) and, after a failed start, ends without
// using its entry again. The creator, holding the entry's mutex since
// ZEVP_CreateProcess, waits for that report and releases the mutex; it returns
// the termination flag (1: the start failed, the creator releases the entry).
void ZEVP_SignalProcessStart(ProcessEntry* entry, int failed);
int32_t ZEVP_AwaitProcessStart(ProcessEntry* entry);

// The chained entry of the calling thread, or null on a thread not made by ZEVP_CreateProcess.
ProcessEntry* ZEVP_LocateOwnProcessEntry(DPAB* anchor);

// Keeps another thread's entry from being freed while the caller waits on its
// TerminationLock, or signals it after letting go of its mutex. The caller pins it
// where the entry cannot go meanwhile (under the lock that thread takes to withdraw its
// record of itself, or while its request is still pending), and unpins it when done.
void ZEVP_PinProcessEntry(ProcessEntry* entry);
void ZEVP_UnpinProcessEntry(ProcessEntry* entry);

// Waits until no thread has the entry pinned, then unchains, destroys and frees it and
// lowers the anchor's thread count.
void ZEVP_ReleaseProcessResources(DPAB* anchor, ProcessEntry* entry);

// The anchor's count of threads made by ZEVP_CreateProcess that have not yet
// released their entry, read under the process-entry list lock.
int32_t ZEVP_ActiveThreadCount(DPAB* anchor);

// Waits until fewer than `count` such threads run, or the seconds have passed; the
// count then. A thread's end wakes the wait at once.
int32_t ZEVP_AwaitThreadCountBelow(DPAB* anchor, int32_t count, int seconds);
