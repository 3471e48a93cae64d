// The pool of URL activity subtasks: made at the manager's start and whenever a
// requester waited a whole free-subtask wait in vain, ended at its end.
#include <time.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

#include "http_trace.h"
#include "url_activity.h"
#include "url_management.h"
#include "zev0/console_message.h"
#include "zev0/storage.h"
#include "zev0/threads.h"

TRC_UNIT();

namespace {

void Pause() {
  const timespec pause{0, 10 * 1000 * 1000};
  nanosleep(&pause, nullptr);
}

// The first free subtask, reserved; null when none is free. Under the pool lock.
URLactivityTaskBlock* ReserveFree(URLmanagementBlock* umb) {
  URLactivityTaskBlock* found = nullptr;
  BSV1_GetLock(&umb->SubtaskListLock);
  for (URLactivityTaskBlock* block = umb->Subtasks; block != nullptr && found == nullptr; block = block->next) {
    BSV1_GetLock(&block->BlockLock);
    if (block->State == ZEVP_SUBTASK_FREE) {
      block->State = ZEVP_SUBTASK_RESERVED;
      found = block;
    }
    BSV1_ReleaseLock(&block->BlockLock);
  }
  BSV1_ReleaseLock(&umb->SubtaskListLock);
  return found;
}

void FreeBlock(URLactivityTaskBlock* block) {
  HTTP_TRC(TRC_DETAIL, "Freeing URLactivityTaskBlock @%p", static_cast<void*>(block));
  pthread_mutex_destroy(&block->WorkMutex);
  pthread_cond_destroy(&block->WorkCondition);
  BSV1_DestroyLock(&block->BlockLock);
  block->~URLactivityTaskBlock();
  ZEV0_FreeStorage(&block);
}

}  // namespace

void ZEVP_CreateHTTPclientWorkTask() {
  URLmanagementBlock* umb = zevp::CurrentURLmanagement();
  void* storage = umb != nullptr ? ZEV0_GetStorage(sizeof(URLactivityTaskBlock)) : nullptr;
  if (storage == nullptr) {
    HTTP_TRC(TRC_ERROR, "***** URL activity subtask not made: no storage or URLmanagementBlock");
    return;
  }
  auto* block = new (storage) URLactivityTaskBlock();
  block->ProtocolVersion = VMO1_HTTP11;
  BSV1_InitializeLock(&block->BlockLock);
  ZEV0_InitializeMutex(&block->WorkMutex);
  ZEV0_InitializeCondVar(&block->WorkCondition);
  pthread_t thread;
  if (ZEV0_CreateThread(ZEVP_DoHTTPactivity, block, PTHREAD_CREATE_DETACHED, &thread) != 0) {
    HTTP_TRC(TRC_ERROR, "***** URL activity subtask creation failed. Errno %d", errno);
    FreeBlock(block);
    return;
  }
  // The subtask holds its work mutex once its identifier is stored: only then may a
  // requester find it.
  while (block->ThreadId.load() == 0) BSV1_Sleep(1);
  BSV1_GetLock(&umb->SubtaskListLock);
  URLactivityTaskBlock** tail = &umb->Subtasks;
  while (*tail != nullptr) tail = &(*tail)->next;
  *tail = block;
  BSV1_ReleaseLock(&umb->SubtaskListLock);
  HTTP_TRC(TRC_DETAIL, "URL activity subtask @%p started. Thread: %lX", static_cast<void*>(block),
           block->ThreadId.load());
}

URLactivityTaskBlock* ZEVP_LocateFreeActivitySubtask() {
  URLmanagementBlock* umb = zevp::CurrentURLmanagement();
  if (umb == nullptr) return nullptr;
  bool create = false;
  for (;;) {
    // Looked for under the free-subtask mutex, under which a subtask that becomes
    // free signals: no signal comes between the look and the wait.
    pthread_mutex_lock(&umb->FreeSubtaskMutex);
    URLactivityTaskBlock* block = ReserveFree(umb);
    if (block != nullptr || create) {
      pthread_mutex_unlock(&umb->FreeSubtaskMutex);
      if (block != nullptr) return block;
      HTTP_TRC(TRC_DETAIL, "+++++ All URL subtasks busy. Creating new subtask");
      ZEVP_CreateHTTPclientWorkTask();
      BSV1_GetLock(&umb->SubtaskListLock);
      int32_t subtasks = ++umb->ActivitySubtasks;
      BSV1_ReleaseLock(&umb->SubtaskListLock);
      char message[80];
      std::snprintf(message, sizeof message, "Active URL monitoring task limit increased to %d", subtasks);
      ZEV0_PXconsoleMessage("ActionStatus", "Notify", message);
      continue;
    }
    BSV1_Time before;
    BSV1_GetTime(&before);
    ZEV0_ConditionTimedWait(&umb->FreeSubtaskCondition, &umb->FreeSubtaskMutex, umb->MaxFreeSubtaskWait);
    pthread_mutex_unlock(&umb->FreeSubtaskMutex);
    BSV1_Time after;
    BSV1_GetTime(&after);
    if (after.seconds - before.seconds >= umb->MaxFreeSubtaskWait) create = true;
  }
}

namespace zevp {

void EndActivitySubtasks(URLmanagementBlock* umb) {
  BSV1_GetLock(&umb->SubtaskListLock);
  URLactivityTaskBlock* block = umb->Subtasks;
  umb->Subtasks = nullptr;
  BSV1_ReleaseLock(&umb->SubtaskListLock);
  while (block != nullptr) {
    URLactivityTaskBlock* next = block->next;
    // A subtask that serves a request ends once it is done with it.
    pthread_mutex_lock(&block->WorkMutex);
    BSV1_GetLock(&block->BlockLock);
    block->State = ZEVP_SUBTASK_END_REQUESTED;
    BSV1_ReleaseLock(&block->BlockLock);
    pthread_cond_signal(&block->WorkCondition);
    pthread_mutex_unlock(&block->WorkMutex);
    while (block->State.load() != ZEVP_SUBTASK_ENDED) Pause();
    FreeBlock(block);
    block = next;
  }
}

}  // namespace zevp
