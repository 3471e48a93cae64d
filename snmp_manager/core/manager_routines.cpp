#include "manager_routines.h"

#include "agent_discovery_manager.h"
#include "agent_discovery_server.h"
#include "default_router.h"
#include "discovery_requests.h"
#include "icmp_probing.h"
#include "local_networks.h"
#include "managed_node_list.h"
#include "managed_node_list_task.h"
#include "network_discovery.h"
#include "network_monitor.h"
#include "network_seed_file.h"
#include "network_work_file.h"
#include "no_data_status.h"
#include "router_discovery.h"
#include "router_list.h"
#include "subnet_discovery.h"
#include "trap_configuration.h"
#include "trap_monitor.h"

namespace zevs {

namespace {

ManagerRoutines DefaultRoutines() {
  ManagerRoutines table{};
  table.retrieveLocalNetworkInfo = ZEVS_RetrieveLocalNetworkInfo;
  table.readNetConfigFromExt = ZEVS_ReadNetConfigFromExt;
  table.readNetConfigSeedFile = ZEVS_ReadNetConfigSeedFile;

  table.checkICMPdaemonStatus = ZEVS_CheckICMPdaemonStatus;
  table.networkMonitorServerTask = ZEVS_NetworkMonitorServerTask;

  table.managedNodeListServer = ZEVS_ManagedNodeListServer;
  table.readSNMPManagedNodeListConfigFile = ZEVP_ReadSNMPManagedNodeListConfigFile;
  table.shutdownSNMPManagedNodeListTask = ZEVP_ShutdownSNMPManagedNodeListTask;
  table.releaseNoDataStatusArray = ZEVP_ReleaseNoDataStatusArray;

  table.trapMonitorTask = ZEVS_SNMPtrapMonitorTask;
  table.loadTrapConfigurationFile = ZEVS_LoadTrapConfigurationFile;

  table.discoverPlovenManagerTask = ZEVS_DiscoverPlovenManagerTask;
  table.enqueuePlovenDiscoveryRequest = ZEVS_EnqueuePlovenDiscoveryRequest;
  table.listenPlovenAgentReply = ZEVS_ListenPlovenAgentReply;

  table.discoverRouterTask = ZEVS_DiscoverRouterTask;
  table.discoverNetworkTask = ZEVS_DiscoverNetworkTask;
  table.identifyOwnDefaultRouter = ZEVS_IdentifyOwnDefaultRouter;
  table.updateDiscoveredRouter = ZEVS_UpdateDiscoveredRouter;
  table.locateNetworkRouters = ZEVS_LocateNetworkRouters;
  table.determineAndSetSubnetMask = ZEVS_DetermineAndSetSubnetMask;
  return table;
}

ManagerRoutines routines = DefaultRoutines();

}  // namespace

ManagerRoutines& Routines() { return routines; }

}  // namespace zevs
