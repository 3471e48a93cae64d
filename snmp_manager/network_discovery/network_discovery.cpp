#include "network_discovery.h"

#include <cstring>

#include "debug_switches.h"
#include "dp_anchor.h"
#include "discovery_seams.h"
#include "manager_routines.h"
#include "manager_switches.h"
#include "network_configuration_block.h"
#include "network_list.h"
#include "network_masks.h"
#include "network_summary_row.h"
#include "network_work_file.h"
#include "own_network_request.h"
#include "ploven_agent_row.h"
#include "snmp_manager_model.h"
#include "snmp_thread.h"
#include "subnet_discovery.h"
#include "zev0/storage.h"
#include "zev0/threads.h"
#include "zevs/network_records.h"

TRC_UNIT();

namespace {

constexpr unsigned kFirstNetworkWait = 15;
constexpr unsigned kPassSleep = 30;
constexpr unsigned kEnterprisePause = 60;
constexpr int64_t kAgentRecheckSeconds = 300;
constexpr int32_t kMaxThreshold = 5;
constexpr int32_t kWholeRange = 65535;
constexpr int32_t kClassCrange = 255;

int64_t Now() {
  BSV1_Time now{};
  BSV1_GetTime(&now);
  return now.seconds;
}

bool ShuttingDown(NetworkConfigurationBlock* block) { return block->shutdown.load() != 0; }

NetworkEntry* NextNetwork(NetworkConfigurationBlock* block, NetworkEntry* network) {
  BSV1_GetLock(&block->networkListLock);
  NetworkEntry* next = network == nullptr ? block->networks : network->next;
  BSV1_ReleaseLock(&block->networkListLock);
  return next;
}

// Every network not excluded is searched for subnets; the walk ends at the list's end.
void SearchAllSubnets(NetworkConfigurationBlock* block) {
  for (NetworkEntry* network = NextNetwork(block, nullptr); network != nullptr && !ShuttingDown(block);
       network = NextNetwork(block, network)) {
    if (!zevs::IsExcludedNetwork(network)) ZEVS_CheckValidSubnets(network);
  }
}

void* RunSubnetNodeDiscovery(void* argument) {
  auto* block = static_cast<NetworkConfigurationBlock*>(argument);
  ZEVS_DiscoverSubnetNodes(block);
  zevs::BlockUserEnded(block);
  return nullptr;
}

struct Counts {
  int32_t networks = 0;
  int32_t nodes = 0;
  int32_t monitored = 0;
  bool operator!=(const Counts& other) const {
    return networks != other.networks || nodes != other.nodes || monitored != other.monitored;
  }
};

Counts CurrentCounts(NetworkConfigurationBlock* block) {
  Counts counts;
  BSV1_GetLock(&block->blockLock);
  counts.networks = block->networkCount;
  counts.nodes = block->nodeCount;
  counts.monitored = block->monitoredNetworks;
  BSV1_ReleaseLock(&block->blockLock);
  return counts;
}

// Recounts the nodes and monitored networks of the list into the block.
Counts Recount(NetworkConfigurationBlock* block) {
  int32_t nodes = 0;
  int32_t monitored = 0;
  BSV1_GetLock(&block->networkListLock);
  for (NetworkEntry* network = block->networks; network != nullptr; network = network->next) {
    BSV1_GetLock(&network->lock);
    nodes += network->seenHostCount;
    if (network->state == ZEVS_NETWORK_MANAGED) ++monitored;
    BSV1_ReleaseLock(&network->lock);
  }
  BSV1_ReleaseLock(&block->networkListLock);
  BSV1_GetLock(&block->blockLock);
  block->nodeCount = nodes;
  block->monitoredNetworks = monitored;
  BSV1_ReleaseLock(&block->blockLock);
  return CurrentCounts(block);
}

// The hosts whose letter is not '0'; under the network's lock.
int32_t SeenHosts(const NetworkEntry* network) {
  int32_t seen = 0;
  for (int32_t host = 1; network->nodeStatus != nullptr && host < network->hostRange; ++host)
    if (network->nodeStatus[host] != '0') ++seen;
  return seen;
}

// Pings every host of an unmanaged network in this pass's range, unless the
// network's threshold makes it skip this turn.
void SweepNetwork(NetworkConfigurationBlock* block, NetworkEntry* network, int32_t probeWait) {
  BSV1_GetLock(&block->blockLock);
  const int32_t discoverRange = block->discoverRange;
  const int32_t discoverCycle = block->discoverCycle;
  BSV1_ReleaseLock(&block->blockLock);
  BSV1_GetLock(&network->lock);
  if (network->state != ZEVS_NETWORK_NOT_MANAGED || network->hostRange > discoverRange ||
      network->searchCycleCount > discoverCycle) {
    BSV1_ReleaseLock(&network->lock);
    return;
  }
  if (network->discoveryDelay < network->discoveryThreshold) {
    ++network->discoveryDelay;
    BSV1_ReleaseLock(&network->lock);
    return;
  }
  const int32_t before = network->seenHostCount;
  for (int32_t host = 1; network->nodeStatus != nullptr && host < network->hostRange; ++host)
    if (network->nodeStatus[host] == 'A') network->nodeStatus[host] = 'I';
  const uint32_t address = network->networkAddress;
  BSV1_ReleaseLock(&network->lock);

  NetworkEntry* classNetwork = ZEVS_LocateBaseNetworkEntry(address);
  zevs::Seams().checkActiveNode(&address, 0, 1, network, classNetwork, probeWait);
  const std::string dotted = zevs::DottedAddress(address);
  BSV1_GetLock(&network->lock);
  ++network->searchCycleCount;
  network->seenHostCount = SeenHosts(network);
  const int32_t seen = network->seenHostCount;
  if (seen == before) {
    if (network->discoveryThreshold < kMaxThreshold) ++network->discoveryThreshold;
  } else {
    network->discoveryThreshold = 0;
  }
  network->discoveryDelay = 0;
  BSV1_ReleaseLock(&network->lock);
  if (seen == before)
    ZEVS_TRC(ZEVS_DEBUG_Network, TRC_DETAIL, "No new node discovered in network %s", dotted.c_str());
  else
    ZEVS_TRC(ZEVS_DEBUG_Network, TRC_DETAIL, "%d node(s) discovered in network %s", seen, dotted.c_str());
  ZEVS_UpdateNetworkInfoToDCH(block, network);
}

// The list head, the host's own network, goes to network monitoring once.
void ScheduleOwnNetwork(NetworkConfigurationBlock* block) {
  NetworkEntry* head = NextNetwork(block, nullptr);
  if (head == nullptr) return;
  // Tested and set in one hold: a route walk may exclude the network in between.
  BSV1_GetLock(&head->lock);
  const bool unmanaged = head->state == ZEVS_NETWORK_NOT_MANAGED;
  if (unmanaged) head->state = ZEVS_NETWORK_MANAGED;
  const uint32_t address = head->networkAddress;
  BSV1_ReleaseLock(&head->lock);
  if (!unmanaged) return;
  ZEVS_TRC(ZEVS_DEBUG_Network, TRC_DETAIL, "Scheduling network management of own network %s",
           zevs::DottedAddress(address).c_str());
  zevs::RequestNetworkManagement(block->anchor, head, address);
}

// Enterprise discovery's step to the next network; past the list's end the pass
// ends and the next pass widens or narrows its range. The next network.
NetworkEntry* AdvanceEnterprise(NetworkConfigurationBlock* block, NetworkEntry* network) {
  BSV1_GetLock(&block->blockLock);
  BSV1_GetLock(&block->networkListLock);
  block->enterprisePosition = network;
  NetworkEntry* next = network->next;
  if (next == nullptr) {
    next = block->networks;
    if (block->cycleToggle == 0) ++block->discoverCycle;
    block->cycleToggle = block->cycleToggle == 0 ? 1 : 0;
    block->discoverRange = block->discoverRange < 256 ? kWholeRange : kClassCrange;
    ZEVS_TRC(ZEVS_DEBUG_Enterprise, TRC_DETAIL, "Next network discover range is %d, cycle %d",
             block->discoverRange, block->discoverCycle);
  }
  BSV1_ReleaseLock(&block->networkListLock);
  BSV1_ReleaseLock(&block->blockLock);
  return next;
}

}  // namespace

