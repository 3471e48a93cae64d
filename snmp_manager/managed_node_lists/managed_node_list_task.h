// The managed-node-list server and the task it runs for each managed node list.
//
// The server takes the lists queued to its process entry (the anchor's
// managedNodeListEntry, its readiness) and starts one detached task per list. A
// task polls every node of its list once a minute (sysServices, sysDescr when it
// has none, else up to three ICMP echoes), writes a MANAGED-NODES row per node
// through a source of its own, a delete row for a node that left the list, and a
// console message whenever a node goes on-line, off-line or out of management.
#pragma once

#include <cstdint>
#include <string>

// Thread entry, joinable, with the network configuration block; ends once its
// entry's end flag is set.
void* ZEVS_ManagedNodeListServer(void* networkConfigurationBlock);

// Thread entry, detached, with the list; ends once the list's stopRequested is set.
void* ZEVS_ManagedNodeListTask(void* managedNodeList);

namespace zevs {

// The seconds to pause after a cycle that took elapsedSeconds: what is left of the
// minute, 30 when that is more than 30 or below 0.
int32_t ManagedNodeListPause(int64_t elapsedSeconds);

// The source node name of a list's rows and the name in its messages: for
// "*HOSTNAME" in any case the local host name cut at its first '.', for any other
// name beginning with '*' empty (the source keeps its own), else the list name.
std::string ManagedNodeListLabel(const std::string& listName);

}  // namespace zevs
