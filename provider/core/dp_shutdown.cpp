#include "dp_shutdown.h"

#include "bsv1.h"
#include "console_area.h"
#include "dp_anchor.h"
#include "engine_routines.h"
#include "metafile_request_area.h"
#include "model_records.h"
#include "model_release.h"
#include "process_entry.h"
#include "shutdown_request.h"
#include "trc1.h"
#include "url_management.h"
#include "zev0/storage.h"

TRC_UNIT();

namespace {

// Tells every thread of the anchor to end. Each flag is set and signalled under
// the entry's mutex, so a thread between testing its flag and waiting cannot miss it.
void SignalTermination(DPAB* anchor) {
  BSV1_GetLock(&anchor->processListLock);
  for (ProcessEntry* entry = anchor->processEntries; entry != nullptr; entry = entry->next) {
    TRC1_Printf(&trcUnit_, __LINE__, "Signal process termination. Thread: %lX", entry->threadId.load());
    pthread_mutex_lock(&entry->mutex);
    entry->terminationFlag = 1;
    pthread_cond_signal(&entry->condition);
    pthread_mutex_unlock(&entry->mutex);
  }
  BSV1_ReleaseLock(&anchor->processListLock);
}

// A thread waiting for a metafile from the metafile server sees the shut-down.
void WakeMetafileRequester(DPAB* anchor) {
  MFRA* exchange = anchor->metafileExchange;
  if (exchange == nullptr || exchange->Status != ZEVP_MFRA_REQUEST_PENDING || exchange->Requester == nullptr) return;
  ProcessEntry* requester = exchange->Requester;
  pthread_mutex_lock(&requester->mutex);
  pthread_cond_signal(&requester->condition);
  pthread_mutex_unlock(&requester->mutex);
}

int64_t Now() {
  BSV1_Time now;
  BSV1_GetTime(&now);
  return now.seconds;
}

// Waits in steps until the threads have ended or the time is up; the count left.
int32_t AwaitThreadsEnded(DPAB* anchor, int64_t deadline) {
  int32_t count;
  while ((count = ZEVP_ActiveThreadCount(anchor)) > 0) {
    TRC(TRC_DETAIL, ">>>>>Waiting for all processes to end - %d", count);
    ZEVP_AwaitThreadCountBelow(anchor, count, ZEVP_SHUTDOWN_LOOK_SECONDS);
    if (Now() > deadline) return ZEVP_ActiveThreadCount(anchor);
  }
  return count;
}

void ReleaseApplications(DPAB* anchor, int keepRegistration) {
  for (;;) {
    BSV1_GetLock(&anchor->applicationListLock);
    ApplicationEntry* application = anchor->applications;
    BSV1_ReleaseLock(&anchor->applicationListLock);
    if (application == nullptr) return;
    ZEVP_ReleaseApplResources(anchor, application, keepRegistration);
  }
}

void ReleaseIOEntries(DPAB* anchor) {
  for (;;) {
    BSV1_GetLock(&anchor->ioListLock);
    IOEntry* entry = anchor->ioEntries;
    BSV1_ReleaseLock(&anchor->ioListLock);
    if (entry == nullptr) return;
    ZEVP_ReleaseIOResources(anchor, entry);
  }
}

void ReleaseRoutingBlocks(DPAB* anchor) {
  BSV1_GetLock(&anchor->internalRoutingLock);
  InternalRoutingBlock* block = anchor->internalRoutingBlocks;
  anchor->internalRoutingBlocks = nullptr;
  while (block != nullptr) {
    InternalRoutingBlock* next = block->next;
    ZEV0_FreeStorage(&block->Name);
    ZEV0_FreeStorage(&block->RecordCopy);
    BSV1_DestroyLock(&block->Lock);
    TRC(TRC_STORAGE, "Freeing InternalRoutingBlock @%p", static_cast<void*>(block));
    ZEV0_FreeStorage(&block);
    block = next;
  }
  BSV1_ReleaseLock(&anchor->internalRoutingLock);
}

}  // namespace

void ZEVP_ShutdownCleanUp(DPAB* anchor, int keepRegistration) {
  const int64_t deadline = Now() + ZEVP_SHUTDOWN_WAIT_SECONDS;
  SignalTermination(anchor);
  WakeMetafileRequester(anchor);
  int32_t remaining = AwaitThreadsEnded(anchor, deadline);
  if (remaining > 0) {
    TRC(TRC_ERROR, "***** %d threads did not end, the model of DP anchor @%p is left in place", remaining,
        static_cast<void*>(anchor));
    return;
  }
  ReleaseApplications(anchor, keepRegistration);
  ReleaseIOEntries(anchor);
  ReleaseRoutingBlocks(anchor);
}

void ZEVP_ImmediateDPshutdown() {
  zevp::WithMainAnchor([](DPAB* anchor) {
    SignalTermination(anchor);
    anchor->shutdownFlag = 1;
  });
  zevp::NotifyShutdownFlagSet();
}

void ZEVP_ReleaseGlobalResources(DPAB* anchor) {
  if (anchor == nullptr) return;
  int32_t remaining = ZEVP_ActiveThreadCount(anchor);
  if (remaining > 0) {
    TRC(TRC_ERROR, "***** %d threads still running, DP anchor @%p is left in place", remaining,
        static_cast<void*>(anchor));
    return;
  }
  zevp::ForgetMainAnchor(anchor);
  // A start that ended before its HTTP manager ran leaves the URL management block.
  zevp::ReleaseURLmanagement(anchor);
  zevp::ReleaseStartupResources(anchor);
  zevp::ReleaseConsoleArea(anchor);
  zevp::ReleaseDelayedOfflineCopies(anchor);
  ZEVP_ReleaseMetafileExchange(anchor);
  ZEVP_DestroyProcessEntry(anchor->logReportEntry);
  anchor->logReportEntry = nullptr;
  anchor->dchClientEntry = nullptr;
  if (anchor->batchLog != nullptr) zevp::Routines().closeBatchLog();
  zevp::FreeAnchor(anchor);
}
