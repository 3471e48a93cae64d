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

}  // namespace zevs::standin
