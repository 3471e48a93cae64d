#include "manager_routines.h"

#include "managed_node_list.h"
#include "manager_stand_ins.h"
#include "no_data_status.h"

namespace zevs {

namespace {

ManagerRoutines DefaultRoutines() {
  ManagerRoutines table{};
  table.retrieveLocalNetworkInfo = standin::RetrieveLocalNetworkInfo;
  table.readNetConfigFromExt = standin::ReadNetConfigFromExt;
  table.readNetConfigSeedFile = standin::ReadNetConfigSeedFile;

  table.checkICMPdaemonStatus = standin::CheckICMPdaemonStatus;
  table.networkMonitorServerTask = standin::NetworkMonitorServerTask;

  table.managedNodeListServer = standin::ManagedNodeListServer;
  table.readSNMPManagedNodeListConfigFile = ZEVP_ReadSNMPManagedNodeListConfigFile;
  table.shutdownSNMPManagedNodeListTask = ZEVP_ShutdownSNMPManagedNodeListTask;
  table.releaseNoDataStatusArray = ZEVP_ReleaseNoDataStatusArray;

  table.trapMonitorTask = standin::AwaitBlockShutdownThread;
  table.loadTrapConfigurationFile = standin::LoadTrapConfigurationFile;

  table.discoverPlovenManagerTask = standin::AwaitBlockShutdownThread;
  table.enqueuePlovenDiscoveryRequest = standin::EnqueuePlovenDiscoveryRequest;

  table.discoverRouterTask = standin::AwaitBlockShutdownThread;
  table.discoverNetworkTask = standin::AwaitBlockShutdownThread;
  return table;
}

ManagerRoutines routines = DefaultRoutines();

}  // namespace

ManagerRoutines& Routines() { return routines; }

}  // namespace zevs
