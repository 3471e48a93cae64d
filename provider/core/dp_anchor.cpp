#include "dp_anchor.h"

#include <pthread.h>

#include <array>
#include <new>

#include "action_entry.h"
#include "dp_log.h"
#include "trc1.h"
#include "zev0/storage.h"

TRC_UNIT();

std::atomic<DPAB*> Main_DPAB{nullptr};

namespace {

// Held while Main_DPAB is changed or used, so the main anchor is not released under a user.
pthread_mutex_t mainAnchorMutex = PTHREAD_MUTEX_INITIALIZER;

std::array<BSV1_Lock*, 20> LocksOf(DPAB* anchor) {
  return {&anchor->applicationListLock, &anchor->ioListLock,          &anchor->apiIOListLock,
          &anchor->fileIOListLock,      &anchor->sockIOListLock,      &anchor->appcIOListLock,
          &anchor->processListLock,     &anchor->dchWaitQueueLock,    &anchor->actionListLock,
          &anchor->actionWorkerListLock, &anchor->offlineQueueLock,   &anchor->heldActionLock,
          &anchor->snmpNodeLock,        &anchor->applDefinitionLock,  &anchor->internalRoutingLock,
          &anchor->ombListLock,         &anchor->statPELock,          &anchor->logQueueLock,
          &anchor->httpRowOutputLock,   &anchor->httpObjectOutputLock};
}

}  // namespace

void ZEVP_SetupMainDPanchor(DPAB* anchor) {
  if (anchor == nullptr) return;
  pthread_mutex_lock(&mainAnchorMutex);
  Main_DPAB = anchor;
  pthread_mutex_unlock(&mainAnchorMutex);
}

namespace zevp {

DPAB* NewAnchor() {
  void* storage = ZEV0_GetStorage(sizeof(DPAB));
  if (storage == nullptr) return nullptr;
  auto* anchor = new (storage) DPAB();
  for (BSV1_Lock* lock : LocksOf(anchor)) BSV1_InitializeLock(lock);
  TRC(TRC_STORAGE, "Allocated DP anchor @%p for length %d", static_cast<void*>(anchor),
      static_cast<int>(sizeof(DPAB)));
  return anchor;
}

void FreeAnchor(DPAB* anchor) {
  if (anchor == nullptr) return;
  // A thread that has just ended may still be leaving the process list and signalling
  // its end, both under this mutex.
  { std::lock_guard<std::mutex> ended(anchor->threadEndMutex); }
  ForgetDPlogAnchor(anchor);
  DiscardDPlogQueue(anchor);
  ZEVP_FreeActionEntries(anchor);
  for (BSV1_Lock* lock : LocksOf(anchor)) BSV1_DestroyLock(lock);
  TRC(TRC_STORAGE, "Freeing DP anchor @%p", static_cast<void*>(anchor));
  anchor->~DPAB();
  ZEV0_FreeStorage(&anchor);
}

void WithMainAnchor(const std::function<void(DPAB*)>& action) {
  pthread_mutex_lock(&mainAnchorMutex);
  if (DPAB* anchor = Main_DPAB.load()) action(anchor);
  pthread_mutex_unlock(&mainAnchorMutex);
}

void ForgetMainAnchor(DPAB* anchor) {
  pthread_mutex_lock(&mainAnchorMutex);
  DPAB* expected = anchor;
  Main_DPAB.compare_exchange_strong(expected, nullptr);
  pthread_mutex_unlock(&mainAnchorMutex);
}

}  // namespace zevp
