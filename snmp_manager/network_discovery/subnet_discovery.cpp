#include "subnet_discovery.h"

#include <arpa/inet.h>

#include <cstring>
#include <mutex>

#include "debug_switches.h"
#include "discovery_seams.h"
#include "network_configuration_block.h"
#include "network_list.h"
#include "network_masks.h"
#include "zev0/storage.h"
#include "zevs/network_records.h"

TRC_UNIT();

namespace {

constexpr int32_t kSubnetProbeWaitMs = 500;
constexpr int32_t kMaskProbeWaitMs = 1000;
constexpr uint32_t kModelAddress = 0x80000000u;  // 128.0.0.0, host order
constexpr uint32_t kModelMask = 0xFFFF0000u;
constexpr uint32_t kLoopbackHost = 0x7F000001u;
constexpr uint32_t kLoopbackNetwork = 0x7F000000u;

// NetModel is one scratch network for every search of the process.
std::mutex netModelUse;

// A scratch network (not listed) of the address, mask and range, with its host
// records; null without storage.
NetworkEntry* NewScratchNetwork(uint32_t address, uint32_t hostOrderMask, int32_t range) {
  auto* scratch = static_cast<NetworkEntry*>(ZEV0_GetStorage(sizeof(NetworkEntry)));
  if (scratch == nullptr) return nullptr;
  std::memset(static_cast<void*>(scratch), 0, sizeof(NetworkEntry));
  BSV1_InitializeLock(&scratch->lock);
  scratch->networkAddress = address;
  scratch->networkMask = hostOrderMask;
  scratch->hostRange = range;
  ZEVS_AllocateNetStatArray(scratch);
  return scratch;
}

void FreeScratchNetwork(NetworkEntry* scratch) {
  ZEV0_FreeStorage(&scratch->nodeStatus);
  ZEV0_FreeStorage(&scratch->minimumResponseTimes);
  ZEV0_FreeStorage(&scratch->currentResponseTimes);
  ZEV0_FreeStorage(&scratch->maximumResponseTimes);
  BSV1_DestroyLock(&scratch->lock);
  ZEV0_FreeStorage(&scratch);
}

bool HostAnswered(NetworkEntry* scratch, uint32_t offset) {
  BSV1_GetLock(&scratch->lock);
  const bool active = scratch->nodeStatus != nullptr && offset < static_cast<uint32_t>(scratch->hostRange) &&
                      scratch->nodeStatus[offset] == 'A';
  BSV1_ReleaseLock(&scratch->lock);
  return active;
}

bool ShuttingDown() {
  NetworkConfigurationBlock* block = NCB.load();
  return block != nullptr && block->shutdown.load() != 0;
}

}  // namespace

namespace zevs {

std::vector<uint32_t> SearchSubnets(NetworkEntry* network) {
  std::vector<uint32_t> answered;
  if (zevs::IsExcludedNetwork(network)) {
    ZEVS_TRC(ZEVS_DEBUG_Network, TRC_DETAIL, ">>>>> Excluded network.  Exit! <<<<<");
    return answered;
  }
  BSV1_GetLock(&network->lock);
  const uint32_t address = network->networkAddress;
  const uint32_t mask = network->networkMask;
  BSV1_ReleaseLock(&network->lock);
  if (ZEVS_IsStandardSubnetMask(mask)) return answered;

  std::lock_guard<std::mutex> model(netModelUse);
  if (NetModel == nullptr) {
    NetModel = NewScratchNetwork(htonl(kModelAddress), kModelMask, ZEVS_MAX_HOST_RANGE);
    if (NetModel == nullptr) return answered;
  }
  ZEVS_TRC(ZEVS_DEBUG_Network, TRC_DETAIL, "Searching potential subnets in network %s",
           DottedAddress(address).c_str());
  const uint32_t classMask = ntohl(ZEVS_GetStandardNetMask(address));
  // The subnets lie in the class network, whichever of them the entry is: from a
  // subnet's own address the offsets would reach into the next class network.
  const uint32_t classNetwork = address & htonl(classMask);
  const uint32_t step = ~mask + 1;
  const uint32_t limit = mask - classMask;
  NetModel->networkAddress = classNetwork;
  NetModel->networkMask = classMask;
  // Records of an earlier search must not count as answers of this one.
  if (NetModel->nodeStatus != nullptr) std::memset(NetModel->nodeStatus, '0', static_cast<size_t>(NetModel->hostRange));
  if (limit >= 65536u || step == 0) return answered;
  NetworkEntry* classEntry = ZEVS_LocateBaseNetworkEntry(address);
  for (uint32_t offset = step; offset < limit && !ShuttingDown(); offset += step) {
    const uint32_t subnet = htonl(ntohl(classNetwork) + offset);
    Seams().checkActiveNode(&subnet, 0, 0, NetModel, classEntry, kSubnetProbeWaitMs);
    if (!HostAnswered(NetModel, offset)) continue;
    answered.push_back(offset);
    ZEVS_UpdateNetworkListEntry(&subnet, htonl(mask), 1);
  }
  return answered;
}

}  // namespace zevs

