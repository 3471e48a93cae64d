// The records of the SNMP manager's lists that its task frees at its end: known
// networks with the hosts of the monitored ones, routers, and the per-thread SNMP
// sockets. Each holds here the fields its release touches; the parts that fill
// the lists add theirs.
//
// Every text and array a record points at is a storage block of its own
// (ZEV0_GetStorage) that the record owns.
#pragma once

#include <netinet/in.h>

#include <cstdint>

#include "bsv1.h"
#include "managed_node_entry.h"

struct NetworkEntry;
struct RouterEntry;

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

// The scratch network of subnet discovery, made on its first use; null until then.
extern NetworkEntry* NetModel;
