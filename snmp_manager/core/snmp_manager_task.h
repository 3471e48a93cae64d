// The SNMP manager task: the root of the SNMP data provider's manager side. It
// reads the SNMP switches, makes the network configuration block, defines the
// SNMP-Manager application, learns the host's networks, starts the manager's
// threads and runs the network monitoring server until the data provider shuts
// down; then it takes its tables offline, joins its threads and frees its lists.
#pragma once

#include <atomic>

struct ProcessEntry;

// The block's default community while the manager task holds the block.
extern std::atomic<const char*> sDefaultCommunity;

// The routine of the manager's process entry (ZEVP_CreateProcess); ends its thread
// with ZEVS_ThreadRC. A failure to start ends only the manager: the data provider
// runs on without SNMP management, except when no SNMP-Manager application could
// be defined, which ends the whole data provider.
void ZEVS_SNMPmanagerTask(ProcessEntry* processEntry);
