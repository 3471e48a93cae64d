#include "network_node_expansion.h"

#include <arpa/inet.h>

#include <cstdio>

#include "dp_anchor.h"
#include "engine_routines.h"
#include "trc1.h"
#include "zev0/storage.h"
#include "zevs/network_records.h"

TRC_UNIT();

namespace {

// The most hosts a network of the network list spans.
constexpr uint32_t kHostRangeMax = 65535;
constexpr uint32_t kClassCRange = 255;
constexpr int kDottedSize = 16;  // "255.255.255.255 "

// The host range of the network at the address (host order), 0 when it is none to expand.
uint32_t RangeOf(uint32_t network) {
  uint32_t mask = zevp::Routines().knownNetworkMask(network);
  if (mask != 0) {
    uint32_t range = ~mask < kHostRangeMax ? ~mask : kHostRangeMax;
    TRC(TRC_DETAIL, "Discovered network found. Range %d", static_cast<int>(range));
    return range;
  }
  if ((network & 0xFF) != 0) {
    TRC(TRC_DETAIL, ">>>>>Assume unresolved node address");
    return 0;
  }
  if ((network >> 29) != 0x6) {
    TRC(TRC_DETAIL, ">>>>>Non-class C network bypassed");
    return 0;
  }
  return kClassCRange;
}

}  // namespace

int ZEVP_ConstructNetworkNodeList(DPAB*, char** out, const char* networkAddress) {
  *out = nullptr;
  in_addr address{};
  if (networkAddress == nullptr || inet_pton(AF_INET, networkAddress, &address) != 1) return 0;
  const uint32_t network = ntohl(address.s_addr);
  const uint32_t range = RangeOf(network);
  if (range < 2) return 0;
  auto* text = static_cast<char*>(ZEV0_GetStorage(static_cast<int32_t>((range - 1) * kDottedSize + 1)));
  if (text == nullptr) return 0;
  char* end = text;
  for (uint32_t host = 1; host < range; ++host) {
    uint32_t node = network + host;
    end += std::snprintf(end, kDottedSize + 1, "%u.%u.%u.%u ", node >> 24, (node >> 16) & 0xFF, (node >> 8) & 0xFF,
                         node & 0xFF);
  }
  *out = text;
  return static_cast<int>(range - 1);
}

uint32_t ZEVP_KnownNetworkMask(uint32_t networkAddress) {
  uint32_t mask = 0;
  zevp::WithMainAnchor([&](DPAB* anchor) {
    NetworkConfigurationBlock* block = anchor->networkConfiguration.load();
    if (block == nullptr) return;
    const uint32_t wanted = htonl(networkAddress);
    BSV1_GetLock(&block->networkListLock);
    for (NetworkEntry* network = block->networks; network != nullptr && mask == 0; network = network->next)
      if (network->networkAddress == wanted) mask = network->networkMask;
    BSV1_ReleaseLock(&block->networkListLock);
  });
  return mask;
}
