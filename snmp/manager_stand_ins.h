// Stand-ins for the routines of SNMP parts that are not built yet: each does the
// least that the manager task relies on. A part that is built replaces its
// stand-in in the routine table (manager_routines.cpp) and deletes it here.
#pragma once

#include "manager_routines.h"

namespace zevs::standin {

// The manager's other threads: each waits for the block's shut-down flag and ends.
void* AwaitBlockShutdownThread(void* block);
// No request is queued; the stand-in manager wakes on the block's flag anyway.
void EnqueuePlovenDiscoveryRequest(const char* address);

// Router discovery: no default router is known, none is registered, none attached
// to a network; subnet discovery keeps a network's mask.
char* IdentifyOwnDefaultRouter();
RouterEntry* UpdateDiscoveredRouter(const sockaddr_in* address, int32_t status);
void LocateNetworkRouters(NetworkEntry* network);
void DetermineAndSetSubnetMask(NetworkEntry* network);

}  // namespace zevs::standin
