#include "dch_work_queue.h"

#include <atomic>
#include <cerrno>
#include <optional>

#include "dp_anchor.h"
#include "process_entry.h"
#include "shutdown_request.h"
#include "trc1.h"
#include "zev0/threads.h"

TRC_UNIT();

namespace {

// How long a requester waits between looks at its request.
constexpr int kRequestWaitSeconds = 10;

std::atomic<int32_t> DCHrequestSeqNumber{0};

void appendToChain(SourceEntry** head, SourceEntry* source) {
  SourceEntry** link = head;
  while (*link != nullptr) link = &(*link)->NextInDCHqueue;
  source->NextInDCHqueue = nullptr;
  *link = source;
}

bool isOnChain(const SourceEntry* head, const SourceEntry* source) {
  for (const SourceEntry* queued = head; queued != nullptr; queued = queued->NextInDCHqueue)
    if (queued == source) return true;
  return false;
}

void numberRequest(SourceEntry* source) {
  source->DCHrequestSeqNumber = ++DCHrequestSeqNumber;
  TRC(TRC_DETAIL, "Current DCH request sequence number incremented to %d", source->DCHrequestSeqNumber);
}

void bypass(const SourceEntry* source) {
  TRC(TRC_FLOW, "Enqueue source @%p bypassed. Already enqueued or DCH work in process",
      static_cast<const void*>(source));
}

// The flag is tested under the list lock, so two threads enqueueing one source at
// the same time cannot both chain it.
void enqueueToClient(ProcessEntry* client, SourceEntry* source) {
  TRC(TRC_DETAIL, ">>>Attempt to enqueue source @%p to DCH IO queue", static_cast<void*>(source));
  BSV1_GetLock(&client->workQueueLock);
  if (ZEVP_IsDCHenqueued(source) != 0) {
    BSV1_ReleaseLock(&client->workQueueLock);
    bypass(source);
    return;
  }
  numberRequest(source);
  appendToChain(&client->workQueue, source);
  ZEVP_SetDCHenqueued(source, 1);
  BSV1_ReleaseLock(&client->workQueueLock);
  // The client looks at its list under its mutex before it waits: once the mutex has
  // been had after the list changed, the client either has still to look or waits
  // already. The signal comes after the unlock, so the woken client finds the mutex
  // free; the entry outlives it, for the client leaves only after taking the wait-queue
  // lock, which the caller holds.
  pthread_mutex_lock(&client->mutex);
  pthread_mutex_unlock(&client->mutex);
  pthread_cond_signal(&client->condition);
  TRC(TRC_DETAIL, ">>>source @%p enqueued to DCH IO queue", static_cast<void*>(source));
}

// The caller holds the wait-queue lock.
void enqueueToWaitQueue(DPAB* anchor, SourceEntry* source) {
  if (isOnChain(anchor->dchWaitQueue, source)) {
    bypass(source);
    return;
  }
  numberRequest(source);
  appendToChain(&anchor->dchWaitQueue, source);
  TRC(TRC_DETAIL, ">>>source enqueued to DCH wait queue");
}

// Moves every waiting source to the client, each enqueued on its own; the caller
// holds the wait-queue lock.
void handOverWaitQueue(DPAB* anchor, ProcessEntry* client) {
  SourceEntry* waiting = anchor->dchWaitQueue;
  if (waiting == nullptr) return;
  anchor->dchWaitQueue = nullptr;
  TRC(TRC_DETAIL, ">>>>>Enqueue waiting DCH work requests");
  while (waiting != nullptr) {
    SourceEntry* source = waiting;
    waiting = source->NextInDCHqueue;
    source->NextInDCHqueue = nullptr;
    enqueueToClient(client, source);
  }
}

}  // namespace

int32_t ZEVP_CurrentDCHrequestSeqNumber() { return DCHrequestSeqNumber.load(); }

// Every enqueue runs under the wait-queue lock, and once the client runs the
// sources that waited for it go first: so a source is never on both queues, which
// share its link.
void ZEVP_EnqueueSourceToDCH(DPAB* anchor, SourceEntry* source) {
  if (ZEVP_IsDCHenqueued(source) != 0) {
    bypass(source);
    return;
  }
  BSV1_GetLock(&anchor->dchWaitQueueLock);
  if (ProcessEntry* client = anchor->dchClientEntry.load()) {
    handOverWaitQueue(anchor, client);
    enqueueToClient(client, source);
  } else {
    enqueueToWaitQueue(anchor, source);
  }
  BSV1_ReleaseLock(&anchor->dchWaitQueueLock);
}

// A thread of the anchor waits for its request until it is told to end; any other
// thread (the start, the console) learns of the end only from a shut-down request,
// which wakes it at once. Its request may then still be with the DCH client: what
// the request uses lives until every thread of the anchor has ended.
void ZEVP_QueueAndWaitDCHstatus(DPAB* anchor, ProcessEntry* caller, SourceEntry* source) {
  const bool untilShutdownRequest = ZEVP_LocateOwnProcessEntry(anchor) == nullptr;
  auto shutdownEndsWait = [&] { return untilShutdownRequest && zevp::ShutdownRequested(anchor); };
  BSV1_GetLock(&caller->requestLock);
  std::optional<zevp::ShutdownWake> wake;
  if (untilShutdownRequest) wake.emplace(caller);
  pthread_mutex_lock(&caller->mutex);
  ZEVP_EnqueueSourceToDCH(anchor, source);
  while (!shutdownEndsWait()) {
    TRC(TRC_DETAIL, ">>>>> waits for DCH server notification");
    int rc = ZEV0_ConditionTimedWait(&caller->condition, &caller->mutex, kRequestWaitSeconds);
    TRC(TRC_DETAIL, ">>>>> DCH server notification received, rc %d errno %d", rc, rc == 0 ? 0 : errno);
    if (anchor->shutdownFlag != 0 || ZEVP_IsDCHenqueued(source) == 0 || shutdownEndsWait()) break;
    // Waits again at once: the mutex is held outside the wait, and others take it, to
    // wake this entry for work of its own (the log server's queue) and the DCH client
    // to finish every request of this entry, so a pause here would stall them all.
    TRC(TRC_DETAIL, ">>>>> Continue wait for DCH request complete signal");
  }
  pthread_mutex_unlock(&caller->mutex);
  wake.reset();
  BSV1_ReleaseLock(&caller->requestLock);
}

void ZEVP_AwaitDCHrequestDone(const SourceEntry* source) {
  while (ZEVP_IsDCHenqueued(source) != 0) BSV1_Sleep(1);
}

void ZEVP_RemoveFromDCHwaitQueue(DPAB* anchor, SourceEntry* source) {
  BSV1_GetLock(&anchor->dchWaitQueueLock);
  for (SourceEntry** link = &anchor->dchWaitQueue; *link != nullptr; link = &(*link)->NextInDCHqueue) {
    if (*link != source) continue;
    *link = source->NextInDCHqueue;
    source->NextInDCHqueue = nullptr;
    break;
  }
  BSV1_ReleaseLock(&anchor->dchWaitQueueLock);
}

void ZEVP_EnqueueWaitingDCHrequests(DPAB* anchor) {
  BSV1_GetLock(&anchor->dchWaitQueueLock);
  if (ProcessEntry* client = anchor->dchClientEntry.load()) handOverWaitQueue(anchor, client);
  BSV1_ReleaseLock(&anchor->dchWaitQueueLock);
}
