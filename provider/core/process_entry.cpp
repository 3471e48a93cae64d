#include "process_entry.h"

#include <cerrno>
#include <new>

#include "bsv1.h"
#include "dp_anchor.h"
#include "trc1.h"
#include "zev0/storage.h"
#include "zev0/threads.h"

TRC_UNIT();

int32_t ZEVP_ThreadRC = 0;

void ZEVP_EndThread() { pthread_exit(&ZEVP_ThreadRC); }

namespace {

// The start routine of every thread made by ZEVP_CreateProcess. The id is stored
// here, before the routine can wait for anything, so every routine can be found
// by ZEVP_LocateOwnProcessEntry from its first instruction on.
void* Task(void* argument) {
  auto* entry = static_cast<ProcessEntry*>(argument);
  entry->threadId = BSV1_ThreadID();
  entry->routine(entry);
  return nullptr;
}

void AppendToList(DPAB* anchor, ProcessEntry* entry) {
  ProcessEntry** link = &anchor->processEntries;
  while (*link != nullptr) link = &(*link)->next;
  *link = entry;
}

// Takes the entry out of the anchor's list; the caller holds the list lock.
// False when the entry is not in the list (it is left alone).
bool Unchain(DPAB* anchor, ProcessEntry* entry) {
  BSV1_GetLock(&entry->entryLock);
  bool found = false;
  for (ProcessEntry** link = &anchor->processEntries; *link != nullptr; link = &(*link)->next) {
    if (*link == entry) {
      *link = entry->next;
      entry->next = nullptr;
      found = true;
      break;
    }
  }
  BSV1_ReleaseLock(&entry->entryLock);
  return found;
}

}  // namespace

ProcessEntry* ZEVP_InitializeProcessEntry(DPAB* anchor) {
  void* storage = ZEV0_GetStorage(sizeof(ProcessEntry));
  if (storage == nullptr) {
    TRC(TRC_ERROR, "***** Unable to obtain storage for process entry");
    return nullptr;
  }
  auto* entry = new (storage) ProcessEntry();
  entry->anchor = anchor;
  ZEV0_InitializeMutex(&entry->mutex);
  ZEV0_InitializeCondVar(&entry->condition);
  BSV1_InitializeLock(&entry->workQueueLock);
  BSV1_InitializeLock(&entry->requestLock);
  BSV1_InitializeLock(&entry->TerminationLock);
  BSV1_InitializeLock(&entry->entryLock);
  TRC(TRC_STORAGE, "Allocated process entry @%p for length %d", static_cast<void*>(entry),
      static_cast<int>(sizeof(ProcessEntry)));
  return entry;
}

namespace {

void awaitUnpinned(ProcessEntry* entry) {
  std::unique_lock<std::mutex> guard(entry->pinMutex);
  entry->unpinned.wait(guard, [entry] { return entry->pins == 0; });
}

}  // namespace

void ZEVP_DestroyProcessEntry(ProcessEntry* entry) {
  if (entry == nullptr) return;
  awaitUnpinned(entry);
  pthread_mutex_destroy(&entry->mutex);
  pthread_cond_destroy(&entry->condition);
  BSV1_DestroyLock(&entry->workQueueLock);
  BSV1_DestroyLock(&entry->requestLock);
  BSV1_DestroyLock(&entry->TerminationLock);
  BSV1_DestroyLock(&entry->entryLock);
  TRC(TRC_STORAGE, "Freeing process entry @%p", static_cast<void*>(entry));
  entry->~ProcessEntry();
  ZEV0_FreeStorage(&entry);
}

