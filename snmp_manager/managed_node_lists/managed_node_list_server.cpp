#include <pthread.h>

#include <cerrno>
#include <cstring>

#include "dp_anchor.h"
#include "managed_node_list.h"
#include "managed_node_list_task.h"
#include "network_configuration_block.h"
#include "process_entry.h"
#include "snmp_thread.h"
#include "trc1.h"
#include "zev0/threads.h"

TRC_UNIT();

namespace {

bool QueueEmpty(ProcessEntry* entry) {
  BSV1_GetLock(&entry->workQueueLock);
  const bool empty = entry->requestQueue == nullptr;
  BSV1_ReleaseLock(&entry->workQueueLock);
  return empty;
}

// Starts a detached task for each list of the batch; a list whose task cannot
// start is not watched (and its stop does not wait).
void StartListTasks(NetworkConfigurationBlock* block, ManagedNodeListEntry* batch) {
  while (batch != nullptr) {
    ManagedNodeListEntry* list = batch;
    batch = list->NextInServerQueue;
    list->NextInServerQueue = nullptr;
    list->networkConfiguration = block;
    TRC(TRC_DETAIL, "Start Managed Node List worker task");
    zevs::BlockUserStarted(block);
    pthread_t thread{};
    if (ZEV0_CreateThread(ZEVS_ManagedNodeListTask, list, PTHREAD_CREATE_DETACHED, &thread) != 0) {
      TRC(TRC_ERROR, "*****Managed Node List worker task creation failed. ErrorText <%s>", std::strerror(errno));
      zevp::ForgoManagedNodeListTask(list);
      zevs::BlockUserEnded(block);
    }
  }
}

}  // namespace

void* ZEVS_ManagedNodeListServer(void* networkConfigurationBlock) {
  auto* block = static_cast<NetworkConfigurationBlock*>(networkConfigurationBlock);
  DPAB* anchor = block->anchor;
  ProcessEntry* entry = ZEVP_InitializeProcessEntry(anchor);
  if (entry == nullptr) {
    TRC(TRC_ERROR, "*****Managed Node List Server has no process entry. Node lists not monitored");
    ZEVS_EndThread();
  }
  entry->threadId = BSV1_ThreadID();
  BSV1_GetLock(&entry->entryLock);
  TRC(TRC_DETAIL, ">>>>> SNMP Managed Node List Server process started. Thread: %lX", BSV1_ThreadID());
  anchor->managedNodeListEntry = entry;
  // The mutex is given up while lists are taken and started: who queues a list
  // holds the hand-over lock while it wakes the server.
  pthread_mutex_lock(&entry->mutex);
  while (entry->terminationFlag != 1) {
    if (QueueEmpty(entry)) {
      TRC(TRC_DETAIL, ">>>>> Managed Node List Server Task waits on TaskIO notification");
      int rc = pthread_cond_wait(&entry->condition, &entry->mutex);
      TRC(TRC_DETAIL, ">>>>> Managed Node List Server TaskIO notification received, rc %d errno %d", rc, errno);
      continue;
    }
    pthread_mutex_unlock(&entry->mutex);
    StartListTasks(block, zevp::TakeQueuedManagedNodeLists(entry));
    pthread_mutex_lock(&entry->mutex);
  }
  pthread_mutex_unlock(&entry->mutex);
  zevp::EndManagedNodeListServer(anchor, entry);
  BSV1_ReleaseLock(&entry->entryLock);
  TRC(TRC_DETAIL, ">>>>> SNMP Managed Node List Server process ended. Thread: %lX", BSV1_ThreadID());
  ZEVP_DestroyProcessEntry(entry);
  ZEVS_EndThread();
}
