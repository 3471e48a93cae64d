// A client task's life: its process entry in the block's list, its passes over
// the walks the manager begins, and its end.
#include "http_client_task.h"

#include <cerrno>

#include "dp_anchor.h"
#include "engine_routines.h"
#include "http_trace.h"
#include "process_entry.h"
#include "url_management.h"
#include "zev0/storage.h"
#include "zev0/threads.h"

TRC_UNIT();

namespace {

constexpr int kPassPauseSeconds = 300;
constexpr int32_t kClientTaskActive = 78;
constexpr int32_t kClientTaskEnded = 79;

void Log(DPAB* anchor, int32_t message) {
  zevp::Routines().sendDPlogMessage(anchor, message, nullptr, nullptr, nullptr, nullptr, nullptr);
}

void JoinClientList(URLmanagementBlock* block, ProcessEntry* own) {
  BSV1_GetLock(&block->ClientTaskLock);
  ProcessEntry** link = &block->ClientTasks;
  while (*link != nullptr) link = &(*link)->next;
  *link = own;
  if (block->ClientTasksEnding != 0) own->terminationFlag = 1;
  BSV1_ReleaseLock(&block->ClientTaskLock);
}

// Each client under its own mutex, which the manager does not hold its own around.
void SignalListedClients(URLmanagementBlock* block, bool terminate) {
  BSV1_GetLock(&block->ClientTaskLock);
  if (terminate) block->ClientTasksEnding = 1;
  for (ProcessEntry* client = block->ClientTasks; client != nullptr; client = client->next) {
    pthread_mutex_lock(&client->mutex);
    if (terminate) client->terminationFlag = 1;
    pthread_cond_signal(&client->condition);
    pthread_mutex_unlock(&client->mutex);
  }
  BSV1_ReleaseLock(&block->ClientTaskLock);
}

// Every entry under the cursor until the walk is complete (or the task is told to end).
void Pass(URLmanagementBlock* block, zevp::CommonPageBuffer* buffer, ProcessEntry* own) {
  while (own->terminationFlag == 0) {
    URLrequestEntry* entry = zevp::TakeEntryFromCursor(block);
    if (entry == nullptr) return;
    zevp::CheckURLentry(block, buffer, entry, own->terminationFlag);
    zevp::LetGoURE(entry);
  }
}

// Waits for the manager's next walk (or the end), at most the pause between passes.
void AwaitNextWalk(URLmanagementBlock* block, ProcessEntry* own, int64_t* walkSeen) {
  pthread_mutex_lock(&own->mutex);
  while (own->terminationFlag == 0 && block->Walk.load() == *walkSeen) {
    if (ZEV0_ConditionTimedWait(&own->condition, &own->mutex, kPassPauseSeconds) == ETIMEDOUT) break;
  }
  *walkSeen = block->Walk.load();
  pthread_mutex_unlock(&own->mutex);
}

// Leaves the block's list and the count, and wakes the manager, under the
// manager's mutex: once that is let go the manager may free the block.
void LeaveBlock(URLmanagementBlock* block, ProcessEntry* own) {
  ProcessEntry* manager = block->Manager;
  if (manager != nullptr) pthread_mutex_lock(&manager->mutex);
  BSV1_GetLock(&block->ClientTaskLock);
  for (ProcessEntry** link = &block->ClientTasks; own != nullptr && *link != nullptr; link = &(*link)->next) {
    if (*link == own) {
      *link = own->next;
      break;
    }
  }
  --block->ClientTasksStarted;
  BSV1_ReleaseLock(&block->ClientTaskLock);
  if (manager != nullptr) {
    block->ManagerWakeRequested = 1;
    pthread_cond_signal(&manager->condition);
    pthread_mutex_unlock(&manager->mutex);
  }
}

}  // namespace

namespace zevp {

void WakeClientTasks(URLmanagementBlock* block) { SignalListedClients(block, false); }

void TellClientTasksToEnd(URLmanagementBlock* block) { SignalListedClients(block, true); }

}  // namespace zevp

void* ZEVP_HTTPclientTask(void* argument) {
  auto* block = static_cast<URLmanagementBlock*>(argument);
  DPAB* anchor = block->Anchor;
  ProcessEntry* own = ZEVP_InitializeProcessEntry(anchor);
  if (own == nullptr) {
    HTTP_TRC(TRC_ERROR, "***** HTTP client task ends: no process entry");
    LeaveBlock(block, nullptr);
    return nullptr;
  }
  own->threadId = BSV1_ThreadID();
  HTTP_TRC(TRC_DETAIL, ">>>>> HTTP client task started. Thread: %lX", own->threadId.load());
  JoinClientList(block, own);
  Log(anchor, kClientTaskActive);
  zevp::CommonPageBuffer buffer;
  buffer.page = static_cast<char*>(ZEV0_GetStorage(zevp::kCommonPageSize + 4));
  if (buffer.page != nullptr)
    buffer.size = zevp::kCommonPageSize;
  else
    HTTP_TRC(TRC_ERROR, "***** No storage for the common page buffer: pages are checked without their content");

  // The first pass begins at once: the manager set the cursor to the head.
  int64_t walkSeen = block->Walk.load();
  while (own->terminationFlag == 0) {
    Pass(block, &buffer, own);
    zevp::WakeHTTPmanager(block);
    AwaitNextWalk(block, own, &walkSeen);
  }

  HTTP_TRC(TRC_DETAIL, ">>>>> HTTP client task ended. Thread: %lX", own->threadId.load());
  Log(anchor, kClientTaskEnded);
  LeaveBlock(block, own);
  ZEV0_FreeStorage(&buffer.page);
  ZEVP_DestroyProcessEntry(own);
  return nullptr;
}
