#include "route_table_walk.h"

#include <arpa/inet.h>
#include <sys/socket.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "debug_switches.h"
#include "discovery_seams.h"
#include "engine_routines.h"
#include "excluded_interface_types.h"
#include "network_configuration_block.h"
#include "network_list.h"
#include "network_masks.h"
#include "network_summary_row.h"
#include "router_list.h"
#include "router_row.h"
#include "snmp_pdu.h"
#include "zev0/ber.h"
#include "zev0/env.h"
#include "zev0/sockets.h"
#include "zev0/storage.h"
#include "zev0/threads.h"
#include "zevs/network_records.h"

TRC_UNIT();

namespace {

constexpr char kIfIndex[] = "1.3.6.1.2.1.2.2.1.1";
constexpr char kIfType[] = "1.3.6.1.2.1.2.2.1.3";
constexpr char kRouteDest[] = "1.3.6.1.2.1.4.21.1.1";
constexpr char kRouteIfIndex[] = "1.3.6.1.2.1.4.21.1.2";
constexpr char kRouteNextHop[] = "1.3.6.1.2.1.4.21.1.7";
constexpr char kRouteMask[] = "1.3.6.1.2.1.4.21.1.11";
constexpr int kInterfaceSlots = 512;
constexpr int kTagIpAddress = 0x40;
constexpr int kValueSize = 64;

bool Walking(NetworkConfigurationBlock* block) {
  BSV1_GetLock(&block->blockLock);
  const bool running = block->routeTableWalkRunning != 0;
  BSV1_ReleaseLock(&block->blockLock);
  return running && block->shutdown.load() == 0;
}

void SetWalking(NetworkConfigurationBlock* block, int32_t running) {
  BSV1_GetLock(&block->blockLock);
  block->routeTableWalkRunning = running;
  BSV1_ReleaseLock(&block->blockLock);
}

// The walk's pacing, read once: every `window` routes (ZEVP_SNMP_ROUTEGET_WINDOW,
// default 2, at least 1) it sleeps `interval` seconds (ZEVP_SNMP_ROUTEGET_INTERVAL,
// default 1, at least 0).
struct RouteWalkPace {
  int32_t window;
  int32_t interval;
};

RouteWalkPace ReadRouteWalkPace() {
  static const RouteWalkPace pace = [] {
    const int window = std::atoi(ZEV0_GetEnv("ZEVP_SNMP_ROUTEGET_WINDOW", "2"));
    const int interval = std::atoi(ZEV0_GetEnv("ZEVP_SNMP_ROUTEGET_INTERVAL", "1"));
    return RouteWalkPace{window < 1 ? 1 : window, interval < 0 ? 0 : interval};
  }();
  return pace;
}

// The SNMP requests of one router's walk.
class RouterAgent {
 public:
  RouterAgent(int socket, char* buffer, uint32_t address, const char* community)
      : socket_(socket), buffer_(buffer), community_(community) {
    agent_.sin_family = AF_INET;
    agent_.sin_addr.s_addr = address;
    agent_.sin_port = htons(161);
  }

  // The next instance of the column after `instance`; false once the column ends.
  bool next(const char* column, char instance[zevs::kInstanceTextSize]) {
    const std::string oid = std::string(column) + instance;
    char* field = nullptr;
    int32_t fieldLength = 0;
    if (!ZEV0_FormatOIDfromString(oid.c_str(), &field, &fieldLength)) return false;
    ++requestID_;
    const int32_t length = ZEVP_SNMPconstructPDUbuffer(buffer_, ZEVP_SNMP_BUFFER_SIZE, ZEVP_SNMP_GETNEXT_REQUEST,
                                                       field, fieldLength, nullptr, 0, requestID_, community_);
    ZEV0_FreeStorage(&field);
    return zevs::Seams().retrieveCurrentVarInstance(socket_, buffer_, length, ZEVP_SNMP_BUFFER_SIZE, instance,
                                                    requestID_, &agent_, column) == 1;
  }

