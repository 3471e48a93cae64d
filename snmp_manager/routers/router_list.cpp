#include "router_list.h"

#include <arpa/inet.h>

#include <cstdio>
#include <cstring>

#include "debug_switches.h"
#include "discovery_seams.h"
#include "network_configuration_block.h"
#include "network_list.h"
#include "network_masks.h"
#include "router_row.h"
#include "zev0/hostnames.h"
#include "zev0/storage.h"
#include "zevs/network_records.h"

TRC_UNIT();

namespace {

constexpr uint32_t kLoopback = 0x7F000001u;  // host order

template <typename T>
T* ClearedArray(int32_t count) {
  auto* array = static_cast<T*>(ZEV0_GetStorage(static_cast<int32_t>(sizeof(T)) * count));
  if (array != nullptr) std::memset(static_cast<void*>(array), 0, sizeof(T) * static_cast<size_t>(count));
  return array;
}

// Under the router-list lock.
RouterEntry* FindListed(NetworkConfigurationBlock* block, uint32_t address) {
  for (RouterEntry* router = block->routers; router != nullptr; router = router->next)
    if (router->address == address) return router;
  return nullptr;
}

// A new entry for the address, filled outside every lock: its sysDescr and name
// come from the network.
RouterEntry* NewRouter(const sockaddr_in* address) {
  RouterEntry* router = ClearedArray<RouterEntry>(1);
  if (router == nullptr) return nullptr;
  BSV1_InitializeLock(&router->lock);
  router->unconfirmed = 1;
  router->address = address->sin_addr.s_addr;
  std::snprintf(router->addressText, sizeof router->addressText, "%s",
                zevs::DottedAddress(router->address).c_str());
  sockaddr_in agent{};
  agent.sin_family = AF_INET;
  agent.sin_addr.s_addr = router->address;
  agent.sin_port = htons(161);
  router->description = zevs::Seams().getMIB2systemDesc(&agent, nullptr);
  if (!ZEV0_ConvertAddrToName(address, &router->name, 1)) {
    const size_t size = std::strlen(router->addressText) + 1;
    router->name = static_cast<char*>(ZEV0_GetStorage(static_cast<int32_t>(size)));
    if (router->name != nullptr) std::memcpy(router->name, router->addressText, size);
  }
  if (router->name == nullptr || !ZEVS_AllocateRouterNetworkArray(router)) {
    ZEVS_FreeRouterEntry(router);
    return nullptr;
  }
  return router;
}

}  // namespace

RouterEntry* ZEVS_UpdateDiscoveredRouter(const sockaddr_in* address, int32_t status) {
  NetworkConfigurationBlock* block = NCB.load();
  if (block == nullptr || address == nullptr) return nullptr;
  const uint32_t wanted = address->sin_addr.s_addr;
  if (wanted == 0) {
    ZEVS_TRC(ZEVS_DEBUG_Route, TRC_DETAIL, "Router address 0.0.0.0 ignored");
    return nullptr;
  }
  if (ntohl(wanted) == kLoopback) {
    ZEVS_TRC(ZEVS_DEBUG_Route, TRC_DETAIL, "Local LoopBack address 127.0.0.1 ignored");
    return nullptr;
  }
  BSV1_GetLock(&block->routerListLock);
  RouterEntry* router = FindListed(block, wanted);
  BSV1_ReleaseLock(&block->routerListLock);
  bool added = false;
  if (router != nullptr) {
    ZEVS_TRC(ZEVS_DEBUG_Route, TRC_DETAIL, ">>> Known router reporting %s", router->addressText);
  } else {
    RouterEntry* made = NewRouter(address);
    if (made == nullptr) return nullptr;
    // Another thread may have added the router while this one asked the network.
    BSV1_GetLock(&block->routerListLock);
    router = FindListed(block, wanted);
    if (router == nullptr) {
      RouterEntry** tail = &block->routers;
      while (*tail != nullptr) tail = &(*tail)->next;
      *tail = router = made;
      added = true;
    }
    BSV1_ReleaseLock(&block->routerListLock);
    if (!added) ZEVS_FreeRouterEntry(made);
  }
  if (added) {
    BSV1_GetLock(&block->blockLock);
    const int32_t total = ++block->routerCount;
    BSV1_ReleaseLock(&block->blockLock);
    ZEVS_TRC(ZEVS_DEBUG_Route, TRC_DETAIL, ">>> New router %s(%s) added. Total routers %d", router->name,
             router->addressText, total);
  }
  BSV1_GetLock(&router->lock);
  router->status = status;
  BSV1_ReleaseLock(&router->lock);
  ZEVS_UpdateRouterInfoToDCH(block, router);
  return router;
}

