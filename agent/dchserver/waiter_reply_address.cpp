#include "waiter_reply_address.h"

#include <cstring>

bool WaiterReplyAddress::assign(const void* address, int addressLength, unsigned int sockFD, uint32_t generation) {
  if (addressLength < 0 || addressLength > kMaxAddressLength) return false;
  if (address == nullptr && addressLength != 0) return false;
  std::memset(clientAddr, 0, sizeof clientAddr);
  if (addressLength > 0) std::memcpy(clientAddr, address, static_cast<size_t>(addressLength));
  clientAddrLen = addressLength;
  connectedSockFD = sockFD;
  connectionGeneration = generation;
  return true;
}

bool WaiterReplyAddress::sameRequester(const WaiterReplyAddress& other) const {
  if (connectedSockFD != other.connectedSockFD) return false;
  if (connectedSockFD != 0) return connectionGeneration == other.connectionGeneration;
  return clientAddrLen == other.clientAddrLen &&
         std::memcmp(clientAddr, other.clientAddr, static_cast<size_t>(clientAddrLen)) == 0;
}
