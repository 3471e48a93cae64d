// The HTTP manager's life: its start, its cycles and its end.
#include <pthread.h>

#include "dp_anchor.h"
#include "dp_log.h"
#include "engine_routines.h"
#include "http_client_task.h"
#include "http_manager.h"
#include "http_trace.h"
#include "url_activity.h"
#include "url_management.h"
#include "url_output.h"
#include "url_rows.h"
#include "zev0/threads.h"

TRC_UNIT();

namespace {

constexpr unsigned kCycleSleepSeconds = 3;
constexpr int kEndLookSeconds = 5;
constexpr int kLogDeliveryWaitSeconds = 5;
constexpr int32_t kManagerActive = 80;
constexpr int32_t kManagerEnded = 81;

void Log(DPAB* anchor, int32_t message) {
  zevp::Routines().sendDPlogMessage(anchor, message, nullptr, nullptr, nullptr, nullptr, nullptr);
}

int32_t ClientTasksStarted(URLmanagementBlock* block) {
  BSV1_GetLock(&block->ClientTaskLock);
  int32_t started = block->ClientTasksStarted;
  BSV1_ReleaseLock(&block->ClientTaskLock);
  return started;
}

// Starts client tasks until the URLs have as many as they need; never fewer.
void StartClientTasks(URLmanagementBlock* block) {
  BSV1_GetLock(&block->URLListLock);
  const int32_t wanted = zevp::ClientTasksWanted(block->ManagedURLCount, block->URLsPerClientTask);
  BSV1_ReleaseLock(&block->URLListLock);
  const int32_t started = ClientTasksStarted(block);
  if (wanted <= started) return;
  HTTP_TRC(TRC_DETAIL, "Starting HTTP client tasks....from %d to %d", started, wanted);
  for (int32_t n = started; n < wanted; ++n) {
    BSV1_GetLock(&block->ClientTaskLock);
    ++block->ClientTasksStarted;
    BSV1_ReleaseLock(&block->ClientTaskLock);
    pthread_t thread;
    if (ZEV0_CreateThread(ZEVP_HTTPclientTask, block, PTHREAD_CREATE_DETACHED, &thread) != 0) {
      HTTP_TRC(TRC_ERROR, "***** HTTP client task not started");
      BSV1_GetLock(&block->ClientTaskLock);
      --block->ClientTasksStarted;
      BSV1_ReleaseLock(&block->ClientTaskLock);
      return;
    }
  }
}

bool WalkInProgress(URLmanagementBlock* block) {
  BSV1_GetLock(&block->URLListLock);
  URLrequestEntry* current = block->CurrentURL;
  BSV1_ReleaseLock(&block->URLListLock);
  HTTP_TRC(TRC_DETAIL, "InitTask: %d CurrentURE @%p", ClientTasksStarted(block), static_cast<void*>(current));
  return current != nullptr;
}

// The pause of a cycle, cut short by a wake of a client task, an added URL or the end.
void Pause(ProcessEntry* entry, URLmanagementBlock* block, int32_t seconds) {
  HTTP_TRC(TRC_DETAIL, ">>>>> Condition Wait pause interval %d", seconds);
  pthread_mutex_lock(&entry->mutex);
  if (entry->terminationFlag == 0 && block->ManagerWakeRequested == 0)
    ZEV0_ConditionTimedWait(&entry->condition, &entry->mutex, seconds);
  block->ManagerWakeRequested = 0;
  pthread_mutex_unlock(&entry->mutex);
  HTTP_TRC(TRC_DETAIL, ">>>>> Signal received or wait time expired");
}

void Cycle(ProcessEntry* entry, URLmanagementBlock* block, bool firstCycle) {
  StartClientTasks(block);
  BSV1_Sleep(kCycleSleepSeconds);
  zevp::RewriteChangedURLconfiguration(block);
  int32_t pause = block->DefaultSampleInterval;
  if (!WalkInProgress(block) && !firstCycle) {
    ZEVP_OutputURLstat(block);
    BSV1_Time now;
    BSV1_GetTime(&now);
    zevp::WalkPlan plan = zevp::PlanNextWalk(block, now.seconds);
    pause = plan.pause;
    if (plan.begun) {
      HTTP_TRC(TRC_DETAIL, "Signaling HTTP client task to proceed");
      zevp::WakeClientTasks(block);
    }
  }
  Pause(entry, block, pause);
}

void Start(ProcessEntry* entry, DPAB* anchor, URLmanagementBlock* block) {
  {
    zevp::URLmanagementRequest published(anchor);
    anchor->httpManagerEntry = entry;
    block->Manager = entry;
  }
  BSV1_GetLock(&block->URLListLock);
  block->CurrentURL = block->URLs;
  BSV1_ReleaseLock(&block->URLListLock);
  Log(anchor, kManagerActive);
  for (int32_t n = 0; n < block->ActivitySubtasks; ++n) ZEVP_CreateHTTPclientWorkTask();
  zevp::StartURLupdateTask(anchor, block);
  block->PageOutputWanted = block->OutputHTML != 0 || block->OutputContent != 0 ? 1 : 0;
}

// Every other HTTP thread ends before the block goes: the client tasks, the update
// task, the subtasks.
void End(ProcessEntry* entry, DPAB* anchor, URLmanagementBlock* block) {
  {
    zevp::URLmanagementRequest ending(anchor);
    anchor->httpManagerEntry = nullptr;
  }
  HTTP_TRC(TRC_DETAIL, ">>>>> Signal HTTP client tasks to shutdown");
  zevp::TellClientTasksToEnd(block);
  HTTP_TRC(TRC_DETAIL, ">>>>> Waiting for all HTTP client tasks to end...");
  pthread_mutex_lock(&entry->mutex);
  while (ClientTasksStarted(block) > 0) {
    if (block->ManagerWakeRequested == 0) ZEV0_ConditionTimedWait(&entry->condition, &entry->mutex, kEndLookSeconds);
    block->ManagerWakeRequested = 0;
  }
  pthread_mutex_unlock(&entry->mutex);
  zevp::EndURLupdateTask(block);
  // No dispatcher waits for a free subtask any longer: the client tasks, the only
  // dispatchers, have ended, so the subtasks are stopped without waking one.
  HTTP_TRC(TRC_DETAIL, ">>>>> Signal URL activity tasks to shutdown");
  zevp::ReleaseURLmanagement(anchor);
  {
    zevp::URLmanagementRequest ending(anchor);
    anchor->managedURLSource = nullptr;
  }
  Log(anchor, kManagerEnded);
  // While the data provider ends, its log server delivers a message a second only as
  // long as threads such as this one run: the end is reported before the thread goes.
  for (int waited = 0; waited < kLogDeliveryWaitSeconds && zevp::DPlogQueued(anchor); ++waited) BSV1_Sleep(1);
}

}  // namespace

void ZEVP_HTTPmanagerTask(ProcessEntry* entry) {
  DPAB* anchor = entry->anchor;
  HTTP_TRC(TRC_DETAIL, ">>>>> HTTP Manager process started. Thread: %lX", entry->threadId.load());
  URLmanagementBlock* block = anchor->urlManagement;
  if (block == nullptr) {
    HTTP_TRC(TRC_ERROR, "***** HTTP manager ends: URLmanagementBlock not available");
    ZEVP_ReleaseProcessResources(anchor, entry);
    ZEVP_EndThread();
  }
  Start(entry, anchor, block);
  for (bool firstCycle = true; entry->terminationFlag == 0; firstCycle = false) Cycle(entry, block, firstCycle);
  End(entry, anchor, block);
  HTTP_TRC(TRC_DETAIL, ">>>>> HTTP manager task ended. Thread: %lX", entry->threadId.load());
  ZEVP_ReleaseProcessResources(anchor, entry);
  ZEVP_EndThread();
}
