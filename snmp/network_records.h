// The records of the SNMP manager's lists that its task frees at its end: known
// networks with the hosts of the monitored ones, routers, and the per-thread SNMP
// sockets. Each holds here the fields its release touches; the parts that fill
// the lists add theirs.
//
// Every text and array a record points at is a storage block of its own
// (ZEV0_GetStorage) that the record owns.
#pragma once

#include <cstdint>

#include "bsv1.h"

struct NetworkEntry;

// One host of a monitored network, or of a managed node list.
struct ManagedNodeEntry {
  ManagedNodeEntry* next;
  NetworkEntry* network;
  char* addressText;  // dotted address, 16 bytes
  char* ManagedNodeName;
  char* ManagedNodeOID;  // dotted text
  char* ManagedNodeDesc;
  char* ManagedNodeLocation;
  char* ManagedNodeTypeText;
};

// One known network, in the block's network list.
struct NetworkEntry {
  BSV1_Lock lock;  // the entry's counters and arrays
  NetworkEntry* previous;
  NetworkEntry* next;
  char* nodeStatus;                 // a letter per host index
  uint32_t* minimumResponseTimes;   // milliseconds per host index
  uint32_t* currentResponseTimes;
  uint32_t* maximumResponseTimes;
  ManagedNodeEntry* hosts;
  char* symbolicName;  // from the network-name file, or null
};

// One known router, in the block's router list.
struct RouterEntry {
  BSV1_Lock lock;
  RouterEntry* next;
  char* description;  // sysDescr, or null
  char* name;
  NetworkEntry** networks;  // networks reached through the router
  uint32_t* metrics;        // per network slot
  uint32_t* nextHops;       // per network slot
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
