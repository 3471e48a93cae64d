// The life of the network configuration block, the one shared state of the SNMP
// manager library (its layout: zevs/network_records.h). The manager task makes it,
// hands it to every thread it starts, and frees it once they have all ended.
#pragma once

#include <atomic>

#include "zevs/network_records.h"

// The process's block, made by ZEVS_InitializeNCB; null before and after the
// manager task.
extern std::atomic<NetworkConfigurationBlock*> NCB;

// Makes the block with its locks, work-file names, line buffer, paces (check
// interval ZEVP_SNMP_CHECK_CONFIG_INTERVAL else 1800, ping time-out
// ZEVP_SNMP_PING_TIMEOUT else 1000, network data TTL ZEVP_SNMP_NETDATA_TTL else
// 14400; a value that is no positive number keeps the default) and default
// community (ZEVP_SNMP_NET_COMMUNITY, else "willow") and stores it in NCB; null
// without storage.
NetworkConfigurationBlock* ZEVS_InitializeNCB();

// The scratch network of subnet discovery, made on its first use and freed with the
// block; null until then.
extern NetworkEntry* NetModel;

namespace zevs {

// Sets the block's shut-down flag and wakes every thread waiting for it.
void SignalBlockShutdown(NetworkConfigurationBlock* block);

// Waits, without a time limit, until the block's shut-down flag is set.
void AwaitBlockShutdown(NetworkConfigurationBlock* block);

// Sleeps the seconds (through the clock seam), or less when the block's shut-down
// flag is set meanwhile.
void SleepUnlessShutdown(NetworkConfigurationBlock* block, unsigned seconds);

// A detached thread given the block counts itself while it may use the block.
void BlockUserStarted(NetworkConfigurationBlock* block);
void BlockUserEnded(NetworkConfigurationBlock* block);

// Waits at most the seconds (on the real clock) until no detached thread uses the
// block: true when none does.
bool AwaitBlockUsersEnded(NetworkConfigurationBlock* block, int seconds);

// Frees the routers, the networks with their hosts, the scratch network, the
// per-thread sockets and the block, each with what it owns; clears NCB when it is
// this block. Only once no thread uses the block.
void FreeNetworkConfigurationBlock(NetworkConfigurationBlock* block);

}  // namespace zevs
