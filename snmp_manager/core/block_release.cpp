// The end of the manager's shared state: its lists and the block itself.
#include "agent_discovery_scope.h"
#include "managed_node_entry.h"
#include "network_configuration_block.h"
#include "network_list.h"
#include "router_list.h"
#include "trc1.h"
#include "zev0/sockets.h"
#include "zev0/storage.h"
#include "zevs/network_records.h"

TRC_UNIT();

NetworkEntry* NetModel = nullptr;

namespace {

void FreeRouters(NetworkConfigurationBlock* block) {
  RouterEntry* router = block->routers;
  block->routers = nullptr;
  while (router != nullptr) {
    RouterEntry* next = router->next;
    ZEVS_FreeRouterEntry(router);
    router = next;
  }
}

void FreeHostArrays(NetworkEntry* network) {
  ZEV0_FreeStorage(&network->nodeStatus);
  ZEV0_FreeStorage(&network->minimumResponseTimes);
  ZEV0_FreeStorage(&network->currentResponseTimes);
  ZEV0_FreeStorage(&network->maximumResponseTimes);
}

void FreeHosts(NetworkEntry* network) {
  ManagedNodeEntry* node = network->hosts;
  network->hosts = nullptr;
  while (node != nullptr) {
    ManagedNodeEntry* next = node->next;
    TRC(TRC_STORAGE, "Freeing ManagedNodeEntry @%p, Mnode->ManagedNodeName @%p", static_cast<void*>(node),
        static_cast<void*>(node->ManagedNodeName));
    ZEV0_FreeStorage(&node->addressText);
    ZEV0_FreeStorage(&node->ManagedNodeName);
    ZEV0_FreeStorage(&node->ManagedNodeOID);
    ZEV0_FreeStorage(&node->ManagedNodeDesc);
    ZEV0_FreeStorage(&node->ManagedNodeLocation);
    ZEV0_FreeStorage(&node->ManagedNodeTypeText);
    ZEV0_FreeStorage(&node);
    node = next;
  }
}

void FreeNetworks(NetworkConfigurationBlock* block) {
  NetworkEntry* network = block->networks;
  block->networks = nullptr;
  block->networksTail = nullptr;
  MyOwnNetwork = nullptr;
  while (network != nullptr) {
    NetworkEntry* next = network->next;
    FreeHostArrays(network);
    ZEV0_FreeStorage(&network->symbolicName);
    FreeHosts(network);
    BSV1_DestroyLock(&network->lock);
    TRC(TRC_STORAGE, "Freeing NetworkEntry @%p", static_cast<void*>(network));
    ZEV0_FreeStorage(&network);
    network = next;
  }
}

void FreeShareCallers(NetworkConfigurationBlock* block) {
  ShareCallerBlock* caller = block->shareCallers;
  block->shareCallers = nullptr;
  while (caller != nullptr) {
    ShareCallerBlock* next = caller->next;
    if (caller->socket >= 0) ZEV0_CloseTheSocket(caller->socket);
    ZEV0_FreeStorage(&caller->buffer);
    TRC(TRC_STORAGE, "Freeing ShareCallerBlock @%p", static_cast<void*>(caller));
    ZEV0_FreeStorage(&caller);
    caller = next;
  }
}

}  // namespace

namespace zevs {

void FreeNetworkConfigurationBlock(NetworkConfigurationBlock* block) {
  if (block == nullptr) return;
  BSV1_GetLock(&block->blockLock);
  BSV1_GetLock(&block->routerListLock);
  block->routeTableWalkRunning = 0;
  FreeRouters(block);
  BSV1_ReleaseLock(&block->routerListLock);

  BSV1_GetLock(&block->networkListLock);
  FreeNetworks(block);
  BSV1_ReleaseLock(&block->networkListLock);

  if (NetModel != nullptr) {
    FreeHostArrays(NetModel);
    ZEV0_FreeStorage(&NetModel);
  }

  BSV1_GetLock(&block->shareCallerLock);
  FreeShareCallers(block);
  BSV1_ReleaseLock(&block->shareCallerLock);
  BSV1_ReleaseLock(&block->blockLock);

  ZEV0_FreeStorage(&block->routerWorkFileName);
  ZEV0_FreeStorage(&block->networkWorkFileName);
  ZEV0_FreeStorage(&block->lineBuffer);
  ZEV0_FreeStorage(&block->defaultCommunity);
  ReleaseAgents(AgentScopeOf(block).agents);
  for (BSV1_Lock* lock : {&block->blockLock, &block->routerListLock, &block->networkListLock, &block->shareCallerLock,
                          &block->agentListLock})
    BSV1_DestroyLock(lock);
  pthread_mutex_destroy(&block->stopMutex);
  pthread_cond_destroy(&block->stopCondition);
  NetworkConfigurationBlock* expected = block;
  NCB.compare_exchange_strong(expected, nullptr);
  TRC(TRC_STORAGE, "Freeing NetworkConfigurationBlock @%p", static_cast<void*>(block));
  block->~NetworkConfigurationBlock();
  ZEV0_FreeStorage(&block);
}

}  // namespace zevs
