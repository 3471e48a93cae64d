// Probing through the ICMP daemon: one request and its reply at a time under
// ICMPdaemonIOlock, replies taken only from the daemon's own address and port.
#include <arpa/inet.h>
#include <pthread.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "icmp_daemon_wire.h"
#include "icmp_echo.h"
#include "icmp_probing.h"
#include "icmp_trace.h"
#include "manager_routines.h"
#include "network_configuration_block.h"
#include "network_masks.h"
#include "network_state.h"
#include "response_times.h"
#include "trc1.h"
#include "zev0/env.h"
#include "zev0/sockets.h"
#include "zevs/network_records.h"

TRC_UNIT();

std::atomic<int32_t> ICMPdaemonActive{0};
std::atomic<int> ICMPdaemonSock{0};

namespace {

pthread_mutex_t ICMPdaemonIOlock = PTHREAD_MUTEX_INITIALIZER;
sockaddr_in ICMPdaemonAddr{};  // ICMPdaemonIOlock
int32_t ICMPrequestSeq = 0;    // ICMPdaemonIOlock

constexpr int32_t kStartupWaitSeconds = 5;
constexpr uint16_t kDefaultDaemonPort = 7980;

// One datagram from the daemon's address and port into area (terminated): its
// length; 0 for a datagram of anyone else; -1 when the receive failed.
ssize_t ReceiveFromDaemon(int socketDescriptor, char* area) {
  sockaddr_in from{};
  socklen_t fromLength = sizeof from;
  ssize_t length = recvfrom(socketDescriptor, area, zevs::kDaemonDatagramArea - 1, 0, reinterpret_cast<sockaddr*>(&from),
                            &fromLength);
  if (length < 0) return -1;
  area[length] = '\0';
  if (from.sin_addr.s_addr != ICMPdaemonAddr.sin_addr.s_addr || from.sin_port != ICMPdaemonAddr.sin_port) return 0;
  return length;
}

// Sends the request for the address and waits the rest of the wait for its own
// reply: the milliseconds, or -1 when none came. Caller holds ICMPdaemonIOlock.
int32_t AskDaemon(int socketDescriptor, uint32_t address, uint16_t port, int32_t waitMs, const timeval& replyWait) {
  char area[zevs::kDaemonDatagramArea];
  int32_t sequence = ++ICMPrequestSeq;
  size_t length =
      zevs::FormatDaemonRequest(area, sizeof area, sequence, zevs::DottedAddress(address).c_str(), waitMs, port);
  if (send(socketDescriptor, area, length, 0) != static_cast<ssize_t>(length)) {
    ICMP_TRC(TRC_ERROR, "----- ICMP Daemon request send failed, errno %d", errno);
    return -1;
  }
  int64_t deadline = zevs::SteadyMicroseconds() + zevs::Microseconds(replyWait);
  while (zevs::ReadableUnlessStopped(socketDescriptor, deadline)) {
    ssize_t received = ReceiveFromDaemon(socketDescriptor, area);
    if (received < 0) {
      ICMP_TRC(TRC_ERROR, "----- ICMP Daemon reply received no data, errno %d", errno);
      return -1;
    }
    int32_t replySequence = 0;
    int32_t milliseconds = -1;
    if (received == 0 || !zevs::ParseDaemonReply(area, static_cast<size_t>(received), &replySequence, &milliseconds)) {
      continue;  // not the daemon's, or not a reply
    }
    if (replySequence < sequence) continue;  // a late answer to an earlier request
    return replySequence == sequence ? milliseconds : -1;
  }
  return -1;
}

int ProbeThroughDaemon(const uint32_t* address, uint16_t port, int wholeNetwork, NetworkEntry* network,
                       int32_t waitMs) {
  timeval replyWait = zevs::ProbeReplyWait(waitMs, true);
  uint32_t base = ntohl(network->networkAddress);
  int32_t index = 1;
  if (wholeNetwork != 0) {
    ICMP_TRC(TRC_DETAIL, "Discovering network %s", zevs::DottedAddress(network->networkAddress).c_str());
  } else {
    index = static_cast<int32_t>(ntohl(*address) - base);
  }
  int count = 0;
  for (; index >= 0 && index < network->hostRange; ++index) {
    if (wholeNetwork != 0 && index > zevs::kLastProbedHost) break;
    uint32_t host = htonl(base + static_cast<uint32_t>(index));
    // The socket is taken under the lock under which the manager closes it at its
    // end: a closed one (its number perhaps reused) is never written to.
    pthread_mutex_lock(&ICMPdaemonIOlock);
    int socketDescriptor = ICMPdaemonSock.load();
    int32_t milliseconds = socketDescriptor > 0 ? AskDaemon(socketDescriptor, host, port, waitMs, replyWait) : -1;
    pthread_mutex_unlock(&ICMPdaemonIOlock);
    if (socketDescriptor <= 0) break;
    if (milliseconds >= 0) {
      ZEVS_UpdateResponseTimeStatus(network, index, static_cast<uint32_t>(milliseconds));
      ++count;
      if (wholeNetwork != 0) zevs::Routines().enqueuePlovenDiscoveryRequest(zevs::DottedAddress(host).c_str());
    }
    if (wholeNetwork == 0 || zevs::ProbingStopped()) break;
  }
  return count;
}

}  // namespace

