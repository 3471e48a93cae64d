#include "dch_client_routine.h"

#include <cerrno>

#include "application_entry.h"
#include "bsv1.h"
#include "dch_client_orders.h"
#include "dch_comm.h"
#include "dch_requests.h"
#include "dch_tcp_transport.h"
#include "dch_transport_table.h"
#include "dch_work_queue.h"
#include "delayed_offline.h"
#include "dp_anchor.h"
#include "dp_log.h"
#include "process_entry.h"
#include "table_entry.h"
#include "trc1.h"
#include "zev/dp_types.h"
#include "zev0/storage.h"
#include "zev0/threads.h"

TRC_UNIT();

namespace {

// While the data provider ends, the client looks this often whether the other
// threads have gone (nobody signals their end).
constexpr int kEndingLookSeconds = 1;
// The threads that may still run when the client leaves: itself and the periodic task.
constexpr int32_t kLastThreads = 2;

void connect(DPAB* anchor, DCHcomm* comm) {
  if (anchor->transport->waitDCHcomeOnline != nullptr) {
    anchor->transport->waitDCHcomeOnline(comm);
  } else {
    TRC(TRC_ERROR, "*** DCH transport type %c has no operations, DCH link idle", anchor->transportLetter);
  }
}

bool connected(DCHcomm* comm) {
  BSV1_GetLock(&comm->SendLock);
  bool socket = comm->Socket != 0;
  BSV1_ReleaseLock(&comm->SendLock);
  return socket;
}

SourceEntry* takeWorkList(ProcessEntry* entry) {
  BSV1_GetLock(&entry->workQueueLock);
  SourceEntry* chain = entry->workQueue;
  entry->workQueue = nullptr;
  BSV1_ReleaseLock(&entry->workQueueLock);
  return chain;
}

bool workWaits(ProcessEntry* entry) {
  BSV1_GetLock(&entry->workQueueLock);
  bool waiting = entry->workQueue != nullptr;
  BSV1_ReleaseLock(&entry->workQueueLock);
  return waiting;
}

// Waits for work, the predicate tested under the mutex on which an enqueue signals;
// once told to end, in short waits, for the end of the other threads is not signalled.
void waitForWork(ProcessEntry* entry) {
  pthread_mutex_lock(&entry->mutex);
  while (!workWaits(entry) && entry->terminationFlag == 0) {
    TRC(TRC_DETAIL, ">>>>> DCH Client Task waits on TaskIO notification");
    int rc = pthread_cond_wait(&entry->condition, &entry->mutex);
    TRC(TRC_DETAIL, ">>>>> DCH Client TaskIO notification received. rc %d errno %d", rc, rc);
  }
  if (!workWaits(entry) && entry->terminationFlag != 0)
    ZEV0_ConditionTimedWait(&entry->condition, &entry->mutex, kEndingLookSeconds);
  pthread_mutex_unlock(&entry->mutex);
}

// The request is done: the source goes back to its owner. The flag is cleared under
// the owner's mutex, so the owner cannot miss it; the owner is signalled after the
// mutex is let go, so that it does not wake only to wait for the mutex, and is pinned
// meanwhile, for once it sees the flag cleared it may end and free its entry.
void finish(DCHclientWork& work, SourceEntry* source, ProcessEntry* owner) {
  TRC(TRC_DETAIL, ">>>>>Request %d processing completed", source->DCHrequestSeqNumber);
  source->NextInDCHqueue = nullptr;
  if (owner == nullptr) {
    // A copy that went offline stays enqueued, the client's, until the client has freed
    // it: a release of its application waits for that.
    if (!work.releaseCopy) ZEVP_SetDCHenqueued(source, 0);
    BSV1_ReleaseLock(&source->EntryLock);
    TRC(TRC_DETAIL, ">>> signal bypassed for unowned DCH work request");
  } else {
    unsigned long ownerThread = owner->threadId.load();
    int32_t request = source->DCHrequestSeqNumber;
    ZEVP_PinProcessEntry(owner);
    pthread_mutex_lock(&owner->mutex);
    ZEVP_SetDCHenqueued(source, 0);
    BSV1_ReleaseLock(&source->EntryLock);
    pthread_mutex_unlock(&owner->mutex);
    TRC(TRC_DETAIL, ">>>>>Notify task %lX for completed DCH request %d", ownerThread, request);
    int rc = pthread_cond_signal(&owner->condition);
    ZEVP_UnpinProcessEntry(owner);
    TRC(TRC_DETAIL, ">>>>>Task %lX notified, rc %d errno %d", ownerThread, rc, rc);
  }
  if (work.releaseCopy) {
    ZEVP_ReleaseOfflineCopy(work.anchor, &source);
    work.releaseCopy = false;
  }
}

void serve(DCHclientWork& work, SourceEntry* chain) {
  while (chain != nullptr) {
    SourceEntry* source = chain;
    chain = source->NextInDCHqueue;
    BSV1_GetLock(&source->EntryLock);
    ProcessEntry* owner = source->OwningTask;
    if (owner != nullptr)
      TRC(TRC_DETAIL, "Processing request %d from task %lX", source->DCHrequestSeqNumber, owner->threadId.load());
    else
      TRC(TRC_DETAIL, "Processing request %d from unknown task", source->DCHrequestSeqNumber);
    BSV1_ReleaseLock(&source->EntryLock);
    for (bool again = true; again;) {
      DCHorderHeld held(source, work.comm);
      again = ZEVP_PerformDCHorder(work, source);
    }
    BSV1_GetLock(&source->EntryLock);
    finish(work, source, source->OwningTask);
  }
}

bool timeToEnd(ProcessEntry* entry) {
  return entry->terminationFlag == 1 && ZEVP_ActiveThreadCount(entry->anchor) <= kLastThreads && !workWaits(entry);
}

// A source that never had an order (NoState) was never registered either.
bool notYetRegistered(const SourceEntry* source) {
  return ZEVP_SourceStateOf(source) == ZEVP_Pending || ZEVP_SourceStateOf(source) == ZEVP_Initial || ZEVP_SourceStateOf(source) == ZEVP_NoState;
}

// The log goes offline first, then the applications are unregistered (the log's
// own goes with the connection).
void signOff(DCHclientWork& work) {
  DPAB* anchor = work.anchor;
  SourceEntry* logSource = anchor->logSource;
  if (ZEVP_DPlogEnabled() && logSource != nullptr && !notYetRegistered(logSource)) {
    ZEVP_UpdateSourceEntryState(logSource, ZEVP_Inactive);
    {
      DCHstatusHeld held(work.comm);
      ZEVP_DoDPoffline(logSource, work.comm);
    }
    BSV1_Sleep(3);
  }
  BSV1_GetLock(&anchor->applicationListLock);
  for (ApplicationEntry* application = anchor->applications; application != nullptr; application = application->next) {
    if (application->SNMPapplication != 0 && anchor->dpType == ZEV_DP_SNMP) {
      for (TableEntry* table = application->FirstTable; table != nullptr; table = table->next) {
        if (table->FirstSource == nullptr) continue;
        ZEVP_UpdateSourceEntryState(table->FirstSource, ZEVP_Inactive);
        DCHstatusHeld held(work.comm);
        ZEVP_DoDPoffline(table->FirstSource, work.comm);
      }
    }
    SourceEntry* first = application->FirstTable != nullptr ? application->FirstTable->FirstSource : nullptr;
    if (first == nullptr || notYetRegistered(first) || first == logSource) continue;
    DCHstatusHeld held(work.comm);
    ZEVP_UnregisterThroughSource(work, first);
  }
  BSV1_ReleaseLock(&anchor->applicationListLock);
}

// Requests that came after the last look are finished without being carried out,
// so that no requester waits for them; new ones go to the wait queue from now on.
void unpublish(DCHclientWork& work) {
  DPAB* anchor = work.anchor;
  BSV1_GetLock(&anchor->dchWaitQueueLock);
  anchor->dchClientEntry = nullptr;
  BSV1_ReleaseLock(&anchor->dchWaitQueueLock);
  for (SourceEntry* source = takeWorkList(work.entry); source != nullptr;) {
    SourceEntry* next = source->NextInDCHqueue;
    BSV1_GetLock(&source->EntryLock);
    TRC(TRC_ERROR, "*** DCH client ended: request %d not carried out", source->DCHrequestSeqNumber);
    finish(work, source, source->OwningTask);
    source = next;
  }
}

}  // namespace

