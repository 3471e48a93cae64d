#include "rip_messages.h"

#include <arpa/inet.h>

#include <cstring>
#include <mutex>

#include "debug_switches.h"
#include "network_list.h"
#include "network_masks.h"
#include "router_list.h"
#include "zevs/network_records.h"

TRC_UNIT();

namespace {

constexpr uint8_t kRequest = 1;
constexpr uint8_t kResponse = 2;
constexpr uint32_t kInfinity = 16;

struct RIPentry {
  uint32_t destination;  // network order
  uint32_t mask;         // network order
  uint32_t nextHop;      // network order
  uint32_t metric;       // host order
};

RIPentry EntryAt(const char* at) {
  RIPentry entry{};
  std::memcpy(&entry.destination, at + 4, 4);
  std::memcpy(&entry.mask, at + 8, 4);
  std::memcpy(&entry.nextHop, at + 12, 4);
  std::memcpy(&entry.metric, at + 16, 4);
  entry.metric = ntohl(entry.metric);
  return entry;
}

// The destination, known, as one of the sender's networks; a confirmed sender with
// a better metric becomes the network's router.
void LinkToRouter(RouterEntry* router, const RIPentry& entry, int version) {
  NetworkEntry* network = nullptr;
  if (!ZEVS_IsKnownNetwork(entry.destination, &network) || network == nullptr) return;
  zevs::AddRouterNetwork(router, network, entry.metric, version == 2 ? entry.nextHop : 0);
  BSV1_GetLock(&router->lock);
  const bool confirmed = router->unconfirmed == 0;
  BSV1_ReleaseLock(&router->lock);
  if (!confirmed) return;
  BSV1_GetLock(&network->lock);
  if (entry.metric < static_cast<uint32_t>(network->routeMetric)) {
    network->routeMetric = static_cast<int32_t>(entry.metric);
    network->router = router;
  }
  BSV1_ReleaseLock(&network->lock);
}

// Asked once in the process (ZEVS_GetRouterPort): its entry need not be the thread's
// own, which would give every thread of the process a kilobyte of it.
const servent* SystemService(const char* name, const char* protocol) {
  static servent entry;
  static char buffer[1024];
  servent* found = nullptr;
  if (getservbyname_r(name, protocol, &entry, buffer, sizeof buffer, &found) != 0) return nullptr;
  return found;
}

bool NamedRouter(const char* name) { return name != nullptr && (std::strcmp(name, "router") == 0 || std::strcmp(name, "ROUTER") == 0); }

}  // namespace

int32_t ZEVS_FormatRouteRequest(char* buffer) {
  std::memset(buffer, 0, ZEVS_RIP_REQUEST_LENGTH);
  buffer[0] = static_cast<char>(kRequest);
  buffer[1] = 1;
  const uint32_t metric = htonl(kInfinity);
  std::memcpy(buffer + 20, &metric, sizeof metric);
  return ZEVS_RIP_REQUEST_LENGTH;
}

uint16_t ZEVS_GetRouterPort() {
  static std::once_flag looked;
  static uint16_t port = 0;
  std::call_once(looked, [] {
    port = zevs::RouterPortFrom(SystemService);
    ZEVS_TRC(ZEVS_DEBUG_Route, TRC_DETAIL, ">>> Router port is %d", ntohs(port));
  });
  return port;
}

void ZEVS_ProcessRIPmessage(const char* message, int32_t length, RouterEntry* router) {
  if (message == nullptr || length < ZEVS_RIP_HEADER_LENGTH) return;
  if (static_cast<uint8_t>(message[0]) != kResponse) return;
  const int version = static_cast<uint8_t>(message[1]);
  if (version == 0) return;
  if (version > 2) {
    ZEVS_TRC(ZEVS_DEBUG_Route, TRC_DETAIL, "unsupported router message version %d ignored", version);
    return;
  }
  ZEVS_TRC(ZEVS_DEBUG_Route, TRC_DETAIL, version == 1 ? ">>> RIP Version 1 packet" : ">>> RIP Version 2 packet");
  // Only whole entries: a datagram cut inside its last entry ends before it.
  for (int32_t offset = ZEVS_RIP_HEADER_LENGTH; offset + ZEVS_RIP_ENTRY_LENGTH <= length;
       offset += ZEVS_RIP_ENTRY_LENGTH) {
    const RIPentry entry = EntryAt(message + offset);
    if (entry.metric < kInfinity) ZEVS_UpdateNetworkListEntry(&entry.destination, version == 2 ? entry.mask : 0, 1);
    if (router != nullptr) LinkToRouter(router, entry, version);
  }
}

namespace zevs {

uint16_t RouterPortFrom(ServiceLookup lookup) {
  for (const char* name : {"router", "ROUTER"})
    for (const char* protocol : {"udp", "UDP"}) {
      const servent* entry = lookup(name, protocol);
      if (entry == nullptr) continue;
      const bool named = NamedRouter(entry->s_name) || (entry->s_aliases != nullptr && NamedRouter(entry->s_aliases[0]));
      if (named) return static_cast<uint16_t>(entry->s_port);
    }
  return htons(ZEVS_RIP_DEFAULT_PORT);
}

}  // namespace zevs
