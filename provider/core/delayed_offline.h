// The delayed-offline queue: when a source goes inactive while the rows it sent
// are still valid (its group's time to live), the DCH client keeps a copy of the
// source here instead of taking it offline. The source itself is Ready again at
// once; the agent keeps showing it. Coming back online before the rows expire
// takes the copy back without a request; past the expiry the periodic task orders
// the copy's offline.
//
// The queue is changed under the anchor's offline-queue lock. A copy whose
// offline is ordered (Inactive, on the DCH queue) is no longer taken back: it is
// the DCH client's until the client has freed it, and it stays on the queue until
// then.
#pragma once

#include "source_entry.h"

struct ApplicationEntry;
struct DPAB;

// Queues a copy of the source, unless one is queued already; false when no storage.
bool ZEVP_PostponeOffline(DPAB* anchor, SourceEntry* source);

// When a copy of the source (same group, same source name) waits on the queue and
// its offline is not ordered, unlinks and frees it, handing its current action to
// the source: true. Else false.
bool ZEVP_TakeBackDelayedOffline(DPAB* anchor, SourceEntry* source);

// Unlinks and returns the first copy of a source of the application whose offline
// is not ordered, or null.
SourceEntry* ZEVP_TakeDelayedOfflineOfApplication(DPAB* anchor, const ApplicationEntry* application);

// After a copy's offline: the rows its source kept for the agent are dropped (once,
// from the source; the copy only shared them), then the copy leaves the queue and
// is freed.
void ZEVP_ReleaseOfflineCopy(DPAB* anchor, SourceEntry** copy);

// Before an application is released: frees every copy of its sources. A copy on the
// DCH client's queue is the client's, which still uses its source: the call waits
// until the client has freed it. A copy whose offline waits for a client to start
// leaves that wait too.
void ZEVP_DropDelayedOfflineOfApplication(DPAB* anchor, const ApplicationEntry* application);
