// The NETSUMMARY rows of the known networks: address (or symbolic name), mask,
// active and inactive hosts, the current, minimum and maximum response times, the
// managed state and the network's routers, each field followed by ';'. A ';' inside
// a name is written as ',', so that the name stays one field.
#pragma once

#include <atomic>
#include <string>

struct NetworkConfigurationBlock;
struct NetworkEntry;

// Sends the row of the entry, or of every network of the list when entry is null
// (until the block's shut-down flag is set). Nothing unless product item 14
// (ENABLE_DISCOVERY_DATA_UPDATE) begins with Y, as for the ROUTER and NETWORK rows,
// nor while the anchor has no NETSUMMARY source.
void ZEVS_UpdateNetworkInfoToDCH(NetworkConfigurationBlock* block, NetworkEntry* entry);

// The row of one entry through the block that agent discovery recorded at its start
// (LocalNCB); nothing while it has recorded none.
void ZEVS_UpdateAgentFoundToDCH(NetworkEntry* entry);
extern std::atomic<NetworkConfigurationBlock*> LocalNCB;

namespace zevs {

// The attributes' sizes that cut the row's text fields.
constexpr size_t kNetworkAddressFieldMax = 32;
constexpr size_t kNetworkRoutersFieldMax = 256;

// The entry's row, under its lock, for an entry whose host range is above 1; its
// seen-host count and network-wide response times are brought up to date on the way.
// The network's routers are those attached to it now.
std::string NetworkSummaryRow(NetworkEntry* entry);

}  // namespace zevs
