// Handing a request to a reserved subtask and, for a page, waiting for its
// completion within the reply wait.
#include <time.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "http_trace.h"
#include "url_activity.h"
#include "url_management.h"
#include "zev0/console_message.h"

TRC_UNIT();

namespace {

// A request that is not dispatched lowers the counts its requester raised for it.
void LowerCounts(URLrequestEntry* entry, bool counted) {
  BSV1_GetLock(&entry->EntryLock);
  if (counted) --entry->ObjConfirmCount;
  if (entry->ObjRequestOutstanding > 0) --entry->ObjRequestOutstanding;
  BSV1_ReleaseLock(&entry->EntryLock);
}

// The reserved subtask is free again.
void Release(URLmanagementBlock* umb, URLactivityTaskBlock* block) {
  BSV1_GetLock(&block->BlockLock);
  if (block->State == ZEVP_SUBTASK_RESERVED) block->State = ZEVP_SUBTASK_FREE;
  BSV1_ReleaseLock(&block->BlockLock);
  pthread_mutex_lock(&umb->FreeSubtaskMutex);
  pthread_cond_signal(&umb->FreeSubtaskCondition);
  pthread_mutex_unlock(&umb->FreeSubtaskMutex);
}

int32_t ConfirmCount(URLrequestEntry* entry) {
  BSV1_GetLock(&entry->EntryLock);
  int32_t count = entry->ObjConfirmCount;
  BSV1_ReleaseLock(&entry->EntryLock);
  return count;
}

// Waits, holding the confirm mutex, until the count changes or the reply wait has
// passed; true when it changed.
bool AwaitCompletion(URLrequestEntry* entry, int32_t before, int seconds) {
  timespec deadline;
  clock_gettime(CLOCK_REALTIME, &deadline);
  deadline.tv_sec += seconds;
  while (ConfirmCount(entry) == before) {
    if (pthread_cond_timedwait(&entry->ConfirmCondition, &entry->ConfirmMutex, &deadline) == ETIMEDOUT)
      return ConfirmCount(entry) != before;
  }
  return true;
}

// The requester stops waiting: the subtask's result changes nothing but the pool
// and the output signal. False when the completion came first after all.
bool Abandon(URLactivityTaskBlock* block, URLrequestEntry* entry, int32_t before) {
  BSV1_GetLock(&entry->EntryLock);
  bool completed = entry->ObjConfirmCount != before;
  if (!completed) {
    block->Abandoned = 1;
    --entry->ObjConfirmCount;
    if (entry->ObjRequestOutstanding > 0) --entry->ObjRequestOutstanding;
  }
  BSV1_ReleaseLock(&entry->EntryLock);
  return !completed;
}

int Dispatch(URLmanagementBlock* umb, URLactivityTaskBlock* block, URLrequestEntry* entry, const char* url, int kind,
             int counted, int wait, int recordStatus) {
  const size_t length = std::strlen(url);
  if (length > static_cast<size_t>(ZEVP_URL_REQUEST_MAX)) {
    HTTP_TRC(TRC_ERROR, "Input URL length %zu longer than supported maximum %d. Not dispatched", length,
             ZEVP_URL_REQUEST_MAX);
    LowerCounts(entry, counted != 0);
    Release(umb, block);
    return 0;
  }
  // The subtask's own hold, let go when it has completed the request.
  if (!zevp::HoldURE(entry)) {
    Release(umb, block);
    return 0;
  }
  BSV1_GetLock(&block->BlockLock);
  block->Abandoned = 0;
  block->RequestKind = kind;
  block->Entry = entry;
  block->Counted = counted;
  block->RecordStatus = recordStatus;
  block->OutputContent = entry->OutputObjectContent;
  std::memcpy(block->URL, url, length + 1);
  BSV1_ReleaseLock(&block->BlockLock);

  const bool awaited = counted != 0 && wait != 0;
  if (awaited) pthread_mutex_lock(&entry->ConfirmMutex);
  const int32_t before = awaited ? ConfirmCount(entry) : 0;
  pthread_mutex_lock(&block->WorkMutex);
  pthread_cond_signal(&block->WorkCondition);
  pthread_mutex_unlock(&block->WorkMutex);
  if (!awaited) return 1;

  bool completed = AwaitCompletion(entry, before, umb->MaxReplyWait);
  pthread_mutex_unlock(&entry->ConfirmMutex);
  if (!ZEVP_FindURE(entry)) return 0;
  if (completed || !Abandon(block, entry, before)) {
    HTTP_TRC(TRC_DETAIL, "Work request completion confirmation received");
    return 1;
  }
  char message[ZEVP_URL_MAX_LENGTH + 80];
  std::snprintf(message, sizeof message, "URL %s request timeout. Retry at next scheduled sample interval", url);
  ZEV0_PXconsoleMessage("ActionStatus", "Warning", message);
  return 0;
}

}  // namespace

int ZEVP_DispatchActivitySubtask(URLactivityTaskBlock* block, URLrequestEntry* entry, const char* url, int kind,
                                 int counted, int wait, int recordStatus) {
  URLmanagementBlock* umb = zevp::CurrentURLmanagement();
  if (umb == nullptr || block == nullptr || url == nullptr) return 0;
  // Held for the length of the dispatch, so that the entry's mutex and counts stay.
  if (!zevp::HoldURE(entry)) {
    HTTP_TRC(TRC_ERROR, "URE @%p not found in list of currently monitored URLs. Not dispatched",
             static_cast<void*>(entry));
    Release(umb, block);
    return 0;
  }
  int dispatched = Dispatch(umb, block, entry, url, kind, counted, wait, recordStatus);
  zevp::LetGoURE(entry);
  return dispatched;
}