void ZEVS_CheckValidSubnets(NetworkEntry* network) { zevs::SearchSubnets(network); }

void ZEVS_DetermineAndSetSubnetMask(NetworkEntry* network) {
  if (zevs::IsExcludedNetwork(network)) {
    ZEVS_TRC(ZEVS_DEBUG_Network, TRC_DETAIL, ">>>>> Excluded network. Exiting... <<<<<");
    return;
  }
  BSV1_GetLock(&network->lock);
  const uint32_t address = network->networkAddress;
  if (ntohl(address) == kLoopbackHost || ntohl(address) == kLoopbackNetwork) {
    network->networkMask = 0xFFFFFFFFu;
    network->hostRange = 1;
    ZEVS_AllocateNetStatArray(network);
    BSV1_ReleaseLock(&network->lock);
    ZEVS_TRC(ZEVS_DEBUG_Network, TRC_DETAIL, "Loop back network mask set to 255.255.255.255");
    return;
  }
  BSV1_ReleaseLock(&network->lock);
  // The probes' records go into a network of their own: the listed entry keeps its
  // address, by which other threads find it, while the class network is probed.
  const uint32_t classMask = ntohl(ZEVS_GetStandardNetMask(address));
  const uint32_t classNetwork = address & htonl(classMask);
  const uint32_t complement = ~classMask;
  const int32_t range = static_cast<int32_t>(complement > ZEVS_MAX_HOST_RANGE ? ZEVS_MAX_HOST_RANGE : complement);
  NetworkEntry* scratch = NewScratchNetwork(classNetwork, classMask, range);
  if (scratch == nullptr || scratch->nodeStatus == nullptr) {
    if (scratch != nullptr) FreeScratchNetwork(scratch);
    return;
  }
  uint32_t unanswered = 0;
  for (uint32_t offset = 1; offset < static_cast<uint32_t>(range) && !ShuttingDown(); offset <<= 1) {
    const uint32_t probed = htonl(ntohl(classNetwork) + offset);
    ZEVS_TRC(ZEVS_DEBUG_Network, TRC_DETAIL, "Check address %s", zevs::DottedAddress(probed).c_str());
    zevs::Seams().checkActiveNode(&probed, 0, 0, scratch, nullptr, kMaskProbeWaitMs);
    if (HostAnswered(scratch, offset)) break;
    unanswered |= offset;
  }
  FreeScratchNetwork(scratch);
  ZEVS_TRC(ZEVS_DEBUG_Network, TRC_DETAIL, "Determined Mask %X", unanswered);
  if (unanswered <= 1) return;
  const uint32_t mask = classMask | ~unanswered;
  const int32_t newRange = static_cast<int32_t>(~mask > ZEVS_MAX_HOST_RANGE ? ZEVS_MAX_HOST_RANGE : ~mask);
  BSV1_GetLock(&network->lock);
  const bool changed = newRange != network->hostRange;
  if (changed) {
    network->networkMask = mask;
    network->hostRange = newRange;
    ZEVS_AllocateNetStatArray(network);
  }
  BSV1_ReleaseLock(&network->lock);
  if (changed)
    ZEVS_TRC(ZEVS_DEBUG_Network, TRC_DETAIL, "Subnet mask updated to %s, range %d", zevs::DottedMask(mask).c_str(),
             newRange);
}
