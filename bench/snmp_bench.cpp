// One-variable gets of sysDescr.0 per second through ZEVP_RetrieveOneMIBvariable
// against Debian's snmpd on loopback, over bare UDP exchanges of the same request
// bytes with the same snmpd in the same run. Both run in a network namespace of the
// bench's own, as every SNMP peer of the tests does.
#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "net_snmp.h"
#include "network_namespace.h"
#include "one_variable_get.h"
#include "ratio.h"
#include "snmp_pdu.h"
#include "trc1.h"
#include "zev0/ber.h"
#include "zev0/storage.h"

namespace {

constexpr unsigned short kAgentPort = 1161;

int LoopbackSocket() {
  int fd = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local);
  return fd;
}

void Measure() {
  SnmpAgentSettings settings;
  settings.port = kAgentPort;
  SnmpAgentProcess agent(settings);
  if (!agent.start()) {
    std::fprintf(stderr, "snmp_bench: %s\n", agent.failure().c_str());
    return;
  }
  char* oid = nullptr;
  int32_t oidLength = 0;
  ZEV0_FormatOIDfromString("1.3.6.1.2.1.1.1.0", &oid, &oidLength);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(kAgentPort);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const int getSocket = LoopbackSocket();
  const int bareSocket = LoopbackSocket();
  char buffer[ZEVP_SNMP_BUFFER_SIZE];
  int32_t id = 0, status = 0, length = 0;
  char value[256];

  // The same request bytes (ID 1) for every bare exchange.
  char request[ZEVP_SNMP_BUFFER_SIZE];
  const int32_t requestLength = ZEVP_SNMPconstructPDUbuffer(request, sizeof request, ZEVP_SNMP_GET_REQUEST, oid,
                                                            oidLength, nullptr, 0, 1, "public");
  LoopPass bare = Repeat([&] {
    if (sendto(bareSocket, request, static_cast<size_t>(requestLength), 0, reinterpret_cast<sockaddr*>(&address),
               sizeof address) != requestLength)
      return false;
    pollfd ready{bareSocket, POLLIN, 0};
    char reply[ZEVP_SNMP_BUFFER_SIZE];
    return poll(&ready, 1, 5000) == 1 && recv(bareSocket, reply, sizeof reply, 0) > 0;
  });
  LoopPass gets = Repeat([&] {
    char* into = value;
    return ZEVP_RetrieveOneMIBvariable(getSocket, buffer, &address, "public", &id, &status, &oidLength, oid, &length,
                                       &into, sizeof value, 0) == 0x04;
  });
  PrintRatio("snmp one-variable gets / bare UDP exchanges", MedianRatio(bare, gets),
             "sysDescr.0 of snmpd on loopback");
  close(getSocket);
  close(bareSocket);
  ZEV0_FreeStorage(&oid);
}

}  // namespace

int main() {
  TRC1_Configure("*=0");
  RunInNetworkNamespace(Measure);
  return 0;
}
