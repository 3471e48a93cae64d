#include "network_list.h"

#include <arpa/inet.h>

#include <atomic>
#include <cstring>

#include "debug_switches.h"
#include "manager_routines.h"
#include "network_configuration_block.h"
#include "network_masks.h"
#include "network_name_list.h"
#include "network_summary_row.h"
#include "zev0/storage.h"
#include "zevs/network_records.h"

TRC_UNIT();

NetworkEntry* MyOwnNetwork = nullptr;

namespace {

constexpr uint32_t kClassCmask = 0xFFFFFF00u;
constexpr int32_t kNewPollInterval = 300;
constexpr int32_t kUnreachedMetric = 16;

// Holds the block's network-list lock for a scope.
class ListHold {
 public:
  explicit ListHold(NetworkConfigurationBlock* block) : lock_(&block->networkListLock) { BSV1_GetLock(lock_); }
  ~ListHold() { BSV1_ReleaseLock(lock_); }
  ListHold(const ListHold&) = delete;
  ListHold& operator=(const ListHold&) = delete;

 private:
  BSV1_Lock* lock_;
};

template <typename T>
T* ClearedArray(int32_t count) {
  auto* array = static_cast<T*>(ZEV0_GetStorage(static_cast<int32_t>(sizeof(T)) * count));
  if (array != nullptr) std::memset(static_cast<void*>(array), 0, sizeof(T) * static_cast<size_t>(count));
  return array;
}

// The first entry of the list with the address; under the list lock.
NetworkEntry* FindListed(NetworkConfigurationBlock* block, uint32_t address) {
  for (NetworkEntry* entry = block->networks; entry != nullptr; entry = entry->next)
    if (entry->networkAddress == address) return entry;
  return nullptr;
}

NetworkEntry* NewEntry(uint32_t address, uint32_t hostOrderMask) {
  NetworkEntry* entry = ClearedArray<NetworkEntry>(1);
  if (entry == nullptr) return nullptr;
  BSV1_InitializeLock(&entry->lock);
  entry->state = ZEVS_NETWORK_NOT_MANAGED;
  entry->pollInterval = kNewPollInterval;
  entry->routeMetric = kUnreachedMetric;
  entry->networkAddress = address;
  entry->networkMask = hostOrderMask;
  entry->symbolicName = ZEVP_LocateSNMPnetworkSymbolicName(address);
  return entry;
}

void FreeEntry(NetworkEntry* entry) {
  ZEV0_FreeStorage(&entry->nodeStatus);
  ZEV0_FreeStorage(&entry->minimumResponseTimes);
  ZEV0_FreeStorage(&entry->currentResponseTimes);
  ZEV0_FreeStorage(&entry->maximumResponseTimes);
  ZEV0_FreeStorage(&entry->symbolicName);
  BSV1_DestroyLock(&entry->lock);
  ZEV0_FreeStorage(&entry);
}

// Appends the entry at the tail; the first entry of all is the manager's own network.
void Append(NetworkConfigurationBlock* block, NetworkEntry* entry) {
  ListHold hold(block);
  entry->previous = block->networksTail;
  entry->next = entry->backupNext = nullptr;
  if (block->networksTail == nullptr) {
    block->networks = entry;
    entry->routeMetric = 0;
    if (MyOwnNetwork == nullptr) MyOwnNetwork = entry;
  } else {
    block->networksTail->next = block->networksTail->backupNext = entry;
  }
  block->networksTail = entry;
}

}  // namespace

