// What the ICMP tests build by hand: a network entry with its per-host records,
// and ICMP messages inside IP packets as a host would receive them.
#pragma once

#include <cstdint>
#include <vector>

#include "zevs/network_records.h"

// A network entry of the range (hosts 1 … range−1) with every letter '0'; the hosts
// made for it are freed with it.
class TestNetwork {
 public:
  TestNetwork(const char* dottedAddress, int32_t hostRange, int32_t state = ZEVS_NETWORK_NOT_MANAGED);
  ~TestNetwork();
  TestNetwork(const TestNetwork&) = delete;
  TestNetwork& operator=(const TestNetwork&) = delete;

  NetworkEntry* entry() { return &entry_; }
  char letter(int32_t index) const { return entry_.nodeStatus[index]; }

 private:
  NetworkEntry entry_{};
};

using IcmpBytes = std::vector<uint8_t>;

// An ICMP message: type, code, a zero checksum, identifier, sequence, and the send
// time (big-endian) when withTime.
IcmpBytes IcmpMessage(uint8_t type, uint8_t code, uint16_t identifier, uint16_t sequence, uint32_t sendTime,
                      bool withTime = true);
// An IPv4 packet from source to destination (network byte order) carrying the
// payload, with the protocol and that many 4-byte option words in its header.
IcmpBytes IpPacket(uint32_t source, uint32_t destination, const IcmpBytes& payload, uint8_t protocol = 1,
                   int optionWords = 0);
IcmpBytes Concat(IcmpBytes first, const IcmpBytes& second);
// The bytes with the one at the offset replaced.
IcmpBytes Patched(IcmpBytes bytes, size_t offset, uint8_t value);
