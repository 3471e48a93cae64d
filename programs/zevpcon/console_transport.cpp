#include "console_transport.h"

#include <arpa/inet.h>
#include <sys/select.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "reply_text.h"
#include "trc1.h"
#include "zev/prodspec_items.h"
#include "zev0/env.h"
#include "zev0/hostnames.h"
#include "zev0/prodspec.h"
#include "zev0/sockets.h"
#include "zev0/storage.h"
#include "zevp/console.h"
#include "zevp/network_code.h"
#include "zevp/transport_type.h"

TRC_UNIT();

namespace zevpcon {

namespace {

constexpr int kDefaultBasePort = 7700;
constexpr int kNoIPC = 4;
constexpr int kNotProcessed = 8;
constexpr int kReplyTooLong = 64;

// A number of the environment within [low, high], else the fallback.
long Setting(const char* name, long low, long high, long fallback) {
  const char* text = ZEV0_GetEnv(name, nullptr);
  if (text == nullptr) return fallback;
  char* end = nullptr;
  long value = std::strtol(text, &end, 10);
  return end != text && value >= low && value <= high ? value : fallback;
}

// A blank-separated token as a number; false when it is none.
bool Number(const std::string& token, long* value) {
  if (token.empty()) return false;
  char* end = nullptr;
  errno = 0;
  *value = std::strtol(token.c_str(), &end, 10);
  return errno == 0 && *end == '\0';
}

std::string HostNameOf(const sockaddr_in& address) {
  char* name = nullptr;
  std::string host;
  if (ZEV0_ConvertAddrToName(&address, &name, 0) && name != nullptr) {
    host = name;
    ZEV0_FreeStorage(&name);
  } else {
    char dotted[INET_ADDRSTRLEN] = "";
    inet_ntop(AF_INET, &address.sin_addr, dotted, sizeof dotted);
    host = dotted;
  }
  if (host.size() > kHostNameMax) host.resize(kHostNameMax);
  return host;
}

// GETPORT to every console port of the host, from the highest down.
void AskEveryPort(const ConsoleTransport& transport, const sockaddr_in& host) {
  for (int index = transport.maxIndex; index >= 0; --index) {
    sockaddr_in port = host;
    port.sin_port = htons(static_cast<uint16_t>(transport.basePort + index));
    char command[] = "GETPORT";
    ZEVP_ConvertBufferToNetwork(command, static_cast<int>(std::strlen(command)));
    ssize_t sent = sendto(transport.socket, command, std::strlen(command), 0, reinterpret_cast<sockaddr*>(&port),
                          sizeof port);
    if (sent != static_cast<ssize_t>(std::strlen(command))) {
      TRC(TRC_ERROR, "*** GETPORT to port %d failed, errno %d", transport.basePort + index, errno);
      ZEVP_ShowConsoleMessage(kNotProcessed, nullptr);
    }
  }
}

void TakeReply(ConsoleTransport* transport, const char* text, const sockaddr_in& sender) {
  DiscoveryReply reply = ParseDiscoveryReply(text);
  if (reply.returnCode != 0) return;
  if (transport->found.size() >= kMaxDataProviders) {
    TRC(TRC_ERROR, "*** Data provider table full, reply {%s} ignored", text);
    return;
  }
  FoundDataProvider found;
  found.type = reply.type;
  found.address = sender;
  if (reply.port != 0) found.address.sin_port = htons(reply.port);
  found.host = HostNameOf(sender);
  TRC(TRC_DETAIL, "DP type %d found on %s port %d", found.type, found.host.c_str(), ntohs(found.address.sin_port));
  transport->found.push_back(found);
}

// Reads replies while they come; each wait without one spends its length of the budget.
void CollectReplies(ConsoleTransport* transport) {
  int budgetMs = transport->discoveryBudgetMs;
  while (budgetMs > 0) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(transport->socket, &readable);
    timeval wait{transport->discoverySliceMs / 1000, (transport->discoverySliceMs % 1000) * 1000};
    int ready = select(transport->socket + 1, &readable, nullptr, nullptr, &wait);
    if (ready < 0) {
      TRC(TRC_ERROR, "*** select for discovery replies failed, errno %d", errno);
      return;
    }
    if (ready == 0) {
      budgetMs -= transport->discoverySliceMs;
      continue;
    }
    char buffer[kDiscoveryBufferSize];
    sockaddr_in sender{};
    socklen_t senderLength = sizeof sender;
    // One byte is kept for the terminator; MSG_TRUNC tells the datagram's whole length.
    ssize_t length = recvfrom(transport->socket, buffer, sizeof buffer - 1, MSG_TRUNC,
                              reinterpret_cast<sockaddr*>(&sender), &senderLength);
    if (length < 0) continue;
    if (static_cast<size_t>(length) > sizeof buffer - 1) {
      TRC(TRC_ERROR, "*** Discovery reply of %zd bytes discarded", length);
      ZEVP_ShowConsoleMessage(kReplyTooLong, nullptr);
      continue;
    }
    ZEVP_ConvertBufferToLocal(buffer, static_cast<int>(length), 0);
    buffer[length] = '\0';
    TakeReply(transport, buffer, sender);
  }
}

}  // namespace

