#include "sock_test_support.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "free_port.h"

namespace {

constexpr unsigned kRingWatchdogSeconds = 10;

}  // namespace

unsigned short UseLoopbackDCH(int poolSockets) {
  static unsigned short port = [] {
    const char* inherited = getenv("ZEV_TEST_DCH_PORT");
    return inherited != nullptr ? static_cast<unsigned short>(atoi(inherited)) : FreeLoopbackPort();
  }();
  std::string number = std::to_string(port);
  setenv("ZEV_TEST_DCH_PORT", number.c_str(), 1);
  setenv("ZEVA_DCH_PORT", number.c_str(), 1);
  setenv("QFEB0_HOSTNAME", "localhost", 1);
  setenv("ZEVA_DCH_ADDR", "127.0.0.1", 1);
  setenv("ZEVA_DCH_TIMEOUT", "1", 1);
  setenv("ZEVA_DCH_UDP_SOCKETS_IN_POOL", std::to_string(poolSockets).c_str(), 1);
  return port;
}

sockaddr_in LoopbackAddress(unsigned short port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

int OpenLoopbackUdp(unsigned short port) {
  int sockFD = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in address = LoopbackAddress(port);
  if (sockFD >= 0 && bind(sockFD, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return sockFD;
  if (sockFD >= 0) close(sockFD);
  return -1;
}

int ConnectLoopbackTcp(unsigned short port) {
  int sockFD = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address = LoopbackAddress(port);
  if (sockFD >= 0 && connect(sockFD, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return sockFD;
  if (sockFD >= 0) close(sockFD);
  return -1;
}

unsigned short LocalPort(int sockFD) {
  sockaddr_in bound{};
  socklen_t length = sizeof bound;
  if (getsockname(sockFD, reinterpret_cast<sockaddr*>(&bound), &length) != 0) return 0;
  return ntohs(bound.sin_port);
}

std::string DchBytes(uint32_t declared, size_t total) {
  std::string bytes(total, '\0');
  for (size_t at = 4; at < total; ++at) bytes[at] = static_cast<char>('A' + at % 23);
  const unsigned char head[4] = {static_cast<unsigned char>(declared >> 24), static_cast<unsigned char>(declared >> 16),
                                 static_cast<unsigned char>(declared >> 8), static_cast<unsigned char>(declared)};
  memcpy(&bytes[0], head, total < 4 ? total : 4);
  return bytes;
}

bool SendAll(int sockFD, const std::string& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    ssize_t n = send(sockFD, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

std::string ReceiveWithin(int sockFD, int waitMs, sockaddr_in* sender) {
  pollfd watched{sockFD, POLLIN, 0};
  if (poll(&watched, 1, waitMs) != 1) return "";
  std::string datagram(65536, '\0');
  sockaddr_in from{};
  socklen_t fromLength = sizeof from;
  ssize_t n = recvfrom(sockFD, &datagram[0], datagram.size(), 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
  if (sender != nullptr) *sender = from;
  datagram.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return datagram;
}

bool PeerClosed(int sockFD, int waitMs) {
  char discard[4096];
  for (;;) {
    pollfd watched{sockFD, POLLIN, 0};
    if (poll(&watched, 1, waitMs) != 1) return false;
    ssize_t n = recv(sockFD, discard, sizeof discard, 0);
    if (n <= 0) return true;
  }
}

RingEntry TakeFromRing(DCHipc& server) {
  RingEntry entry;
  char* buffer = nullptr;
  int size = 0;
  unsigned char address[IPC_CLIENT_ADDR_SIZE] = {};
  char name[IPC_CLIENT_NAME_SIZE] = {};
  alarm(kRingWatchdogSeconds);
  server.ipc_get_data(&buffer, &size, address, &entry.addressLength, name, &entry.sockFD, &entry.kind,
                      &entry.generation);
  alarm(0);
  if (server.ipcGetError() == 0 && buffer != nullptr) {
    size_t length = entry.kind == DCHmessageKind::message ? ZEV0_MessageTotalLength(buffer) : strlen(buffer);
    entry.body.assign(buffer, length < static_cast<size_t>(size) ? length : static_cast<size_t>(size));
    entry.clientName = name;
    memcpy(&entry.address, address, sizeof entry.address);
  }
  delete[] buffer;
  return entry;
}