int ZEVP_CreateProcess(DPAB* anchor, int32_t processType, void* parameter, ZEVP_ProcessRoutine routine,
                       int handShake, ProcessEntry** entryResult) {
  ProcessEntry* entry = ZEVP_InitializeProcessEntry(anchor);
  if (entry == nullptr) return 0;
  entry->processType = processType;
  entry->routine = routine;
  entry->parameter = parameter;

  // Counted together with chaining, before the thread runs: a thread that ends at
  // once can never take the count below the threads that still live.
  BSV1_GetLock(&anchor->processListLock);
  AppendToList(anchor, entry);
  ++anchor->threadCount;
  BSV1_ReleaseLock(&anchor->processListLock);

  if (handShake) pthread_mutex_lock(&entry->mutex);
  pthread_t thread;
  if (ZEV0_CreateThread(Task, entry, PTHREAD_CREATE_DETACHED, &thread) == 0) {
    if (entryResult != nullptr) *entryResult = entry;
    return 1;
  }
  int error = errno;

  BSV1_GetLock(&anchor->processListLock);
  Unchain(anchor, entry);
  --anchor->threadCount;
  BSV1_ReleaseLock(&anchor->processListLock);
  if (handShake) pthread_mutex_unlock(&entry->mutex);  // a locked mutex cannot be destroyed
  ZEVP_DestroyProcessEntry(entry);
  TRC(TRC_ERROR, "***** unable to create process, errno: %d", error);
  if (entryResult != nullptr) *entryResult = nullptr;
  return 0;
}

void ZEVP_SignalProcessStart(ProcessEntry* entry, int failed) {
  pthread_mutex_lock(&entry->mutex);
  if (failed) entry->terminationFlag = 1;
  entry->startSignalled = 1;
  pthread_cond_signal(&entry->condition);
  pthread_mutex_unlock(&entry->mutex);
}

int32_t ZEVP_AwaitProcessStart(ProcessEntry* entry) {
  // The mutex is held since the thread was made, so its report cannot be missed;
  // the predicate guards against a wake-up that is not the report.
  while (!entry->startSignalled) pthread_cond_wait(&entry->condition, &entry->mutex);
  int32_t failed = entry->terminationFlag;
  pthread_mutex_unlock(&entry->mutex);
  return failed;
}

ProcessEntry* ZEVP_LocateOwnProcessEntry(DPAB* anchor) {
  unsigned long self = BSV1_ThreadID();
  BSV1_GetLock(&anchor->processListLock);
  ProcessEntry* entry = anchor->processEntries;
  while (entry != nullptr && entry->threadId != self) entry = entry->next;
  BSV1_ReleaseLock(&anchor->processListLock);
  return entry;
}

void ZEVP_PinProcessEntry(ProcessEntry* entry) {
  std::lock_guard<std::mutex> guard(entry->pinMutex);
  ++entry->pins;
}

void ZEVP_UnpinProcessEntry(ProcessEntry* entry) {
  // Notified under the mutex: once it is released the entry may be gone.
  std::lock_guard<std::mutex> guard(entry->pinMutex);
  if (--entry->pins == 0) entry->unpinned.notify_all();
}

void ZEVP_ReleaseProcessResources(DPAB* anchor, ProcessEntry* entry) {
  if (entry == nullptr) return;
  awaitUnpinned(entry);  // before the locks: a pinner may need them to let go
  // Held until the end is signalled: whoever sees the count drop may free the anchor,
  // and FreeAnchor takes this mutex first, so it waits until the signal is out.
  std::lock_guard<std::mutex> ending(anchor->threadEndMutex);
  BSV1_GetLock(&anchor->processListLock);
  bool chained = Unchain(anchor, entry);
  if (chained) {
    --anchor->threadCount;
  } else {
    TRC(TRC_ERROR, "***** Process entry @%p not in the process list, freed uncounted", static_cast<void*>(entry));
  }
  ZEVP_DestroyProcessEntry(entry);
  BSV1_ReleaseLock(&anchor->processListLock);
  if (chained) anchor->threadEnded.notify_all();
}

int32_t ZEVP_ActiveThreadCount(DPAB* anchor) {
  BSV1_GetLock(&anchor->processListLock);
  int32_t count = anchor->threadCount;
  BSV1_ReleaseLock(&anchor->processListLock);
  return count;
}

int32_t ZEVP_AwaitThreadCountBelow(DPAB* anchor, int32_t count, int seconds) {
  // The count drops under the mutex held here, so an end between reading the count
  // and waiting cannot be missed.
  std::unique_lock<std::mutex> lock(anchor->threadEndMutex);
  int32_t now = 0;
  BSV1_SleepUntil(lock, anchor->threadEnded, static_cast<unsigned>(seconds),
                  [&] { return (now = ZEVP_ActiveThreadCount(anchor)) < count; });
  return now;
}
