// How a source thread asks for a DCH request: it sets the source's state to the
// request it wants (the state is also the order to the DCH client), hands the
// source to the one DCH client thread and sleeps until that thread has carried
// the request out. Before the DCH client runs, sources wait in the anchor's DCH
// wait queue until the periodic task hands them over.
#pragma once

#include <cstdint>

#include "source_entry.h"

struct DPAB;
struct ProcessEntry;

// The source's state as the last ZEVP_UpdateSourceEntryState left it; read by
// threads other than the one that set it (the DCH client, the periodic task, the log).
inline int32_t ZEVP_SourceStateOf(const SourceEntry* source) { return __atomic_load_n(&source->State, __ATOMIC_ACQUIRE); }

// Stores the state after checking the pointer ("*****Input source entry invalid
// @%p" and no change for a null one). Takes no lock: the caller owns the source or
// holds its entry lock.
void ZEVP_UpdateSourceEntryState(SourceEntry* source, int32_t state);

// Puts the source on the DCH client's work list (its DCH-enqueued flag becomes 1)
// and wakes the client; before the client runs, on the DCH wait queue (the flag
// stays 0). A source already on either is left where it is.
void ZEVP_EnqueueSourceToDCH(DPAB* anchor, SourceEntry* source);

// Enqueues and waits, on the caller's own entry, until the DCH client has finished
// the request (its flag is 0 again) or shut-down has begun; it looks every 10
// seconds, for a caller that is not the source's owning task is not woken. On a
// thread that is not one of the anchor's own the wait also ends, at once, when
// shut-down is requested (zevp::ShutdownRequested): the request may then still be
// with the DCH client, and the caller leaves the source alone.
void ZEVP_QueueAndWaitDCHstatus(DPAB* anchor, ProcessEntry* caller, SourceEntry* source);

// For a caller that goes on using the source after a wait that a shut-down may have
// ended early: returns once the DCH client has finished the request, or dropped it as
// it ended.
void ZEVP_AwaitDCHrequestDone(const SourceEntry* source);

// Hands the DCH wait queue over to the running DCH client: each queued source is
// enqueued on its own. Nothing while the client does not run.
void ZEVP_EnqueueWaitingDCHrequests(DPAB* anchor);

// Takes a source off the DCH wait queue, where its request waits for a client to start.
void ZEVP_RemoveFromDCHwaitQueue(DPAB* anchor, SourceEntry* source);

// Unlinks a copy from the delayed-offline queue: 1 when it was there, else 0 (also
// for a null entry). The caller frees the copy.
int ZEVP_RemoveSourceFromWaitQueue(DPAB* anchor, SourceEntry* source);

// The DCH-enqueued flag, read and written by requesters, the DCH client and the
// enqueue under different locks.
inline int32_t ZEVP_IsDCHenqueued(const SourceEntry* source) {
  return __atomic_load_n(&source->DCHenqueued, __ATOMIC_ACQUIRE);
}
inline void ZEVP_SetDCHenqueued(SourceEntry* source, int32_t value) {
  __atomic_store_n(&source->DCHenqueued, value, __ATOMIC_RELEASE);
}

// The last DCH request sequence number given to a source (numbers serve tracing).
int32_t ZEVP_CurrentDCHrequestSeqNumber();
