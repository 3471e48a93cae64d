// The log server: delivers the queued messages one after the other. It waits on
// its entry's condition only while nothing is queued and it is not told to end,
// and lets go of its mutex while it delivers, so that senders never wait for the DCH.
#include "bsv1.h"
#include "dp_anchor.h"
#include "dp_log.h"
#include "process_entry.h"
#include "trc1.h"
#include "zev0/storage.h"

TRC_UNIT();

namespace {

// While the data provider ends, the log goes on, one message a second, as long as
// more threads run than the DCH client, the periodic task and the server itself.
constexpr int32_t kThreadsBesideOthers = 3;

bool told(const ProcessEntry* entry) { return entry->terminationFlag != 0; }

void dispatch(DPAB* anchor, DPlogWorkEntry* entry) {
  ZEVP_DispatchDPlogMessage(anchor, entry->number, entry->inserts, entry->timeStamp);
  ZEV0_FreeStorage(&entry);
}

void registerServer(DPAB* anchor, ProcessEntry* entry) {
  BSV1_GetLock(&anchor->logQueueLock);
  anchor->logServerEntry = entry;
  BSV1_ReleaseLock(&anchor->logQueueLock);
}

}  // namespace

void ZEVP_DPlogServer(ProcessEntry* entry) {
  DPAB* anchor = entry->anchor;
  entry->threadId = BSV1_ThreadID();
  TRC(TRC_DETAIL, ">>>>> DP log server process started. Thread: %lX", entry->threadId.load());
  registerServer(anchor, entry);
  zevp::SetDPlogAnchor(anchor);  // senders without an anchor reach this one
  anchor->logServerReady = 1;

  for (;;) {
    pthread_mutex_lock(&entry->mutex);
    while (!zevp::DPlogQueued(anchor) && !told(entry)) pthread_cond_wait(&entry->condition, &entry->mutex);
    pthread_mutex_unlock(&entry->mutex);
    if (told(entry)) break;
    while (!told(entry)) {
      DPlogWorkEntry* work = ZEVP_GetNextDPlogRequest(anchor);
      if (work == nullptr) break;
      dispatch(anchor, work);
    }
  }

  while (ZEVP_ActiveThreadCount(anchor) > kThreadsBesideOthers) {
    ZEVP_AwaitThreadCountBelow(anchor, kThreadsBesideOthers + 1, 1);
    if (DPlogWorkEntry* work = ZEVP_GetNextDPlogRequest(anchor)) dispatch(anchor, work);
  }
  BSV1_GetLock(&anchor->logQueueLock);
  anchor->logServerEntry = nullptr;
  BSV1_ReleaseLock(&anchor->logQueueLock);
  zevp::DiscardDPlogQueue(anchor);
  unsigned long threadId = entry->threadId.load();
  ZEVP_ReleaseProcessResources(anchor, entry);
  TRC(TRC_DETAIL, ">>>>> DP log server process ended. Thread: %lX", threadId);
  ZEVP_EndThread();
}
