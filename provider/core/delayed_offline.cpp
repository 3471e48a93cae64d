#include "delayed_offline.h"

#include <chrono>
#include <cstring>
#include <thread>

#include "dch_work_queue.h"
#include "dp_anchor.h"
#include "model_release.h"
#include "summary_block.h"
#include "table_entry.h"
#include "trc1.h"
#include "zev0/storage.h"

TRC_UNIT();

namespace {

// How often a release looks whether the DCH client has freed a copy of its application.
constexpr std::chrono::milliseconds kClientLookInterval{10};

bool sameName(const char* one, const char* other) {
  if (one == nullptr || other == nullptr) return one == other;
  return std::strcmp(one, other) == 0;
}

// A copy that the periodic task has ordered offline belongs to the DCH client.
bool ordered(const SourceEntry* copy) { return ZEVP_SourceStateOf(copy) == ZEVP_Inactive || ZEVP_IsDCHenqueued(copy) != 0; }

// Unlinks the first queued copy that the test accepts; the caller holds the lock.
template <typename Test>
SourceEntry* unlinkFirst(DPAB* anchor, Test test) {
  for (SourceEntry** place = &anchor->delayedOfflineQueue; *place != nullptr; place = &(*place)->NextInOfflineQueue) {
    SourceEntry* copy = *place;
    if (ordered(copy) || !test(copy)) continue;
    *place = copy->NextInOfflineQueue;
    copy->NextInOfflineQueue = nullptr;
    return copy;
  }
  return nullptr;
}

void freeCopy(SourceEntry* copy) {
  BSV1_DestroyLock(&copy->EntryLock);
  ZEV0_FreeStorage(&copy);
}

bool ofApplication(const SourceEntry* copy, const ApplicationEntry* application) {
  return copy->Table != nullptr && copy->Table->Application == application;
}

// Frees the application's copies that are not the DCH client's; true when the client
// has none of them. The caller holds the offline-queue lock.
bool dropIdleCopies(DPAB* anchor, const ApplicationEntry* application) {
  bool clientHasOne = false;
  SourceEntry** place = &anchor->delayedOfflineQueue;
  while (SourceEntry* copy = *place) {
    if (!ofApplication(copy, application)) {
      place = &copy->NextInOfflineQueue;
    } else if (ZEVP_IsDCHenqueued(copy) != 0) {
      clientHasOne = true;
      place = &copy->NextInOfflineQueue;
    } else {
      *place = copy->NextInOfflineQueue;
      ZEVP_RemoveFromDCHwaitQueue(anchor, copy);
      TRC(TRC_DETAIL, "Source entry @%p removed from offline queue", static_cast<void*>(copy));
      freeCopy(copy);
    }
  }
  return !clientHasOne;
}

}  // namespace

