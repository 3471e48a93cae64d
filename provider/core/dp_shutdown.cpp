#include "dp_shutdown.h"

#include "bsv1.h"
#include "dp_anchor.h"
#include "engine_routines.h"
#include "process_entry.h"
#include "shutdown_request.h"
#include "trc1.h"

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
    BSV1_Sleep(ZEVP_SHUTDOWN_LOOK_SECONDS);
    if (Now() > deadline) return ZEVP_ActiveThreadCount(anchor);
  }
  return count;
}

}  // namespace

void ZEVP_ShutdownCleanUp(DPAB* anchor, int /*keepRegistration*/) {
  const int64_t deadline = Now() + ZEVP_SHUTDOWN_WAIT_SECONDS;
  SignalTermination(anchor);
  int32_t remaining = AwaitThreadsEnded(anchor, deadline);
  if (remaining > 0) {
    TRC(TRC_ERROR, "***** %d threads did not end, the model of DP anchor @%p is left in place", remaining,
        static_cast<void*>(anchor));
    return;
  }
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
  zevp::ReleaseStartupResources(anchor);
  anchor->dchClientEntry = nullptr;
  if (anchor->batchLog != nullptr) zevp::Routines().closeBatchLog();
  zevp::FreeAnchor(anchor);
}
