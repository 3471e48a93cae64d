// Requests to the SNMP data provider's servers: a network to manage (built from
// an operator's SNMP MANAGE command, or by discovery) and a managed node list,
// each queued on its server's process entry.
#pragma once

#include <cstdint>

struct DPAB;
struct ManagedNodeListEntry;  // managed_node_list.h
struct SourceEntry;

// ManageAction of a request.
constexpr int32_t ZEVP_MANAGE_STOP = 0;
constexpr int32_t ZEVP_MANAGE_START = 1;
constexpr int32_t ZEVP_MANAGE_EXCLUDE = 4;

struct NetworkManageEntry {
  NetworkManageEntry* next;         // the server's list of monitored networks
  NetworkManageEntry* nextRequest;  // the server's queue of pending requests
  DPAB* Anchor;                     // set when queued
  void* NetworkEntry;
  SourceEntry* Source;
  uint32_t NetworkAddress;  // network byte order
  int32_t ManageAction;
  int32_t PollInterval;  // seconds; for EXCLUDE the include option (1, or 0 to reset it)
  int32_t NextDueTime;
};

// Queue a request to the network monitoring server or a list to the managed-node-
// list server and wake it: 1, or 0 when the server does not run or nothing is given.
int ZEVP_EnqueueNetManageToServer(DPAB* anchor, NetworkManageEntry* request);
int ZEVP_EnqueueManagedNodeListToServer(DPAB* anchor, ManagedNodeListEntry* list);
