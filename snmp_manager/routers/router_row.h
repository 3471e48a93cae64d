// The ROUTER rows of the known routers: name, address, sysDescr, status and the
// count and addresses of the networks reached, each field followed by ';'. A ';'
// inside a name or a description is written as ','.
#pragma once

#include <atomic>
#include <cstdint>

struct NetworkConfigurationBlock;
struct RouterEntry;

// The size of the buffer a row is built in; no network is added once the text is
// longer than ZEVS_ROUTER_ROW_FULL.
constexpr int32_t ZEVS_ROUTER_ROW_SIZE = 8196;
constexpr int32_t ZEVS_ROUTER_ROW_FULL = 8176;

// 1 (at load) while routers that route for one network only get a row; the first
// row sent clears it when ZEVP_SNMP_SHOW_PASSIVE_ROUTERS begins with N.
extern std::atomic<int32_t> ShowPassiveRouters;

// Builds the router's row into buffer (ZEVS_ROUTER_ROW_SIZE bytes, cleared by the
// caller) and returns its length, 0 when no row is to be sent. A Verify router
// that reaches more than one network turns On-line. Under the router's lock.
int32_t ZEVS_FormatRouterInfoBuffer(RouterEntry* router, char* buffer);

// Sends the row of the router, or of every router when it is null (until the
// block's shut-down flag is set). Nothing while product item 14
// (ENABLE_DISCOVERY_DATA_UPDATE) is off or the anchor has no ROUTER source.
void ZEVS_UpdateRouterInfoToDCH(NetworkConfigurationBlock* block, RouterEntry* router);