namespace zevs {

bool StartSubnetNodeDiscovery(NetworkConfigurationBlock* block) {
  BSV1_GetLock(&block->blockLock);
  const bool running = block->subnetNodeDiscoveryRunning != 0;
  block->subnetNodeDiscoveryRunning = 1;
  BSV1_ReleaseLock(&block->blockLock);
  if (running) {
    ZEVS_TRC(ZEVS_DEBUG_Network, TRC_DETAIL, "Discover subnet task still active. New task not scheduled");
    return false;
  }
  BlockUserStarted(block);
  pthread_t thread{};
  if (ZEV0_CreateThread(RunSubnetNodeDiscovery, block, PTHREAD_CREATE_DETACHED, &thread) == 0) return true;
  TRC(TRC_ERROR, "*****Discovery subnet node task creation failed. ErrorText <%s>", std::strerror(errno));
  BlockUserEnded(block);
  BSV1_GetLock(&block->blockLock);
  block->subnetNodeDiscoveryRunning = 0;
  BSV1_ReleaseLock(&block->blockLock);
  return false;
}

}  // namespace zevs

void* ZEVS_DiscoverSubnetNodes(void* argument) {
  auto* block = static_cast<NetworkConfigurationBlock*>(argument);
  NetworkEntry* network = NextNetwork(block, nullptr);
  if (network == nullptr) {
    ZEVS_TRC(ZEVS_DEBUG_Network, TRC_DETAIL, "No known network exists to discover. Exiting...");
  } else {
    BSV1_GetLock(&block->blockLock);
    const int32_t probeWait = 2 * block->pingTimeout;
    const int64_t end = Now() + static_cast<int64_t>(block->checkInterval) * 3 / 4;
    const int32_t cycleLimit = block->discoverCycle + 3;
    block->subnetNodeDiscoveryRunning = 1;
    BSV1_ReleaseLock(&block->blockLock);
    const bool manageLocal = zevs::FirstLetter("ZEVP_SNMP_MANAGE_LOCAL_NETWORK", "Y") != 'N';
    if (!manageLocal) TRC(TRC_DETAIL, "---------- Manage Local Network is disabled ----------");
    const bool enterprise = zevs::FirstLetter("ZEVP_SNMP_NET_DISCOVER_ENTERPRISE", "N") == 'Y';
    Counts start;
    if (enterprise) {
      start = CurrentCounts(block);
      BSV1_GetLock(&block->networkListLock);
      if (block->enterprisePosition != nullptr && block->enterprisePosition->next != nullptr)
        network = block->enterprisePosition->next;
      BSV1_ReleaseLock(&block->networkListLock);
    }
    int64_t lastSleep = 0;
    while (lastSleep < end && !ShuttingDown(block) && network != nullptr) {
      SweepNetwork(block, network, probeWait);
      if (manageLocal) ScheduleOwnNetwork(block);
      if (!enterprise) break;
      network = AdvanceEnterprise(block, network);
      BSV1_GetLock(&block->blockLock);
      const bool done = block->discoverCycle >= cycleLimit;
      BSV1_ReleaseLock(&block->blockLock);
      if (done) break;
      lastSleep = Now();
      zevs::SleepUnlessShutdown(block, kEnterprisePause);
    }
    if (Recount(block) != start) ZEVS_WriteNetConfigToExt(block);
  }
  BSV1_GetLock(&block->blockLock);
  block->subnetNodeDiscoveryRunning = 0;
  BSV1_ReleaseLock(&block->blockLock);
  return nullptr;
}

