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

void CheckICMPdaemonStatus() { TRC(TRC_DETAIL, "ICMP daemon inquiry not available"); }

void NetworkMonitorServerTask(NetworkConfigurationBlock* block) {
  ProcessEntry* manager = block->anchor->networkManagementEntry.load();
  if (manager != nullptr) AwaitEndFlag(manager);
}

int CheckActiveNode(const uint32_t*, uint16_t, int, NetworkEntry*, NetworkEntry*, int32_t) {
  TRC(TRC_DETAIL, "ICMP probing not available");
  return 0;
}

void* AwaitBlockShutdownThread(void* block) {
  AwaitBlockShutdown(static_cast<NetworkConfigurationBlock*>(block));
  ZEVS_EndThread();
}

void EnqueuePlovenDiscoveryRequest(const char*) {}

char* IdentifyOwnDefaultRouter() { return nullptr; }

RouterEntry* UpdateDiscoveredRouter(const sockaddr_in*, int32_t) { return nullptr; }

void LocateNetworkRouters(NetworkEntry*) {}

void DetermineAndSetSubnetMask(NetworkEntry*) {}

}  // namespace zevs::standin
