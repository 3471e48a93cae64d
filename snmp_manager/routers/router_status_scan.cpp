#include "router_status_scan.h"

#include <arpa/inet.h>
#include <sys/socket.h>

#include "debug_switches.h"
#include "discovery_seams.h"
#include "engine_routines.h"
#include "network_configuration_block.h"
#include "network_list.h"
#include "router_list.h"
#include "router_row.h"
#include "snmp_pdu.h"
#include "zev0/ber.h"
#include "zev0/sockets.h"
#include "zev0/storage.h"
#include "zevs/network_records.h"

TRC_UNIT();

namespace {

constexpr int32_t kRouterPingWaitMs = 3000;
constexpr char kSysServices[] = "1.3.6.1.2.1.1.7.0";

// Whether the router answers an SNMP get of sysServices.0 with an INTEGER.
bool AnswersSNMP(NetworkConfigurationBlock* block, RouterEntry* router, int socket, char* buffer) {
  char* field = nullptr;
  int32_t fieldLength = 0;
  if (socket < 0 || buffer == nullptr || !ZEV0_FormatOIDfromString(kSysServices, &field, &fieldLength)) return false;
  char* ownCommunity = zevp::Routines().locateSNMPnodeCommunityName(router->address);
  sockaddr_in agent{};
  agent.sin_family = AF_INET;
  agent.sin_addr.s_addr = router->address;
  agent.sin_port = htons(161);
  int32_t requestID = 0;
  int32_t errorStatus = 0;
  int32_t valueLength = 0;
  char value[16];
  char* into = value;
  const int tag = zevs::Seams().retrieveOneMIBvariable(socket, buffer, &agent,
                                                       ownCommunity != nullptr ? ownCommunity : block->defaultCommunity,
                                                       &requestID, &errorStatus, &fieldLength, field, &valueLength,
                                                       &into, sizeof value, 0);
  ZEV0_FreeStorage(&ownCommunity);
  ZEV0_FreeStorage(&field);
  return tag == ZEV0_ASN_INTEGER;
}

int32_t CheckedStatus(NetworkConfigurationBlock* block, RouterEntry* router, int socket, char* buffer) {
  NetworkEntry* own = zevs::RouterOwnNetwork(router);
  if (own == nullptr) return ZEVS_ROUTER_OFFLINE;
  if (zevs::IsExcludedNetwork(own)) return ZEVS_ROUTER_OFFLINE;
  if (zevs::Seams().checkActiveNode(&router->address, 0, 0, own, nullptr, kRouterPingWaitMs) > 0)
    return ZEVS_ROUTER_ONLINE;
  ZEVS_TRC(ZEVS_DEBUG_Route, TRC_DETAIL, "Router %s did not respond to ping, attempting SNMP Get request...",
           router->addressText);
  return AnswersSNMP(block, router, socket, buffer) ? ZEVS_ROUTER_ONLINE : ZEVS_ROUTER_OFFLINE;
}

}  // namespace

namespace zevs {

RouterScanChannel::RouterScanChannel() {
  sockaddr_in local{};
  socket = ZEV0_OpenLocalSocket(SOCK_DGRAM, 0, &local, 0);
  buffer = static_cast<char*>(ZEV0_GetStorage(ZEVP_SNMP_BUFFER_SIZE));
}

RouterScanChannel::~RouterScanChannel() {
  ZEV0_FreeStorage(&buffer);
  if (socket >= 0) ZEV0_CloseTheSocket(socket);
}

void ScanRouterStatus(NetworkConfigurationBlock* block, RouterScanChannel& channel) {
  for (RouterEntry* router = FirstRouter(block); router != nullptr && block->shutdown.load() == 0;
       router = NextRouter(block, router)) {
    BSV1_GetLock(&router->lock);
    const int32_t before = router->status;
    BSV1_ReleaseLock(&router->lock);
    if (before == ZEVS_ROUTER_VERIFY) continue;
    // No lock is held across the probes: only the new status is stored under it.
    const int32_t status = CheckedStatus(block, router, channel.socket, channel.buffer);
    BSV1_GetLock(&router->lock);
    const bool changed = router->status != status;
    router->status = status;
    BSV1_ReleaseLock(&router->lock);
    if (changed) ZEVS_UpdateRouterInfoToDCH(block, router);
  }
}

}  // namespace zevs
