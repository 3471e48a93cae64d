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