void* ZEVS_DiscoverNetworkTask(void* argument) {
  auto* block = static_cast<NetworkConfigurationBlock*>(argument);
  BSV1_GetLock(&block->blockLock);
  const int64_t checkInterval = block->checkInterval;
  const int64_t reportInterval = static_cast<int64_t>(block->networkDataTTL) * 3 / 4;
  BSV1_ReleaseLock(&block->blockLock);
  DPAB* anchor = block->anchor;
  TRC(TRC_DETAIL, ">>>>> SNMP discover network monitor process started. Thread: %lX", BSV1_ThreadID());
  if (zevs::FirstLetter("ZEVP_SNMP_NET_DISCOVER_ENTERPRISE", "N") == 'Y')
    TRC(TRC_DETAIL, "---------- Auto discover enterprise in effect ----------");
  // A host known only by its router may never see a network: the wait ends with
  // the data provider too.
  for (bool logged = false; !ShuttingDown(block);) {
    BSV1_GetLock(&block->blockLock);
    const bool known = block->networkCount > 0;
    BSV1_ReleaseLock(&block->blockLock);
    if (known) break;
    if (!logged) ZEVS_TRC(ZEVS_DEBUG_Network, TRC_DETAIL, ">>>>>Wait for router task to discover some network routes");
    logged = true;
    zevs::SleepUnlessShutdown(block, kFirstNetworkWait);
  }
  int64_t nextReport = Now() + reportInterval;
  int64_t nextCheck = 0;
  int64_t lastAgentRecheck = 0;
  for (int64_t sequence = 0;
       !ShuttingDown(block) && ZEVP_SNMPmanagerSource(anchor, ZEVP_SNMP_NETSUMMARY) != nullptr;) {
    const int64_t now = Now();
    if (now >= nextReport) {
      ZEVS_UpdateNetworkInfoToDCH(block, nullptr);
      if (PlovenAgentDiscoveryEnabled.load() != 0) zevs::ReportPlovenAgentRows();
      nextReport = now + reportInterval;
    }
    if (now - lastAgentRecheck > kAgentRecheckSeconds) {
      lastAgentRecheck = now;
      if (PlovenAgentDiscoveryEnabled.load() != 0) zevs::Routines().enqueuePlovenDiscoveryRequest("0.0.0.0");
    }
    if (now >= nextCheck) {
      if (sequence % 16 == 0) SearchAllSubnets(block);
      if (sequence % 2 == 0) zevs::StartSubnetNodeDiscovery(block);
      nextCheck = now + checkInterval;
      ++sequence;
    }
    zevs::SleepUnlessShutdown(block, kPassSleep);
  }
  TRC(TRC_DETAIL, ">>>>> SNMP discover network monitor process ended. Thread: %lX", BSV1_ThreadID());
  ZEVS_EndThread();
}