NetworkEntry* ZEVS_UpdateNetworkListEntry(const uint32_t* address, uint32_t mask, int sendRow) {
  NetworkConfigurationBlock* block = NCB.load();
  if (block == nullptr || address == nullptr) return nullptr;
  if (*address == 0) {
    ZEVS_TRC(ZEVS_DEBUG_Network, TRC_DETAIL, "Network address 0.0.0.0 ignored");
    return nullptr;
  }
  if (ZEVS_IsKnownNetwork(*address, nullptr)) return nullptr;
  uint32_t hostOrderMask = ntohl(mask);
  if (hostOrderMask == 0) {
    ZEVS_TRC(ZEVS_DEBUG_Network, TRC_DETAIL, "No input network mask. Class C mask assumed");
    hostOrderMask = kClassCmask;
  }
  NetworkEntry* entry = NewEntry(*address, hostOrderMask);
  if (entry == nullptr) return nullptr;
  const uint32_t complement = ~hostOrderMask;
  entry->hostRange = static_cast<int32_t>(complement > ZEVS_MAX_HOST_RANGE ? ZEVS_MAX_HOST_RANGE : complement);
  if (entry->hostRange == 0) {
    FreeEntry(entry);
    return nullptr;
  }
  ZEVS_TRC(ZEVS_DEBUG_Network, TRC_DETAIL, "Network %s managed range set to %d", zevs::DottedAddress(*address).c_str(),
           entry->hostRange);
  ZEVS_AllocateNetStatArray(entry);
  if (entry->nodeStatus == nullptr) {
    FreeEntry(entry);
    return nullptr;
  }
  // A second caller may have entered the network meanwhile: only one entry is kept.
  {
    ListHold hold(block);
    if (FindListed(block, *address) != nullptr) {
      FreeEntry(entry);
      return nullptr;
    }
    Append(block, entry);
  }
  BSV1_GetLock(&block->blockLock);
  const int32_t total = ++block->networkCount;
  BSV1_ReleaseLock(&block->blockLock);
  ZEVS_TRC(ZEVS_DEBUG_Network, TRC_DETAIL, ">>> new total networks %d", total);
  if (sendRow) ZEVS_UpdateNetworkInfoToDCH(block, entry);
  return entry;
}

void ZEVS_AllocateNetStatArray(NetworkEntry* entry) {
  if (entry->hostRange <= 0) {
    ZEVS_TRC(ZEVS_DEBUG_Network, TRC_DETAIL, "Managed range reset from %d to 1", entry->hostRange);
    entry->hostRange = 1;
  }
  ZEV0_FreeStorage(&entry->nodeStatus);
  ZEV0_FreeStorage(&entry->minimumResponseTimes);
  ZEV0_FreeStorage(&entry->currentResponseTimes);
  ZEV0_FreeStorage(&entry->maximumResponseTimes);
  const int32_t range = entry->hostRange;
  entry->nodeStatus = static_cast<char*>(ZEV0_GetStorage(range));
  entry->minimumResponseTimes = ClearedArray<uint32_t>(range);
  entry->currentResponseTimes = ClearedArray<uint32_t>(range);
  entry->maximumResponseTimes = ClearedArray<uint32_t>(range);
  if (entry->nodeStatus == nullptr || entry->minimumResponseTimes == nullptr ||
      entry->currentResponseTimes == nullptr || entry->maximumResponseTimes == nullptr) {
    ZEV0_FreeStorage(&entry->nodeStatus);
    ZEV0_FreeStorage(&entry->minimumResponseTimes);
    ZEV0_FreeStorage(&entry->currentResponseTimes);
    ZEV0_FreeStorage(&entry->maximumResponseTimes);
    return;
  }
  std::memset(entry->nodeStatus, '0', static_cast<size_t>(range));
  for (int32_t host = 0; host < range; ++host) entry->minimumResponseTimes[host] = ZEVS_NO_RESPONSE_TIME;
}

void ZEVS_RepairNetworkList() {
  NetworkConfigurationBlock* block = NCB.load();
  if (block == nullptr) return;
  ListHold hold(block);
  for (NetworkEntry* entry = block->networks; entry != nullptr; entry = entry->next) {
    if (entry->next != nullptr || entry == block->networksTail) continue;
    NetworkEntry* follower = block->networksTail;
    while (follower != nullptr && follower->previous != entry) follower = follower->previous;
    ZEVS_TRC(ZEVS_DEBUG_Network, TRC_DETAIL, "NE @%p forward pointer reset from @%p to @%p",
             static_cast<void*>(entry), static_cast<void*>(entry->next), static_cast<void*>(follower));
    entry->next = entry->backupNext = follower;
  }
}

