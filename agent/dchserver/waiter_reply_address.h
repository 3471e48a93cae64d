// Where the later answer to a parked request goes: the requester's transport
// address as the transport delivered it, and the TCP connection it came on.
#pragma once

#include <cstdint>

struct WaiterReplyAddress {
  static constexpr int kMaxAddressLength = 256;

  unsigned char clientAddr[kMaxAddressLength] = {};  // zero-filled behind clientAddrLen
  int clientAddrLen = 0;
  unsigned int connectedSockFD = 0;   // 0: the request came as a datagram
  uint32_t connectionGeneration = 0;  // tells a reused socket number from the connection that parked

  // Fills the record; false (record unchanged) for a length outside 0..256 or a
  // null address with a non-zero length.
  bool assign(const void* address, int addressLength, unsigned int sockFD, uint32_t generation);
  // The same requester: the same connection, or for a datagram the same address.
  bool sameRequester(const WaiterReplyAddress& other) const;
};
