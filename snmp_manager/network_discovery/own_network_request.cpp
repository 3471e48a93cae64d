#include "own_network_request.h"

#include <cstring>

#include "network_manage_entry.h"
#include "zev0/storage.h"

namespace {

constexpr int32_t kOwnNetworkPollInterval = 300;

}  // namespace

namespace zevs {

bool RequestNetworkManagement(DPAB* anchor, NetworkEntry* network, uint32_t address) {
  if (anchor == nullptr) return false;
  auto* request = static_cast<NetworkManageEntry*>(ZEV0_GetStorage(sizeof(NetworkManageEntry)));
  if (request == nullptr) return false;
  std::memset(static_cast<void*>(request), 0, sizeof(NetworkManageEntry));
  request->Anchor = anchor;
  request->NetworkEntry = network;
  request->NetworkAddress = address;
  request->ManageAction = ZEVP_MANAGE_START;
  request->PollInterval = kOwnNetworkPollInterval;
  if (ZEVP_EnqueueNetManageToServer(anchor, request)) return true;
  ZEV0_FreeStorage(&request);
  return false;
}

}  // namespace zevs
