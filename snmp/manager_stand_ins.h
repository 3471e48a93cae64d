// Stand-ins for the routines of SNMP parts that are not built yet: each does the
// least that the manager task relies on. A part that is built replaces its
// stand-in in the routine table (manager_routines.cpp) and deletes it here.
#pragma once

#include "manager_routines.h"

namespace zevs::standin {

// Records a process entry of its own in the anchor's managedNodeListEntry and,
// until its end flag is set, takes each list queued to it and holds it unrun (the
// list's task counts as ended at once); then takes the entry out of the anchor,
// frees it and ends.
void* ManagedNodeListServer(void* block);

// The manager's other threads: each waits for the block's shut-down flag and ends.
void* AwaitBlockShutdownThread(void* block);
// No request is queued; the stand-in manager wakes on the block's flag anyway.
void EnqueuePlovenDiscoveryRequest(const char* address);

}  // namespace zevs::standin
