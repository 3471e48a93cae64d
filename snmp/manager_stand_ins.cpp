#include "manager_stand_ins.h"

#include <pthread.h>

#include "dp_anchor.h"
#include "managed_node_list.h"
#include "network_configuration_block.h"
#include "process_entry.h"
#include "snmp_thread.h"
#include "trc1.h"
#include "zev0/storage.h"

TRC_UNIT();

namespace zevs::standin {

namespace {

// Takes the lists queued so far: none of them gets a task.
void HoldListsUnrun(ProcessEntry* entry) {
  BSV1_GetLock(&entry->workQueueLock);
  auto* list = static_cast<ManagedNodeListEntry*>(entry->requestQueue);
  entry->requestQueue = nullptr;
  BSV1_ReleaseLock(&entry->workQueueLock);
  while (list != nullptr) {
    ManagedNodeListEntry* next = list->NextInServerQueue;
    TRC(TRC_DETAIL, "Managed node list %s held: list tasks not available", list->listName.c_str());
    list->taskDone = 1;
    list = next;
  }
}

}  // namespace

void* ManagedNodeListServer(void* argument) {
  auto* block = static_cast<NetworkConfigurationBlock*>(argument);
  DPAB* anchor = block->anchor;
  ProcessEntry* entry = ZEVP_InitializeProcessEntry(anchor);
  if (entry == nullptr) ZEVS_EndThread();
  entry->threadId = BSV1_ThreadID();
  anchor->managedNodeListEntry = entry;
  pthread_mutex_lock(&entry->mutex);
  while (entry->terminationFlag == 0) {
    HoldListsUnrun(entry);
    pthread_cond_wait(&entry->condition, &entry->mutex);
  }
  pthread_mutex_unlock(&entry->mutex);
  anchor->managedNodeListEntry = nullptr;
  ZEVP_DestroyProcessEntry(entry);
  ZEVS_EndThread();
}

void* AwaitBlockShutdownThread(void* block) {
  AwaitBlockShutdown(static_cast<NetworkConfigurationBlock*>(block));
  ZEVS_EndThread();
}

void EnqueuePlovenDiscoveryRequest(const char*) {}


}  // namespace zevs::standin
