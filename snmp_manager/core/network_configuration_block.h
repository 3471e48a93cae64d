// The network configuration block: the one shared state of the SNMP manager
// library. The manager task makes it, hands it to every thread it starts, and
// frees it once they have all ended.
//
// Lock order: the block lock, then the router-list or the network-list lock,
// then an entry's own lock. The stop mutex is taken alone.
#pragma once

#include <pthread.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "bsv1.h"

struct DPAB;
struct NetworkEntry;
struct PlovenAgentEntry;
struct RouterEntry;
struct ShareCallerBlock;
struct TrapManagementEntry;

struct NetworkConfigurationBlock {
  BSV1_Lock blockLock;        // counters and short updates
  BSV1_Lock routerListLock;   // routers
  BSV1_Lock networkListLock;  // networks
  BSV1_Lock shareCallerLock;  // shareCallers
  BSV1_Lock agentListLock;    // agents
  DPAB* anchor;               // set by the manager task
  // 1 once the manager task stops the library's threads; set under stopMutex.
  std::atomic<int32_t> shutdown{0};
  // Under blockLock: what runs, the paces, the counters and discovery's pass.
  int32_t routeTableWalkRunning;
  int32_t pollRunning;
  int32_t subnetNodeDiscoveryRunning;
  int32_t broadcastEffective;  // 1 at creation
  int32_t checkInterval;       // seconds between discovery checks
  int32_t pingTimeout;         // milliseconds, the base wait of an ICMP probe
  int32_t networkDataTTL;      // seconds, the pace of reports
  int32_t monitoredNetworks;   // networks in state 1
  int32_t routerCount;
  int32_t networkCount;
  int32_t nodeCount;
  int32_t discoverRange;  // the largest range searched in this pass: 255 or 65535
  int32_t discoverCycle;
  int32_t cycleToggle;  // 1 at creation: the cycle advances every second pass
  PlovenAgentEntry* agents;  // agentListLock
  RouterEntry* routers;      // routerListLock
  NetworkEntry* networks;    // networkListLock, with networksTail
  NetworkEntry* networksTail;
  NetworkEntry* enterprisePosition;  // the network enterprise discovery searched last
  NetworkEntry* pollPosition;
  ShareCallerBlock* shareCallers;
  char* routerWorkFileName;   // full name
  char* networkWorkFileName;  // full name
  char* lineBuffer;           // ZEVS_LINE_BUFFER_SIZE bytes, the work files' lines
  char* defaultCommunity;     // for nodes without a community of their own
  TrapManagementEntry* trapManagement;  // blockLock; the trap monitor's while it runs

  // The stop signal: shutdown is set and stopCondition broadcast under stopMutex.
  // Detached threads given the block count themselves in detachedUsers.
  pthread_mutex_t stopMutex;
  pthread_cond_t stopCondition;
  int32_t detachedUsers;  // stopMutex
  // The discovery threads' sleeps, ended early by the stop signal.
  std::mutex sleepMutex;
  std::condition_variable sleepWoken;
};

constexpr int32_t ZEVS_LINE_BUFFER_SIZE = 512;

// The process's block, made by ZEVS_InitializeNCB; null before and after the
// manager task.
extern std::atomic<NetworkConfigurationBlock*> NCB;

// Makes the block with its locks, work-file names, line buffer, paces (check
// interval ZEVP_SNMP_CHECK_CONFIG_INTERVAL else 1800, ping time-out
// ZEVP_SNMP_PING_TIMEOUT else 1000, network data TTL ZEVP_SNMP_NETDATA_TTL else
// 14400; a value that is no positive number keeps the default) and default
// community (ZEVP_SNMP_NET_COMMUNITY, else "willow") and stores it in NCB; null
// without storage.
NetworkConfigurationBlock* ZEVS_InitializeNCB();

namespace zevs {

// Sets the block's shut-down flag and wakes every thread waiting for it.
void SignalBlockShutdown(NetworkConfigurationBlock* block);

// Waits, without a time limit, until the block's shut-down flag is set.
void AwaitBlockShutdown(NetworkConfigurationBlock* block);

// Sleeps the seconds (through the clock seam), or less when the block's shut-down
// flag is set meanwhile.
void SleepUnlessShutdown(NetworkConfigurationBlock* block, unsigned seconds);

// A detached thread given the block counts itself while it may use the block.
void BlockUserStarted(NetworkConfigurationBlock* block);
void BlockUserEnded(NetworkConfigurationBlock* block);

// Waits at most the seconds (on the real clock) until no detached thread uses the
// block: true when none does.
bool AwaitBlockUsersEnded(NetworkConfigurationBlock* block, int seconds);

// Frees the routers, the networks with their hosts, the scratch network, the
// per-thread sockets and the block, each with what it owns; clears NCB when it is
// this block. Only once no thread uses the block.
void FreeNetworkConfigurationBlock(NetworkConfigurationBlock* block);

}  // namespace zevs