namespace zevs {

bool ProbingExcluded(const NetworkEntry* network) {
  return network != nullptr &&
         (zevs::NetworkState(network) == ZEVS_NETWORK_EXCLUDED || zevs::NetworkState(network) == ZEVS_NETWORK_EXCLUDED_BY_SUBNET);
}

bool ProbingStopped() {
  NetworkConfigurationBlock* block = NCB.load();
  return block != nullptr && block->shutdown.load() != 0;
}

bool ReadableUnlessStopped(int descriptor, int64_t deadline) {
  constexpr int64_t kSliceMicroseconds = 20000;
  while (!ProbingStopped()) {
    int64_t now = SteadyMicroseconds();
    if (now >= deadline) return false;
    if (ReadableBefore(descriptor, std::min(deadline, now + kSliceMicroseconds))) return true;
  }
  return false;
}

void CloseIcmpDaemonSocket() {
  pthread_mutex_lock(&ICMPdaemonIOlock);
  int socketDescriptor = ICMPdaemonSock.exchange(0);
  if (socketDescriptor > 0) ZEV0_CloseTheSocket(socketDescriptor);
  pthread_mutex_unlock(&ICMPdaemonIOlock);
}

}  // namespace zevs

void ZEVS_CheckICMPdaemonStatus() {
  const char* portText = ZEV0_GetEnv("ZEVP_SNMP_NETDAEMON_PORT", nullptr);
  int port = portText != nullptr ? std::atoi(portText) : kDefaultDaemonPort;
  pthread_mutex_lock(&ICMPdaemonIOlock);
  ICMPdaemonActive = 0;
  int socketDescriptor = ZEV0_OpenLocalSocket(SOCK_DGRAM, 0, &ICMPdaemonAddr, 1);
  if (socketDescriptor < 0) {
    ICMP_TRC(TRC_ERROR, "***** unable to open socket to contact ICMP daemon");
    pthread_mutex_unlock(&ICMPdaemonIOlock);
    return;
  }
  ICMPdaemonAddr.sin_port = htons(static_cast<uint16_t>(port));
  // Connected, so that a daemon that does not run is known at once (the refusal
  // comes back as a failed receive) and only the daemon's datagrams arrive.
  if (connect(socketDescriptor, reinterpret_cast<sockaddr*>(&ICMPdaemonAddr), sizeof ICMPdaemonAddr) != 0) {
    ICMP_TRC(TRC_ERROR, "***** unable to open socket to contact ICMP daemon");
    ZEV0_CloseTheSocket(socketDescriptor);
    pthread_mutex_unlock(&ICMPdaemonIOlock);
    return;
  }
  char area[zevs::kDaemonDatagramArea];
  int length = std::snprintf(area, sizeof area, "%d 0.0.0.0", ++ICMPrequestSeq);
  ssize_t received = -1;
  if (send(socketDescriptor, area, static_cast<size_t>(length), 0) == length) {
    int64_t deadline = zevs::SteadyMicroseconds() + int64_t{kStartupWaitSeconds} * 1000000;
    do {
      if (!zevs::ReadableBefore(socketDescriptor, deadline)) {
        ICMP_TRC(TRC_DETAIL, "----- ICMP inquiry daemon received timeout");
        received = -2;
        break;
      }
      received = ReceiveFromDaemon(socketDescriptor, area);
    } while (received == 0);
  }
  if (received > 0) {
    ICMPdaemonSock = socketDescriptor;
    ICMPdaemonActive = 1;
    ICMP_TRC(TRC_DETAIL, "----- ICMP Daemon is Active");
  } else {
    if (received == -1) ICMP_TRC(TRC_DETAIL, "----- ICMP daemon inquiry received no data");
    ZEV0_CloseTheSocket(socketDescriptor);
    ICMPdaemonSock = 0;
  }
  pthread_mutex_unlock(&ICMPdaemonIOlock);
}

int ZEVS_CheckActiveNode(const uint32_t* address, uint16_t port, int wholeNetwork, NetworkEntry* network,
                         NetworkEntry* second, int32_t waitMs) {
  if (zevs::ProbingExcluded(network)) {
    ICMP_TRC(TRC_DETAIL, ">>>>> Excluded network. Exit! <<<<<");
    return 0;
  }
  // The daemon path needs a network entry to walk; the manager closes the socket
  // at its end, after which the raw socket serves.
  if (ICMPdaemonActive.load() == 0 || ICMPdaemonSock.load() <= 0 || network == nullptr || address == nullptr) {
    return ZEVS_SendAndReceiveICMPpacket(address, port, wholeNetwork, network, second, waitMs);
  }
  return ProbeThroughDaemon(address, port, wholeNetwork, network, waitMs);
}