ConsoleTransport::~ConsoleTransport() {
  if (socket >= 0) ZEV0_CloseTheSocket(socket);
}

void ReadConsoleSettings(ConsoleTransport* transport) {
  transport->transportLetter = ZEVP_ValidateTransportType(ZEV0_GetEnv("ZEVP_DP_TRANSPORT", nullptr));
  transport->commandWaitMs = static_cast<int>(Setting("ZEVP_CONSOLE_COMMAND_WAIT", 1, 86400, 0)) * 1000;
  long base = kDefaultBasePort;
  if (const char* offset = ZEV0_QueryProductSpec(ZEV2_DP_PORT_OFFSET)) base += std::atol(offset);
  base = Setting("ZEVP_DPCONSOLE_PORT", 1, 65535, base);
  transport->basePort = static_cast<uint16_t>(base > 0 && base <= 65535 ? base : kDefaultBasePort);
  // The ports asked stay within the port numbers.
  transport->maxIndex = static_cast<int>(Setting("ZEVP_MAX_DP", 0, 65535 - transport->basePort, 8));
  if (transport->basePort + transport->maxIndex > 65535) transport->maxIndex = 65535 - transport->basePort;
}

std::string TargetHostName(const ConsoleTransport& transport) {
  return transport.targetHost.empty() ? std::string(ZEV0_LocalHostNameString()) : transport.targetHost;
}

DiscoveryReply ParseDiscoveryReply(const std::string& text) {
  const std::vector<std::string> tokens = ReplyTokens(text);
  DiscoveryReply reply;
  long value = 0;
  if (tokens.size() > 0 && Number(tokens[0], &value)) reply.returnCode = value;
  if (tokens.size() > 1 && Number(tokens[1], &value) && value >= INT32_MIN && value <= INT32_MAX)
    reply.type = static_cast<int32_t>(value);
  // A port outside the port numbers leaves the sender's.
  if (tokens.size() > 2 && Number(tokens[2], &value) && value >= 1 && value <= 65535)
    reply.port = static_cast<uint16_t>(value);
  return reply;
}

int InitializeConsoleTransportInterface(ConsoleTransport* transport) {
  transport->found.clear();
  if (transport->transportLetter != 'I') {
    TRC(TRC_ERROR, "*** DP console transport %c looks for no data provider", transport->transportLetter);
    return 0;
  }
  sockaddr_in local{};
  transport->socket = ZEV0_OpenLocalSocket(SOCK_DGRAM, 0, &local, 0);
  if (transport->socket < 0) {
    TRC(TRC_ERROR, "*** unable to open console socket. DP communication impossible");
    ZEVP_ShowConsoleMessage(kNoIPC, nullptr);
    return 0;
  }
  std::string hostName = TargetHostName(*transport);
  sockaddr_in host{};
  if (!ZEV0_ConvertNameToAddr(hostName.c_str(), 0, &host)) {
    TRC(TRC_ERROR, "*** Host %s not resolved", hostName.c_str());
    return 0;
  }
  AskEveryPort(*transport, host);
  CollectReplies(transport);
  if (transport->found.empty()) return 0;
  transport->selected = 1;
  return 1;
}

}  // namespace zevpcon