int ZEVS_IsKnownNetwork(uint32_t address, NetworkEntry** entry) {
  if (entry != nullptr) *entry = nullptr;
  NetworkConfigurationBlock* block = NCB.load();
  if (block == nullptr) return 0;
  ListHold hold(block);
  if (address == 0) return block->networks != nullptr ? 1 : 0;
  NetworkEntry* found = FindListed(block, address);
  if (entry != nullptr) *entry = found;
  return found != nullptr ? 1 : 0;
}

NetworkEntry* ZEVS_LocateKnownNetwork(const uint32_t* address) {
  if (address == nullptr) {
    TRC(TRC_ERROR, "***** No input network address specified");
    return nullptr;
  }
  NetworkConfigurationBlock* block = NCB.load();
  NetworkEntry* found = nullptr;
  if (block != nullptr) {
    ListHold hold(block);
    found = FindListed(block, *address);
  }
  if (found == nullptr)
    ZEVS_TRC(ZEVS_DEBUG_Network, TRC_DETAIL, "Input network %s unknown", zevs::DottedAddress(*address).c_str());
  return found;
}

NetworkEntry* ZEVS_LocateBaseNetworkEntry(uint32_t network) {
  const uint32_t base = network & ZEVS_GetStandardNetMask(network);
  return ZEVS_LocateKnownNetwork(&base);
}

NetworkEntry* ZEVS_LocateMyNetwork(uint32_t address) {
  NetworkConfigurationBlock* block = NCB.load();
  NetworkEntry* best = nullptr;
  uint32_t bestMask = 0;
  if (block != nullptr) {
    ListHold hold(block);
    for (NetworkEntry* entry = block->networks; entry != nullptr; entry = entry->next) {
      BSV1_GetLock(&entry->lock);
      const uint32_t mask = entry->networkMask;
      BSV1_ReleaseLock(&entry->lock);
      if ((address & htonl(mask)) == entry->networkAddress && (best == nullptr || mask > bestMask)) {
        best = entry;
        bestMask = mask;
      }
    }
  }
  if (best == nullptr) ZEVS_TRC(ZEVS_DEBUG_Network, TRC_DETAIL, "NetworkEntry object not found");
  return best;
}

void ZEVS_RetrieveNetworkAddress(uint32_t* network, const uint32_t* address) {
  ZEVS_Netnum(network, *address);
  NetworkEntry* known = nullptr;
  if (!ZEVS_IsKnownNetwork(*network, &known) || known == nullptr) return;
  BSV1_GetLock(&known->lock);
  const uint32_t mask = known->networkMask;
  BSV1_ReleaseLock(&known->lock);
  if (htonl(mask) != ZEVS_GetStandardNetMask(*network)) *network = *address & htonl(mask);
}

namespace zevs {

bool IsExcludedNetwork(NetworkEntry* network) {
  BSV1_GetLock(&network->lock);
  const bool excluded = network->state == ZEVS_NETWORK_EXCLUDED || network->state == ZEVS_NETWORK_EXCLUDED_BY_SUBNET;
  BSV1_ReleaseLock(&network->lock);
  return excluded;
}

}  // namespace zevs

void ZEVS_ValidateSubnetMask(NetworkConfigurationBlock* block) {
  BSV1_GetLock(&block->networkListLock);
  NetworkEntry* entry = block->networks;
  BSV1_ReleaseLock(&block->networkListLock);
  while (entry != nullptr && block->shutdown.load() == 0) {
    BSV1_GetLock(&entry->lock);
    const bool asks = entry->state != ZEVS_NETWORK_EXCLUDED && entry->state != ZEVS_NETWORK_EXCLUDED_BY_SUBNET &&
                      ZEVS_IsStandardSubnetMask(entry->networkMask) && entry->learnedFromRouteTable == 0;
    BSV1_ReleaseLock(&entry->lock);
    if (asks) zevs::Routines().determineAndSetSubnetMask(entry);
    BSV1_GetLock(&block->networkListLock);
    entry = entry->next;
    BSV1_ReleaseLock(&block->networkListLock);
  }
}
