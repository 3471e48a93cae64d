// The layouts of the SNMP manager library's shared state, which the engine also
// reads (to rename networks and look up their masks): the network configuration
// block and the records of its lists that the manager task frees at its end: known
// networks with the hosts of the monitored ones, routers, and the per-thread SNMP
// sockets. Each record holds here the fields its release touches; the parts that
// fill the lists add theirs.
//
// Every text and array a record points at is a storage block of its own
// (ZEV0_GetStorage) that the record owns.
//
// Lock order: the block lock, then the router-list or the network-list lock,
// then an entry's own lock. The stop mutex is taken alone.
#pragma once

#include <netinet/in.h>
#include <pthread.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "bsv1.h"

struct DPAB;
struct ManagedNodeEntry;
struct NetworkEntry;
struct PlovenAgentEntry;
struct RouterEntry;
struct TrapManagementEntry;

// One known network, in the block's network list. Host indexes run 1 … range−1;
// index 0 is the network-wide slot of the arrays.
struct NetworkEntry {
  BSV1_Lock lock;  // the entry's counters and arrays
  // The list's links, changed only under the block's network-list lock.
  NetworkEntry* previous;
  NetworkEntry* next;
  int32_t agentFound;       // 1 once an agent of ours registered from the network
  int32_t seenHostCount;    // hosts whose letter is not '0'
  int32_t state;            // ZEVS_NETWORK_* below
  int32_t pollInterval;     // seconds
  int32_t learnedFromRouteTable;  // 1: from a route table or an interface; the mask holds
  uint32_t networkAddress;  // network byte order
  uint32_t networkMask;     // host byte order
  int32_t routeMetric;      // the best metric announced for the network
  int32_t hostRange;        // the mask's complement, 1 … 65535
  RouterEntry* router;      // the router that announced routeMetric
  RouterEntry* routers;     // chain through RouterEntry::nextOnNetwork
  char* nodeStatus;                 // a letter per host index: '0', 'A' or 'I'
  uint32_t* minimumResponseTimes;   // milliseconds per host index
  uint32_t* currentResponseTimes;
  uint32_t* maximumResponseTimes;
  ManagedNodeEntry* hosts;
  char* symbolicName;  // from the network-name file, or null
  // Network discovery's own.
  int32_t discoveryThreshold;
  int32_t discoveryDelay;
  int32_t searchCycleCount;
  NetworkEntry* backupNext;  // always equal to next
};

enum : int32_t {
  ZEVS_NETWORK_NOT_MANAGED = 0,
  ZEVS_NETWORK_MANAGED = 1,
  ZEVS_NETWORK_EXCLUDED = 2,
  ZEVS_NETWORK_EXCLUDED_BY_SUBNET = 3,
};

// One known router, in the block's router list. Its address, texts and list link
// are fixed once it is listed; the rest changes under its lock.
struct RouterEntry {
  BSV1_Lock lock;
  RouterEntry* next;
  RouterEntry* nextOnNetwork;  // the chain of a network's routers
  int32_t networkCount;        // filled slots at the start of networks
  int32_t unconfirmed;         // 1 until the router has proved to route
  int32_t status;              // ZEVS_ROUTER_* below
  int32_t capacity;            // slots of each per-network array
  char* description;  // sysDescr, or null
  char* name;
  char addressText[32];
  uint32_t address;         // network byte order
  NetworkEntry** networks;  // networks reached through the router
  NetworkEntry* ownNetwork;  // the network of its address, once looked up
  uint32_t* metrics;        // per network slot
  uint32_t* nextHops;       // per network slot, network byte order
};

enum : int32_t {
  ZEVS_ROUTER_OFFLINE = 0,
  ZEVS_ROUTER_ONLINE = 1,
  ZEVS_ROUTER_VERIFY = 2,
};

// The SNMP socket and buffer of one calling thread.
struct ShareCallerBlock {
  ShareCallerBlock* next;
  int32_t inUse;
  int socket;  // -1 when none is open
  unsigned long ownerThread;
  int64_t lastUse;  // seconds
  char* buffer;     // ZEVS_SNMP_BUFFER_SIZE bytes
};

// The network configuration block: the manager task makes one per process and hands
// it to every thread it starts; the engine reaches it through its anchor.
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
