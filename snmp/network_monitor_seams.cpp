#include "network_monitor_seams.h"

#include <arpa/inet.h>

#include <cstring>

#include "icmp_probing.h"
#include "network_configuration_block.h"
#include "network_records.h"
#include "one_variable_get.h"
#include "trc1.h"
#include "zev0/ber.h"
#include "zev0/storage.h"

TRC_UNIT();

namespace zevs {

namespace {

// Stand-ins of the network list until its part is merged: the block's list walked
// and appended to, every new network a /24.
NetworkEntry* FindNetwork(uint32_t address) {
  NetworkConfigurationBlock* block = NCB.load();
  if (block == nullptr) return nullptr;
  BSV1_GetLock(&block->networkListLock);
  NetworkEntry* entry = block->networks;
  while (entry != nullptr && entry->networkAddress != address) entry = entry->next;
  BSV1_ReleaseLock(&block->networkListLock);
  return entry;
}

int IsKnownNetwork(uint32_t address, NetworkEntry** entry) {
  NetworkEntry* found = FindNetwork(address);
  if (entry != nullptr) *entry = found;
  return found != nullptr ? 1 : 0;
}

NetworkEntry* UpdateNetworkListEntry(const uint32_t* address, uint32_t, int) {
  NetworkConfigurationBlock* block = NCB.load();
  if (block == nullptr || address == nullptr || *address == 0 || FindNetwork(*address) != nullptr) return nullptr;
  constexpr int32_t kRange = 255;
  auto* entry = static_cast<NetworkEntry*>(ZEV0_GetStorage(sizeof(NetworkEntry)));
  if (entry == nullptr) return nullptr;
  std::memset(static_cast<void*>(entry), 0, sizeof(NetworkEntry));
  BSV1_InitializeLock(&entry->lock);
  entry->networkAddress = *address;
  entry->networkMask = 0xFFFFFF00u;
  entry->hostRange = kRange;
  entry->pollInterval = 300;
  entry->nodeStatus = static_cast<char*>(ZEV0_GetStorage(kRange));
  entry->minimumResponseTimes = static_cast<uint32_t*>(ZEV0_GetStorage(kRange * 4));
  entry->currentResponseTimes = static_cast<uint32_t*>(ZEV0_GetStorage(kRange * 4));
  entry->maximumResponseTimes = static_cast<uint32_t*>(ZEV0_GetStorage(kRange * 4));
  if (entry->nodeStatus != nullptr) std::memset(entry->nodeStatus, '0', kRange);
  for (int32_t i = 0; entry->minimumResponseTimes != nullptr && i < kRange; ++i) entry->minimumResponseTimes[i] = 2147483647u;
  BSV1_GetLock(&block->networkListLock);
  NetworkEntry** tail = &block->networks;
  while (*tail != nullptr) {
    entry->previous = *tail;
    tail = &(*tail)->next;
  }
  *tail = entry;
  BSV1_ReleaseLock(&block->networkListLock);
  return entry;
}

NetworkEntry* LocateKnownNetwork(const uint32_t* address) { return address == nullptr ? nullptr : FindNetwork(*address); }

NetworkEntry* LocateBaseNetworkEntry(uint32_t) { return nullptr; }

void UpdateNetworkInfoToDCH(NetworkConfigurationBlock*, NetworkEntry*) { TRC(TRC_DETAIL, "NETSUMMARY rows not available"); }

void WriteNetConfigToExt(NetworkConfigurationBlock*) { TRC(TRC_DETAIL, "Network work file not available"); }

// The one-variable get with the OID given as dotted text; each thread counts its
// own request IDs.
int RetrieveOneMIBvariable(int socketDescriptor, char* buffer, const sockaddr_in* agent, const char* community,
                           const char* oid, char** value, int32_t* valueLength) {
  thread_local int32_t requestID = 0;
  char* field = nullptr;
  int32_t fieldLength = 0;
  if (ZEV0_FormatOIDfromString(oid, &field, &fieldLength) == 0) return 0;
  int32_t errorStatus = 0;
  *value = nullptr;
  int tag = ZEVP_RetrieveOneMIBvariable(socketDescriptor, buffer, agent, community, &requestID, &errorStatus,
                                        &fieldLength, field, valueLength, value, 0, 0);
  ZEV0_FreeStorage(&field);
  return tag;
}

// Until the managed node lists are merged no list holds a host.
int CheckManagedNodeFilters(const ManagedNodeEntry*) { return 0; }

NetworkMonitorSeams DefaultSeams() {
  NetworkMonitorSeams seams{};
  seams.isKnownNetwork = IsKnownNetwork;
  seams.updateNetworkListEntry = UpdateNetworkListEntry;
  seams.locateKnownNetwork = LocateKnownNetwork;
  seams.locateBaseNetworkEntry = LocateBaseNetworkEntry;
  seams.updateNetworkInfoToDCH = UpdateNetworkInfoToDCH;
  seams.writeNetConfigToExt = WriteNetConfigToExt;
  seams.retrieveOneMIBvariable = RetrieveOneMIBvariable;
  seams.checkManagedNodeFilters = CheckManagedNodeFilters;
  seams.checkActiveNode = ZEVS_CheckActiveNode;
  return seams;
}

NetworkMonitorSeams seams = DefaultSeams();

}  // namespace

NetworkMonitorSeams& MonitorSeams() { return seams; }

}  // namespace zevs
