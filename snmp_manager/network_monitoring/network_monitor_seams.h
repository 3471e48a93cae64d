// What the network monitor calls in the other parts of the SNMP side (the network
// list, the SNMP get, the managed node lists' filters, the ping), reached through
// one table so that tests can play the SNMP get and the ping.
#pragma once

#include <netinet/in.h>

#include <cstdint>

struct ManagedNodeEntry;
struct NetworkConfigurationBlock;
struct NetworkEntry;

namespace zevs {

struct NetworkMonitorSeams {
  // The network list (known networks and their rows and file).
  int (*isKnownNetwork)(uint32_t address, NetworkEntry** entry);                     // ZEVS_IsKnownNetwork
  NetworkEntry* (*updateNetworkListEntry)(const uint32_t* address, uint32_t mask, int sendRow);  // ZEVS_UpdateNetworkListEntry
  NetworkEntry* (*locateKnownNetwork)(const uint32_t* address);                     // ZEVS_LocateKnownNetwork
  NetworkEntry* (*locateBaseNetworkEntry)(uint32_t network);                        // ZEVS_LocateBaseNetworkEntry
  void (*updateNetworkInfoToDCH)(NetworkConfigurationBlock* block, NetworkEntry* entry);  // ZEVS_UpdateNetworkInfoToDCH
  void (*writeNetConfigToExt)(NetworkConfigurationBlock* block);                    // ZEVS_WriteNetConfigToExt

  // One MIB variable of an agent, its OID as dotted text (ZEVP_RetrieveOneMIBvariable):
  // the value's BER tag, 0 when nothing came; the value (terminated) in new storage
  // through *value, null when empty.
  int (*retrieveOneMIBvariable)(int socketDescriptor, char* buffer, const sockaddr_in* agent, const char* community,
                                const char* oid, char** value, int32_t* valueLength);
  // The managed node lists' filters for a host that came online: 2 when a list
  // holds it already (ZEVP_CheckManagedNodeFilters).
  int (*checkManagedNodeFilters)(const ManagedNodeEntry* node);
  // The ping of one host (ZEVS_CheckActiveNode).
  int (*checkActiveNode)(const uint32_t* address, uint16_t port, int wholeNetwork, NetworkEntry* network,
                         NetworkEntry* second, int32_t waitMs);
};

NetworkMonitorSeams& MonitorSeams();

}  // namespace zevs