  // The column's value of the instance when it has the tag and at most 4 bytes.
  bool get(const char* column, const char* instance, int tag, uint8_t value[4], int32_t* length) {
    const std::string oid = std::string(column) + instance;
    char* field = nullptr;
    int32_t fieldLength = 0;
    if (!ZEV0_FormatOIDfromString(oid.c_str(), &field, &fieldLength)) return false;
    char area[kValueSize];
    char* into = area;
    int32_t errorStatus = 0;
    *length = 0;
    const int received = zevs::Seams().retrieveOneMIBvariable(socket_, buffer_, &agent_, community_, &requestID_,
                                                              &errorStatus, &fieldLength, field, length, &into,
                                                              kValueSize, 0);
    ZEV0_FreeStorage(&field);
    if (received != tag || *length < 1 || *length > 4) return false;
    std::memcpy(value, area, static_cast<size_t>(*length));
    return true;
  }

  bool getInteger(const char* column, const char* instance, int32_t* number) {
    uint8_t bytes[4] = {};
    int32_t length = 0;
    if (!get(column, instance, ZEV0_ASN_INTEGER, bytes, &length)) return false;
    int32_t value = (bytes[0] & 0x80) != 0 ? -1 : 0;
    for (int32_t at = 0; at < length; ++at) value = static_cast<int32_t>(static_cast<uint32_t>(value) << 8 | bytes[at]);
    *number = value;
    return true;
  }

  // An IpAddress in network order.
  bool getAddress(const char* column, const char* instance, uint32_t* address) {
    uint8_t bytes[4] = {};
    int32_t length = 0;
    if (!get(column, instance, kTagIpAddress, bytes, &length)) return false;
    std::memcpy(address, bytes, sizeof *address);
    return true;
  }

 private:
  int socket_;
  char* buffer_;
  const char* community_;
  sockaddr_in agent_{};
  int32_t requestID_ = 0;
};

// The interface types by ifIndex (slots 1 … 511) and the highest ifIndex seen.
struct Interfaces {
  std::array<int32_t, kInterfaceSlots> types{};
  int32_t highest = 0;

  int excluded(int32_t ifIndex) const {
    if (ifIndex < 1 || ifIndex > highest) return 0;
    if (ifIndex >= kInterfaceSlots) return 1;
    return ZEVS_IsExcludeInterfaceType(types[static_cast<size_t>(ifIndex)]);
  }
};

// Ends, like the route walk, once the walk is called off: an agent's interface
// table may be long enough to outlast the block.
Interfaces WalkInterfaces(NetworkConfigurationBlock* block, RouterAgent& agent) {
  Interfaces interfaces;
  char instance[zevs::kInstanceTextSize] = "";
  while (Walking(block) && agent.next(kIfIndex, instance)) {
    int32_t ifIndex = 0;
    int32_t type = 0;
    if (!agent.getInteger(kIfIndex, instance, &ifIndex)) break;
    if (ifIndex > interfaces.highest) interfaces.highest = ifIndex;
    if (!agent.getInteger(kIfType, instance, &type)) break;
    // An agent's ifIndex below 1 names no slot.
    if (ifIndex >= 1 && ifIndex < kInterfaceSlots) interfaces.types[static_cast<size_t>(ifIndex)] = type;
  }
  return interfaces;
}

// The route's destination as a network of the list and of the router.
void EnterDestination(NetworkConfigurationBlock* block, RouterEntry* router, uint32_t destination, uint32_t mask,
                      int excluded) {
  NetworkEntry* network = ZEVS_LocateKnownNetwork(&destination);
  if (network != nullptr) {
    BSV1_GetLock(&network->lock);
    network->networkMask = ntohl(mask);
    BSV1_ReleaseLock(&network->lock);
  } else {
    network = ZEVS_UpdateNetworkListEntry(&destination, mask, 1);
  }
  if (network == nullptr) return;
  bool changed = false;
  BSV1_GetLock(&network->lock);
  network->learnedFromRouteTable = 1;
  if (excluded && network->state == ZEVS_NETWORK_NOT_MANAGED) {
    network->state = ZEVS_NETWORK_EXCLUDED_BY_SUBNET;
    changed = true;
  }
  BSV1_ReleaseLock(&network->lock);
  if (zevs::AddRouterNetwork(router, network, 0, 0)) changed = true;
  if (changed) ZEVS_UpdateNetworkInfoToDCH(block, network);
}

void RegisterNextHop(uint32_t nextHop) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = nextHop;
  RouterEntry* hop = ZEVS_UpdateDiscoveredRouter(&address, ZEVS_ROUTER_VERIFY);
  if (hop == nullptr) return;
  BSV1_GetLock(&hop->lock);
  hop->status = ZEVS_ROUTER_ONLINE;
  hop->unconfirmed = 0;
  BSV1_ReleaseLock(&hop->lock);
}