void ZEVP_DCHclientRoutine(ProcessEntry* entry) {
  DPAB* anchor = entry->anchor;
  entry->threadId = BSV1_ThreadID();
  TRC(TRC_DETAIL, ">>>>> DCH client process started. Thread: %lX", entry->threadId.load());
  auto* comm = static_cast<DCHcomm*>(ZEV0_GetStorage(sizeof(DCHcomm)));
  if (comm == nullptr) {
    TRC(TRC_ERROR, "***** unable to obtain storage for DCHcomm, DCH client process ends");
    ZEVP_ReleaseProcessResources(anchor, entry);
    ZEVP_EndThread();
  }
  ZEVP_InitializeDCHcomm(comm, anchor);
  if (anchor->batchMode != 0)
    comm->Socket = 1;  // nothing is connected: every request reports 0 at once
  else
    connect(anchor, comm);
  anchor->dchLink = comm;
  anchor->dchClientEntry = entry;
  ZEVP_EnqueueWaitingDCHrequests(anchor);

  DCHclientWork work{anchor, entry, comm};
  for (;;) {
    waitForWork(entry);
    SourceEntry* chain = takeWorkList(entry);
    if (chain != nullptr && anchor->batchMode == 0 && !connected(comm)) connect(anchor, comm);
    serve(work, chain);
    if (timeToEnd(entry)) break;
  }

  if (anchor->batchMode == 0 && connected(comm)) signOff(work);
  unpublish(work);
  anchor->dchLink = nullptr;
  if (anchor->batchMode != 0)
    comm->Socket = 0;
  else
    ZEVP_CloseDCHconnection(comm);  // returns once the receive thread has ended
  ZEVP_DestroyDCHcomm(comm);
  unsigned long threadId = entry->threadId.load();
  ZEV0_FreeStorage(&comm);
  ZEVP_ReleaseProcessResources(anchor, entry);
  TRC(TRC_DETAIL, ">>>>> DCH client process ended. Thread: %lX", threadId);
  ZEVP_EndThread();
}