void ZEVS_FreeRouterEntry(RouterEntry* router) {
  ZEV0_FreeStorage(&router->description);
  ZEV0_FreeStorage(&router->name);
  ZEV0_FreeStorage(&router->networks);
  ZEV0_FreeStorage(&router->metrics);
  ZEV0_FreeStorage(&router->nextHops);
  BSV1_DestroyLock(&router->lock);
  TRC(TRC_STORAGE, "Freeing RouterEntry @%p", static_cast<void*>(router));
  ZEV0_FreeStorage(&router);
}

bool ZEVS_AllocateRouterNetworkArray(RouterEntry* router) {
  const int32_t capacity = router->capacity + ZEVS_ROUTER_ARRAY_STEP;
  auto* networks = ClearedArray<NetworkEntry*>(capacity);
  auto* metrics = ClearedArray<uint32_t>(capacity);
  auto* nextHops = ClearedArray<uint32_t>(capacity);
  if (networks == nullptr || metrics == nullptr || nextHops == nullptr) {
    ZEV0_FreeStorage(&networks);
    ZEV0_FreeStorage(&metrics);
    ZEV0_FreeStorage(&nextHops);
    return false;
  }
  for (int32_t slot = 0; slot < router->capacity; ++slot) {
    networks[slot] = router->networks[slot];
    metrics[slot] = router->metrics[slot];
    nextHops[slot] = router->nextHops[slot];
  }
  ZEV0_FreeStorage(&router->networks);
  ZEV0_FreeStorage(&router->metrics);
  ZEV0_FreeStorage(&router->nextHops);
  router->networks = networks;
  router->metrics = metrics;
  router->nextHops = nextHops;
  router->capacity = capacity;
  return true;
}

void ZEVS_LocateNetworkRouters(NetworkEntry* network) {
  NetworkConfigurationBlock* block = NCB.load();
  network->routers = nullptr;
  if (block == nullptr) return;
  const uint32_t mask = htonl(network->networkMask);
  RouterEntry* last = nullptr;
  int found = 0;
  BSV1_GetLock(&block->routerListLock);
  for (RouterEntry* router = block->routers; router != nullptr; router = router->next) {
    if ((router->address & mask) != network->networkAddress) continue;
    router->nextOnNetwork = nullptr;
    if (last == nullptr)
      network->routers = router;
    else
      last->nextOnNetwork = router;
    last = router;
    ++found;
  }
  BSV1_ReleaseLock(&block->routerListLock);
  ZEVS_TRC(ZEVS_DEBUG_Route, TRC_DETAIL, "%d routers found for network %s", found,
           zevs::DottedAddress(network->networkAddress).c_str());
}

namespace zevs {

bool AddRouterNetwork(RouterEntry* router, NetworkEntry* network, uint32_t metric, uint32_t nextHop) {
  BSV1_GetLock(&router->lock);
  int32_t slot = 0;
  while (slot < router->capacity && router->networks[slot] != nullptr && router->networks[slot] != network) ++slot;
  bool added = false;
  if (slot == router->capacity || router->networks[slot] == nullptr) {
    if (slot == router->capacity) {
      added = ZEVS_AllocateRouterNetworkArray(router);
      if (added)
        ZEVS_TRC(ZEVS_DEBUG_Route, TRC_DETAIL, "Router network array increased to %d for router %s",
                 router->capacity, router->addressText);
    } else {
      added = true;
    }
    if (added) {
      router->networks[slot] = network;
      router->metrics[slot] = metric;
      router->nextHops[slot] = nextHop;
      if (router->networkCount < slot + 1) router->networkCount = slot + 1;
    }
  }
  BSV1_ReleaseLock(&router->lock);
  return added;
}

NetworkEntry* RouterOwnNetwork(RouterEntry* router) {
  BSV1_GetLock(&router->lock);
  NetworkEntry* own = router->ownNetwork;
  BSV1_ReleaseLock(&router->lock);
  if (own != nullptr) return own;
  own = ZEVS_LocateMyNetwork(router->address);
  BSV1_GetLock(&router->lock);
  router->ownNetwork = own;
  BSV1_ReleaseLock(&router->lock);
  return own;
}

RouterEntry* FirstRouter(NetworkConfigurationBlock* block) {
  BSV1_GetLock(&block->routerListLock);
  RouterEntry* router = block->routers;
  BSV1_ReleaseLock(&block->routerListLock);
  return router;
}

RouterEntry* NextRouter(NetworkConfigurationBlock* block, RouterEntry* router) {
  BSV1_GetLock(&block->routerListLock);
  RouterEntry* next = router->next;
  BSV1_ReleaseLock(&block->routerListLock);
  return next;
}

}  // namespace zevs
