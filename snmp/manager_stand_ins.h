// Stand-ins for the routines of SNMP parts that are not built yet: each does the
// least that the manager task relies on. A part that is built replaces its
// stand-in in the routine table (manager_routines.cpp) and deletes it here.
#pragma once

#include "manager_routines.h"

namespace zevs::standin {

// Enters nothing, yet lets the manager go on as if the host's networks were known.
int RetrieveLocalNetworkInfo(NetworkConfigurationBlock* block);
// The files of the network list: nothing is read.
void ReadNetConfigFromExt(NetworkConfigurationBlock* block);
void ReadNetConfigSeedFile(NetworkConfigurationBlock* block);


// Records a process entry of its own in the anchor's managedNodeListEntry, waits
// for its end flag, then takes it out of the anchor, frees it and ends.
void* ManagedNodeListServer(void* block);
// Reads no list configuration; holds no lists.
void ReadSNMPManagedNodeListConfigFile(DPAB* anchor);
// Sets the end flag of the server's entry (when it has one) and wakes it.
void ShutdownSNMPManagedNodeListTask(DPAB* anchor);
void ReleaseNoDataStatusArray();

// The manager's other threads: each waits for the block's shut-down flag and ends.
void* AwaitBlockShutdownThread(void* block);
// No request is queued; the stand-in manager wakes on the block's flag anyway.
void EnqueuePlovenDiscoveryRequest(const char* address);

}  // namespace zevs::standin
