#include "manager_stand_ins.h"

#include <pthread.h>

#include "dp_anchor.h"
#include "network_configuration_block.h"
#include "process_entry.h"
#include "snmp_thread.h"
#include "trc1.h"

TRC_UNIT();

namespace zevs::standin {

namespace {

// Waits on the entry's condition until its end flag is set.
void AwaitEndFlag(ProcessEntry* entry) {
  pthread_mutex_lock(&entry->mutex);
  while (entry->terminationFlag == 0) pthread_cond_wait(&entry->condition, &entry->mutex);
  pthread_mutex_unlock(&entry->mutex);
}

}  // namespace

int RetrieveLocalNetworkInfo(NetworkConfigurationBlock*) {
  TRC(TRC_DETAIL, "Local network discovery not available: no network entered");
  return 1;
}

void ReadNetConfigFromExt(NetworkConfigurationBlock*) { TRC(TRC_DETAIL, "Network work file not available"); }

void ReadNetConfigSeedFile(NetworkConfigurationBlock*) { TRC(TRC_DETAIL, "Network seed file not available"); }

void* ManagedNodeListServer(void* argument) {
  auto* block = static_cast<NetworkConfigurationBlock*>(argument);
  DPAB* anchor = block->anchor;
  ProcessEntry* entry = ZEVP_InitializeProcessEntry(anchor);
  if (entry == nullptr) ZEVS_EndThread();
  entry->threadId = BSV1_ThreadID();
  anchor->managedNodeListEntry = entry;
  AwaitEndFlag(entry);
  anchor->managedNodeListEntry = nullptr;
  ZEVP_DestroyProcessEntry(entry);
  ZEVS_EndThread();
}

void ReadSNMPManagedNodeListConfigFile(DPAB*) { TRC(TRC_DETAIL, "Managed node lists not available"); }

void ShutdownSNMPManagedNodeListTask(DPAB* anchor) {
  ProcessEntry* server = anchor->managedNodeListEntry.load();
  if (server == nullptr) return;
  pthread_mutex_lock(&server->mutex);
  server->terminationFlag = 1;
  pthread_cond_signal(&server->condition);
  pthread_mutex_unlock(&server->mutex);
}

void ReleaseNoDataStatusArray() {}

void* AwaitBlockShutdownThread(void* block) {
  AwaitBlockShutdown(static_cast<NetworkConfigurationBlock*>(block));
  ZEVS_EndThread();
}

void EnqueuePlovenDiscoveryRequest(const char*) {}

}  // namespace zevs::standin
