#include "discovery_requests.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>

#include "debug_switches.h"
#include "manager_switches.h"
#include "network_configuration_block.h"
#include "trc1.h"
#include "zevs/network_records.h"

TRC_UNIT();

// Made statically: posters may signal before the manager runs or after it ended.
pthread_mutex_t AgentDiscoveryRequestMutex = PTHREAD_MUTEX_INITIALIZER;
pthread_cond_t AgentDiscoveryRequestTaskControl = PTHREAD_COND_INITIALIZER;

namespace {

// The block of the manager that takes requests; null while none does.
std::atomic<NetworkConfigurationBlock*> discoveryBlock{nullptr};

// The queue (CADR), first in first out; the lock guards only it.
std::mutex agentDiscoveryRequestLock;
PlovenDiscoveryRequest* queueHead = nullptr;
PlovenDiscoveryRequest* queueTail = nullptr;

PlovenDiscoveryRequest* PopRequest() {
  std::lock_guard<std::mutex> hold(agentDiscoveryRequestLock);
  PlovenDiscoveryRequest* request = queueHead;
  if (request == nullptr) return nullptr;
  queueHead = request->next;
  if (queueHead == nullptr) queueTail = nullptr;
  request->next = nullptr;
  return request;
}

void FreeQueue() {
  while (PlovenDiscoveryRequest* request = PopRequest()) delete request;
}

bool IsKnownRouter(NetworkConfigurationBlock* block, const char* address) {
  BSV1_GetLock(&block->routerListLock);
  bool known = false;
  for (RouterEntry* router = block->routers; router != nullptr && !known; router = router->next)
    known = strncmp(router->addressText, address, sizeof router->addressText) == 0;
  BSV1_ReleaseLock(&block->routerListLock);
  return known;
}

}  // namespace

void ZEVS_EnqueuePlovenDiscoveryRequest(const char* address) {
  NetworkConfigurationBlock* block = discoveryBlock.load();
  if (block == nullptr || PlovenAgentDiscoveryEnabled.load() == 0) return;
  if (address != nullptr && block->shutdown.load() == 0) {
    auto* request = new (std::nothrow) PlovenDiscoveryRequest{};
    if (request != nullptr) {
      std::snprintf(request->address, sizeof request->address, "%s", address);
      std::lock_guard<std::mutex> hold(agentDiscoveryRequestLock);
      (queueTail != nullptr ? queueTail->next : queueHead) = request;
      queueTail = request;
    }
  }
  pthread_mutex_lock(&AgentDiscoveryRequestMutex);
  pthread_cond_signal(&AgentDiscoveryRequestTaskControl);
  pthread_mutex_unlock(&AgentDiscoveryRequestMutex);
}

PlovenDiscoveryRequest* ZEVS_DequeuePlovenDiscoveryRequest() {
  NetworkConfigurationBlock* block = discoveryBlock.load();
  if (block == nullptr) return nullptr;
  while (block->shutdown.load() == 0) {
    PlovenDiscoveryRequest* request = PopRequest();
    if (request == nullptr || !IsKnownRouter(block, request->address)) return request;
    ZEVS_TRC(ZEVS_DEBUG_Ploven, TRC_DETAIL, "Agent discovery request bypassed for network router %s",
             request->address);
    delete request;
  }
  return nullptr;
}

namespace zevs {

void AcceptDiscoveryRequests(NetworkConfigurationBlock* block) {
  FreeQueue();
  discoveryBlock.store(block);
}

void RefuseDiscoveryRequests() {
  discoveryBlock.store(nullptr);
  FreeQueue();
}

}  // namespace zevs
