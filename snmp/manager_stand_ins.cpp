#include "manager_stand_ins.h"

#include <pthread.h>

#include "network_configuration_block.h"
#include "snmp_thread.h"

namespace zevs::standin {

void* AwaitBlockShutdownThread(void* block) {
  AwaitBlockShutdown(static_cast<NetworkConfigurationBlock*>(block));
  ZEVS_EndThread();
}

void EnqueuePlovenDiscoveryRequest(const char*) {}

}  // namespace zevs::standin