bool ZEVP_PostponeOffline(DPAB* anchor, SourceEntry* source) {
  auto* copy = static_cast<SourceEntry*>(ZEV0_GetStorage(sizeof(SourceEntry)));
  if (copy == nullptr) {
    TRC(TRC_ERROR, "*** unable to obtain storage for delayed offline of source @%p", static_cast<void*>(source));
    return false;
  }
  TRC(TRC_STORAGE, "Allocated source entry @%p for length %d", static_cast<void*>(copy),
      static_cast<int>(sizeof(SourceEntry)));
  // Under the action list's lock: action workers link their remote actions into the
  // source meanwhile. The copy ends the source's life and owns none of them.
  BSV1_GetLock(&source->ActionListLock);
  std::memcpy(static_cast<void*>(copy), source, sizeof(SourceEntry));
  BSV1_ReleaseLock(&source->ActionListLock);
  copy->RemoteActions = nullptr;
  copy->ActionHandOver = nullptr;
  BSV1_GetLock(&anchor->offlineQueueLock);
  SourceEntry** tail = &anchor->delayedOfflineQueue;
  bool queued = false;
  for (; *tail != nullptr; tail = &(*tail)->NextInOfflineQueue) queued = queued || (*tail)->CopiedFrom == source;
  if (queued) {
    BSV1_ReleaseLock(&anchor->offlineQueueLock);
    TRC(TRC_DETAIL, ">>>Source entry @%p already on delay offline queue", static_cast<void*>(source));
    ZEV0_FreeStorage(&copy);
    return true;
  }
  copy->CopiedFrom = source;
  copy->next = nullptr;
  copy->NextInDCHqueue = nullptr;
  copy->NextInOfflineQueue = nullptr;
  copy->OwningTask = nullptr;
  copy->OwnsTask = 0;
  TRC(TRC_DETAIL, "Initializing EntryLock for TempSE @%p, copied from currSEptr @%p", static_cast<void*>(copy),
      static_cast<void*>(source));
  BSV1_InitializeLock(&copy->EntryLock);
  copy->State = ZEVP_Ready;
  ZEVP_SetDCHenqueued(copy, 0);
  TRC(TRC_DETAIL, ">>>>>dp_offline postponed until TTL expiration");
  if (anchor->delayedOfflineQueue == nullptr)
    TRC(TRC_DETAIL, "Source entry @%p enqueued to top of offline queue", static_cast<void*>(copy));
  else
    TRC(TRC_DETAIL, "Source entry @%p enqueued to offline queue", static_cast<void*>(copy));
  *tail = copy;
  BSV1_ReleaseLock(&anchor->offlineQueueLock);
  return true;
}

bool ZEVP_TakeBackDelayedOffline(DPAB* anchor, SourceEntry* source) {
  BSV1_GetLock(&anchor->offlineQueueLock);
  SourceEntry* copy = unlinkFirst(anchor, [source](const SourceEntry* queued) {
    return queued->Table == source->Table && sameName(queued->SourceName, source->SourceName);
  });
  BSV1_ReleaseLock(&anchor->offlineQueueLock);
  if (copy == nullptr) return false;
  source->CurrentAction = copy->CurrentAction;
  TRC(TRC_STORAGE, "Freeing source entry @%p", static_cast<void*>(copy));
  freeCopy(copy);
  return true;
}

SourceEntry* ZEVP_TakeDelayedOfflineOfApplication(DPAB* anchor, const ApplicationEntry* application) {
  BSV1_GetLock(&anchor->offlineQueueLock);
  SourceEntry* copy =
      unlinkFirst(anchor, [application](const SourceEntry* queued) { return ofApplication(queued, application); });
  BSV1_ReleaseLock(&anchor->offlineQueueLock);
  return copy;
}

void ZEVP_ReleaseOfflineCopy(DPAB* anchor, SourceEntry** copy) {
  SourceEntry* origin = (*copy)->CopiedFrom;
  if (origin != nullptr) {
    BSV1_GetLock(&origin->DataLock);
    ZEVP_ReleaseSavedRows(origin);
    BSV1_ReleaseLock(&origin->DataLock);
    BSV1_GetLock(&origin->SummaryLock);
    ZEVP_ResetSummaryManagementBlock(origin->Summary);
    BSV1_ReleaseLock(&origin->SummaryLock);
  }
  // Traced while still queued: a release of its application, waiting for the copy to
  // leave the queue, then finds it said.
  TRC(TRC_DETAIL, "Releasing resources for source entry @%p", static_cast<void*>(*copy));
  ZEVP_RemoveSourceFromWaitQueue(anchor, *copy);
  freeCopy(*copy);
  *copy = nullptr;
}

void ZEVP_DropDelayedOfflineOfApplication(DPAB* anchor, const ApplicationEntry* application) {
  for (;;) {
    BSV1_GetLock(&anchor->offlineQueueLock);
    bool done = dropIdleCopies(anchor, application);
    BSV1_ReleaseLock(&anchor->offlineQueueLock);
    if (done) return;
    std::this_thread::sleep_for(kClientLookInterval);
  }
}
