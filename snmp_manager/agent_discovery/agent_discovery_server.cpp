#include "agent_discovery_server.h"

#include <cstdlib>
#include <string>

#include "bsv1.h"
#include "debug_switches.h"
#include "raf_interfaces.h"
#include "raf_proxy_server.h"
#include "snmp_thread.h"
#include "trc1.h"
#include "zevp/data_provider.h"

TRC_UNIT();

namespace {

// The first port of the range the runtime can listen on for RAF_Proxy, or
// kNoPlovenListenPort.
int32_t ClaimListenPort(const zevs::ListenPortRange& range) {
  for (int32_t port = range.first; port <= range.last; ++port) {
    ZEVS_TRC(ZEVS_DEBUG_Ploven, TRC_DETAIL, "Try listen port %d", port);
    RAF_Proxy_v131_if_spec.port[socket__family_internet] = static_cast<uint16_t>(port);
    socket__addr_t address;
    int addressLength = sizeof address;
    rpc__status_t status = rpc__s_ok;
    rpc__use_family_wk(socket__family_internet, &RAF_Proxy_v131_if_spec, &address, &addressLength, &status);
    if (status == rpc__s_ok) {
      ZEVS_TRC(ZEVS_DEBUG_Ploven, TRC_DETAIL, "rpc__use_family_wk OK");
      zevs::PlovenListenAddress().store(address.in.sin_addr.s_addr);
      return port;
    }
    ZEVS_TRC(ZEVS_DEBUG_Ploven, TRC_DETAIL, "rpc__use_family_wk failed - %s", zevs::RpcStatusText(status).c_str());
  }
  return kNoPlovenListenPort;
}

}  // namespace

void* ZEVS_ListenPlovenAgentReply(void* listenPort) {
  auto* chosen = static_cast<std::atomic<int32_t>*>(listenPort);
  const zevs::ListenPortRange range = zevs::PlovenListenPorts();
  const int32_t port = ClaimListenPort(range);
  chosen->store(port);
  if (port == kNoPlovenListenPort) {
    TRC(TRC_ERROR, "*****No listen port free from %d to %d. No agent can register", range.first, range.last);
    return &ZEVS_ThreadRC;
  }
  rpc__status_t status = rpc__s_ok;
  rpc__register_mgr(&uuid__nil, &RAF_Proxy_v131_if_spec, RAF_Proxy_v131_server_epv, ZEVS_RAF_Proxy_manager_epv,
                    &status);
  if (status != rpc__s_ok) {
    TRC(TRC_ERROR, "rpc__register_mgr failed - %s", zevs::RpcStatusText(status).c_str());
    return &ZEVS_ThreadRC;
  }
  // Inside the agent program its framework serves the calls.
  if (ZEVP_IsIndependentDPenvironment() == 0) return &ZEVS_ThreadRC;
  ZEVS_TRC(ZEVS_DEBUG_Ploven, TRC_DETAIL, "Discover Ploven agnet task lstening for reply.....");
  const char* maximum = BSV1_GetEnv("ZEVP_SNMP_PLOVEN_MAX_LISTEN_TASKS", 0);
  rpc__listen(std::atoi(maximum != nullptr ? maximum : "5"), &status);
  ZEVS_TRC(ZEVS_DEBUG_Ploven, TRC_DETAIL, "rpc_listen returned. Status %s", zevs::RpcStatusText(status).c_str());
  return &ZEVS_ThreadRC;
}

namespace zevs {

ListenPortRange& PlovenListenPorts() {
  static ListenPortRange range;
  return range;
}

std::atomic<uint32_t>& PlovenListenAddress() {
  static std::atomic<uint32_t> address{0};
  return address;
}

}  // namespace zevs