// The routes of one router; the routes read.
int32_t WalkRoutes(NetworkConfigurationBlock* block, RouterEntry* router, RouterAgent& agent,
                   const Interfaces& interfaces, const RouteWalkPace& pace) {
  int32_t rows = 0;
  char instance[zevs::kInstanceTextSize] = "";
  while (Walking(block) && agent.next(kRouteDest, instance)) {
    uint32_t destination = 0;
    uint32_t mask = 0;
    int32_t ifIndex = 0;
    if (!agent.getAddress(kRouteDest, instance, &destination) || !agent.getAddress(kRouteMask, instance, &mask) ||
        !agent.getInteger(kRouteIfIndex, instance, &ifIndex))
      break;
    ++rows;
    if (rows % pace.window == 0 && pace.interval > 0)
      zevs::SleepUnlessShutdown(block, static_cast<unsigned>(pace.interval));
    if (destination != 0) EnterDestination(block, router, destination, mask, interfaces.excluded(ifIndex));
    uint32_t nextHop = 0;
    if (agent.getAddress(kRouteNextHop, instance, &nextHop)) RegisterNextHop(nextHop);
  }
  return rows;
}

void* RunRouteTableWalk(void* argument) {
  auto* block = static_cast<NetworkConfigurationBlock*>(argument);
  ZEVS_DiscoverRouterViaSNMP(block);
  zevs::BlockUserEnded(block);
  return nullptr;
}

}  // namespace

namespace zevs {

bool StartRouteTableWalk(NetworkConfigurationBlock* block) {
  BSV1_GetLock(&block->blockLock);
  const bool running = block->routeTableWalkRunning != 0;
  block->routeTableWalkRunning = 1;
  BSV1_ReleaseLock(&block->blockLock);
  if (running) {
    ZEVS_TRC(ZEVS_DEBUG_Route, TRC_DETAIL, "Start DiscoverRouterViaSNMP task bypassed at %lX", BSV1_ThreadID());
    return false;
  }
  BlockUserStarted(block);
  pthread_t thread{};
  if (ZEV0_CreateThread(RunRouteTableWalk, block, PTHREAD_CREATE_DETACHED, &thread) == 0) return true;
  TRC(TRC_ERROR, "*****Discover Router via SNMP task creation failed. Errno %s", std::strerror(errno));
  BlockUserEnded(block);
  SetWalking(block, 0);
  return false;
}

}  // namespace zevs

void* ZEVS_DiscoverRouterViaSNMP(void* argument) {
  auto* block = static_cast<NetworkConfigurationBlock*>(argument);
  SetWalking(block, 1);
  const RouteWalkPace pace = ReadRouteWalkPace();
  sockaddr_in local{};
  const int socket = ZEV0_OpenLocalSocket(SOCK_DGRAM, 0, &local, 0);
  char* buffer = static_cast<char*>(ZEV0_GetStorage(ZEVP_SNMP_BUFFER_SIZE));
  for (RouterEntry* router = zevs::FirstRouter(block); router != nullptr && socket >= 0 && buffer != nullptr &&
                                                        Walking(block);
       router = zevs::NextRouter(block, router)) {
    char* ownCommunity = zevp::Routines().locateSNMPnodeCommunityName(router->address);
    const char* community = ownCommunity != nullptr ? ownCommunity : block->defaultCommunity;
    NetworkEntry* own = zevs::RouterOwnNetwork(router);
    if (own == nullptr || !zevs::IsExcludedNetwork(own)) {
      RouterAgent agent(socket, buffer, router->address, community);
      const Interfaces interfaces = WalkInterfaces(block, agent);
      zevs::SleepUnlessShutdown(block, 1);
      if (WalkRoutes(block, router, agent, interfaces, pace) > 0) {
        BSV1_GetLock(&router->lock);
        router->status = ZEVS_ROUTER_ONLINE;
        BSV1_ReleaseLock(&router->lock);
        ZEVS_UpdateRouterInfoToDCH(block, router);
      }
    }
    ZEV0_FreeStorage(&ownCommunity);
    zevs::SleepUnlessShutdown(block, 1);
  }
  SetWalking(block, 0);
  if (socket >= 0) ZEV0_CloseTheSocket(socket);
  ZEV0_FreeStorage(&buffer);
  return nullptr;
}
