// A node of the SNMP data provider: a host of a monitored network (the SNMP manager
// library keeps these on its networks), or a node that a configuration request
// identifies. The automatic MIB collection reads its name, enterprise and MIB-2
// admission. Every text is a storage block (ZEV0_GetStorage) that the record owns.
#pragma once

#include <netinet/in.h>

#include <cstdint>

struct NetworkEntry;  // zevs/network_records.h

struct ManagedNodeEntry {
  ManagedNodeEntry* next;  // the network's hosts
  NetworkEntry* network;
  // The network monitor's bookkeeping of the host.
  int32_t missCount;     // silent visits in a row since the last answered ping
  int32_t refreshCount;  // visits since the MIB-II texts were fetched
  int32_t hostIndex;     // 1 … range−1
  int32_t snmpEnabled;   // 1 while the node answers SNMP
  int32_t MIB2Admitted;  // MIB-2 groups are collected for the node whatever its enterprise
  uint32_t sysServices;
  sockaddr_in agent;  // port 161 of the node
  char* addressText;  // dotted address, 16 bytes
  char* ManagedNodeName;
  char* ManagedNodeOID;  // the system object identifier, dotted; null when unknown
  char* ManagedNodeDesc;      // sysDescr
  char* ManagedNodeLocation;  // sysLocation
  char* ManagedNodeTypeText;  // from sysServices
};
