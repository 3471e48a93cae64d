#include "manager_routines.h"

#include "icmp_probing.h"
#include "manager_stand_ins.h"
#include "network_monitor.h"
#include "trap_configuration.h"
#include "trap_monitor.h"

namespace zevs {

namespace {

ManagerRoutines DefaultRoutines() {
  ManagerRoutines table{};
  table.retrieveLocalNetworkInfo = standin::RetrieveLocalNetworkInfo;
  table.readNetConfigFromExt = standin::ReadNetConfigFromExt;
  table.readNetConfigSeedFile = standin::ReadNetConfigSeedFile;

  table.checkICMPdaemonStatus = ZEVS_CheckICMPdaemonStatus;
  table.networkMonitorServerTask = ZEVS_NetworkMonitorServerTask;

  table.managedNodeListServer = standin::ManagedNodeListServer;
  table.readSNMPManagedNodeListConfigFile = standin::ReadSNMPManagedNodeListConfigFile;
  table.shutdownSNMPManagedNodeListTask = standin::ShutdownSNMPManagedNodeListTask;
  table.releaseNoDataStatusArray = standin::ReleaseNoDataStatusArray;

  table.trapMonitorTask = ZEVS_SNMPtrapMonitorTask;
  table.loadTrapConfigurationFile = ZEVS_LoadTrapConfigurationFile;

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
