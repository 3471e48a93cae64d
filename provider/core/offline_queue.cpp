#include "dch_work_queue.h"
#include "dp_anchor.h"
#include "trc1.h"

TRC_UNIT();

int ZEVP_RemoveSourceFromWaitQueue(DPAB* anchor, SourceEntry* source) {
  if (source == nullptr) return 0;
  int removed = 0;
  BSV1_GetLock(&anchor->offlineQueueLock);
  if (anchor->delayedOfflineQueue == source) {
    anchor->delayedOfflineQueue = source->NextInOfflineQueue;
    TRC(TRC_DETAIL, "Source entry @%p removed from top of offline queue", static_cast<void*>(source));
    removed = 1;
  } else {
    for (SourceEntry* queued = anchor->delayedOfflineQueue; queued != nullptr; queued = queued->NextInOfflineQueue) {
      if (queued->NextInOfflineQueue != source) continue;
      queued->NextInOfflineQueue = source->NextInOfflineQueue;
      TRC(TRC_DETAIL, "Source entry @%p removed from offline queue", static_cast<void*>(source));
      removed = 1;
      break;
    }
  }
  if (removed != 0) source->NextInOfflineQueue = nullptr;
  BSV1_ReleaseLock(&anchor->offlineQueueLock);
  return removed;
}
