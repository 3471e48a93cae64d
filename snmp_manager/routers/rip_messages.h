// RIP (version 1 and 2) as router discovery speaks it: the request for a whole
// routing table, the router port, and the reading of a response, whose entries
// enter the network list and the sender's per-network arrays.
#pragma once

#include <netdb.h>

#include <cstdint>

struct RouterEntry;

// The bytes of a request and of a message's header and entries.
constexpr int32_t ZEVS_RIP_REQUEST_LENGTH = 24;
constexpr int32_t ZEVS_RIP_HEADER_LENGTH = 4;
constexpr int32_t ZEVS_RIP_ENTRY_LENGTH = 20;
constexpr uint16_t ZEVS_RIP_DEFAULT_PORT = 520;

// Builds the request for the whole routing table (command 1, version 1, address
// family 0, metric 16) into the buffer (at least 24 bytes, cleared first) and
// returns its length, 24.
int32_t ZEVS_FormatRouteRequest(char* buffer);

// The UDP port of the services entry named, or first aliased, "router" (or
// "ROUTER"), else 520; network byte order. Looked up once.
uint16_t ZEVS_GetRouterPort();

// Reads a RIP response of `length` bytes: each whole entry whose metric is below
// 16 enters its destination as a network (version 1 without a mask); with a
// router, a known destination joins the router's networks with the entry's metric
// and next hop, and a confirmed router with a better metric becomes the network's
// router. Requests, version 0 and other versions are passed over; the message is
// not changed.
void ZEVS_ProcessRIPmessage(const char* message, int32_t length, RouterEntry* router);

namespace zevs {

// The router port by a services look-up (name, protocol -> entry or null): the
// entry named, or first aliased, "router" or "ROUTER" for "udp" or "UDP", else 520.
using ServiceLookup = const servent* (*)(const char* name, const char* protocol);
uint16_t RouterPortFrom(ServiceLookup lookup);

}  // namespace zevs
