#include "icmp_test_network.h"

#include <arpa/inet.h>

#include <cstring>

#include "managed_node_entry.h"
#include "zev0/storage.h"

TestNetwork::TestNetwork(const char* dottedAddress, int32_t hostRange, int32_t state) {
  BSV1_InitializeLock(&entry_.lock);
  entry_.networkAddress = inet_addr(dottedAddress);
  entry_.hostRange = hostRange;
  entry_.state = state;
  auto count = static_cast<int32_t>(hostRange);
  entry_.nodeStatus = static_cast<char*>(ZEV0_GetStorage(count));
  std::memset(entry_.nodeStatus, '0', static_cast<size_t>(count));
  entry_.minimumResponseTimes = static_cast<uint32_t*>(ZEV0_GetStorage(count * 4));
  entry_.currentResponseTimes = static_cast<uint32_t*>(ZEV0_GetStorage(count * 4));
  entry_.maximumResponseTimes = static_cast<uint32_t*>(ZEV0_GetStorage(count * 4));
  for (int32_t i = 0; i < count; ++i) {
    entry_.minimumResponseTimes[i] = 2147483647u;
    entry_.currentResponseTimes[i] = 0;
    entry_.maximumResponseTimes[i] = 0;
  }
}

TestNetwork::~TestNetwork() {
  while (ManagedNodeEntry* node = entry_.hosts) {
    entry_.hosts = node->next;
    for (char** text : {&node->addressText, &node->ManagedNodeName, &node->ManagedNodeOID, &node->ManagedNodeDesc,
                        &node->ManagedNodeLocation, &node->ManagedNodeTypeText}) {
      ZEV0_FreeStorage(text);
    }
    ZEV0_FreeStorage(&node);
  }
  ZEV0_FreeStorage(&entry_.nodeStatus);
  ZEV0_FreeStorage(&entry_.minimumResponseTimes);
  ZEV0_FreeStorage(&entry_.currentResponseTimes);
  ZEV0_FreeStorage(&entry_.maximumResponseTimes);
  BSV1_DestroyLock(&entry_.lock);
}

IcmpBytes IcmpMessage(uint8_t type, uint8_t code, uint16_t identifier, uint16_t sequence, uint32_t sendTime,
                      bool withTime) {
  IcmpBytes message = {type,
                       code,
                       0,
                       0,
                       static_cast<uint8_t>(identifier >> 8),
                       static_cast<uint8_t>(identifier),
                       static_cast<uint8_t>(sequence >> 8),
                       static_cast<uint8_t>(sequence)};
  if (withTime) {
    for (int shift = 24; shift >= 0; shift -= 8) message.push_back(static_cast<uint8_t>(sendTime >> shift));
  }
  return message;
}

IcmpBytes IpPacket(uint32_t source, uint32_t destination, const IcmpBytes& payload, uint8_t protocol,
                   int optionWords) {
  size_t header = 20 + 4 * static_cast<size_t>(optionWords);
  IcmpBytes packet(header, 0);
  packet[0] = static_cast<uint8_t>(0x40 | (header / 4));
  size_t total = header + payload.size();
  packet[2] = static_cast<uint8_t>(total >> 8);
  packet[3] = static_cast<uint8_t>(total);
  packet[8] = 64;
  packet[9] = protocol;
  std::memcpy(&packet[12], &source, 4);
  std::memcpy(&packet[16], &destination, 4);
  packet.insert(packet.end(), payload.begin(), payload.end());
  return packet;
}

IcmpBytes Concat(IcmpBytes first, const IcmpBytes& second) {
  first.insert(first.end(), second.begin(), second.end());
  return first;
}

IcmpBytes Patched(IcmpBytes bytes, size_t offset, uint8_t value) {
  bytes[offset] = value;
  return bytes;
}
