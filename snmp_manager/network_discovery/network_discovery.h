// Network discovery: the thread that reports the networks' NETSUMMARY rows,
// schedules agent re-checks, searches subnetted networks for their other subnets
// and starts the sweeps, and the sweep itself (subnet node discovery), which pings
// whole networks, counts their nodes and hands the host's own network to network
// monitoring.
#pragma once

struct NetworkConfigurationBlock;

// Thread routine of the manager task (argument the block); ends with its shut-down.
void* ZEVS_DiscoverNetworkTask(void* block);
// One sweep of the networks (argument the block); run detached by the network
// thread, at most one at a time.
void* ZEVS_DiscoverSubnetNodes(void* block);

namespace zevs {

// Starts a sweep on a detached thread, counted as a user of the block, unless one
// runs. False when none was started.
bool StartSubnetNodeDiscovery(NetworkConfigurationBlock* block);

}  // namespace zevs
