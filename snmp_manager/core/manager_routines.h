// The routines that the SNMP data provider's entry and manager task call in the
// parts of the SNMP side, reached through one table.
//
// Each slot starts as the part's own function (manager_routines.cpp). Tests may
// replace slots while no SNMP data provider runs
// (tests/snmp_manager/fixtures/manager_routine_overrides.h).
#pragma once

#include <netinet/in.h>

#include <cstdint>

struct DPAB;
struct NetworkConfigurationBlock;
struct NetworkEntry;
struct RouterEntry;
struct TrapManagementEntry;

namespace zevs {

// A thread of the manager, started joinable with the network configuration block.
using BlockThreadRoutine = void* (*)(void* block);

struct ManagerRoutines {
  // Network list and configuration block.
  // ZEVS_RetrieveLocalNetworkInfo: enters the host's interface networks and its
  // default router; non-zero when the block then holds a network or a router.
  int (*retrieveLocalNetworkInfo)(NetworkConfigurationBlock* block);
  void (*readNetConfigFromExt)(NetworkConfigurationBlock* block);   // ZEVS_ReadNetConfigFromExt
  void (*readNetConfigSeedFile)(NetworkConfigurationBlock* block);  // ZEVS_ReadNetConfigSeedFile
  // The node community and network-name files are the engine's (zevp::Routines()).

  // ICMP probing and network monitoring.
  void (*checkICMPdaemonStatus)();  // ZEVS_CheckICMPdaemonStatus
  // ZEVS_NetworkMonitorServerTask: runs on the manager task's thread until the
  // anchor's networkManagementEntry (the manager task's entry) is told to end.
  void (*networkMonitorServerTask)(NetworkConfigurationBlock* block);

  // Managed node lists.
  // ZEVS_ManagedNodeListServer: its process entry in the anchor's
  // managedNodeListEntry is its readiness.
  BlockThreadRoutine managedNodeListServer;
  void (*readSNMPManagedNodeListConfigFile)(DPAB* anchor);  // ZEVP_ReadSNMPManagedNodeListConfigFile
  // ZEVP_ShutdownSNMPManagedNodeListTask: frees the lists, sets the server's end flag.
  void (*shutdownSNMPManagedNodeListTask)(DPAB* anchor);
  void (*releaseNoDataStatusArray)();  // ZEVP_ReleaseNoDataStatusArray

  // Traps.
  BlockThreadRoutine trapMonitorTask;  // ZEVS_SNMPtrapMonitorTask
  // ZEVS_LoadTrapConfigurationFile: null entry for the console's TRAPCNFG.
  void (*loadTrapConfigurationFile)(TrapManagementEntry* entry);

  // Agent discovery.
  BlockThreadRoutine discoverPlovenManagerTask;  // ZEVS_DiscoverPlovenManagerTask
  // ZEVS_EnqueuePlovenDiscoveryRequest: null wakes the manager for its shut-down.
  void (*enqueuePlovenDiscoveryRequest)(const char* address);
  // ZEVS_ListenPlovenAgentReply (agent_discovery_server.h): the port on which
  // agents register, stored through its std::atomic<int32_t> argument.
  void* (*listenPlovenAgentReply)(void* listenPort);

  // Router and network discovery.
  BlockThreadRoutine discoverRouterTask;   // ZEVS_DiscoverRouterTask
  BlockThreadRoutine discoverNetworkTask;  // ZEVS_DiscoverNetworkTask
  // ZEVS_IdentifyOwnDefaultRouter: the dotted address of the host's default router
  // in a new 80-byte block (the caller frees it), or null.
  char* (*identifyOwnDefaultRouter)();
  // ZEVS_UpdateDiscoveredRouter: finds or adds the router of the address and sets its
  // status; null when none is registered.
  RouterEntry* (*updateDiscoveredRouter)(const sockaddr_in* address, int32_t status);
  // ZEVS_LocateNetworkRouters: rebuilds the chain of the network's routers
  // (NetworkEntry::routers); called under the entry's lock.
  void (*locateNetworkRouters)(NetworkEntry* network);
  // ZEVS_DetermineAndSetSubnetMask: finds the network's real mask and sets it.
  void (*determineAndSetSubnetMask)(NetworkEntry* network);
};

// The table in effect for the process.
ManagerRoutines& Routines();

}  // namespace zevs
