#include "pdu_exchange.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>

#include "mib_io_trace.h"

TRC_UNIT();

namespace {

constexpr int32_t kReceiveOnlyExtraSeconds = 5;
constexpr int32_t kRealSecondMs = 1000;

std::mutex TimeoutCheckLock;
zevp::PDUexchangeStatistics Statistics{5, 25, 50, 0, 0};
std::atomic<int32_t> WaitSecondMs{kRealSecondMs};

int32_t currentWaitSeconds() {
  std::lock_guard<std::mutex> hold(TimeoutCheckLock);
  return Statistics.sendPDUwait;
}

void countSend() {
  std::lock_guard<std::mutex> hold(TimeoutCheckLock);
  ++Statistics.sendCount;
}

void countReceive() {
  std::lock_guard<std::mutex> hold(TimeoutCheckLock);
  ++Statistics.receiveCount;
}

// At a time-out: judges the reply ratio once enough requests went out.
void judgeTimeout() {
  std::lock_guard<std::mutex> hold(TimeoutCheckLock);
  zevp::PDUexchangeStatistics& s = Statistics;
  if (s.sendCount < s.checkCount || s.receiveCount <= 0) return;
  if (s.sendCount / s.receiveCount >= 2 && s.sendPDUwait < s.maxPDUwait) {
    ++s.sendPDUwait;
    TRC(TRC_ERROR, "SNMP send PDU request wait increased to %d", s.sendPDUwait);
  }
  s.sendCount = 0;
  s.receiveCount = 0;
}

const char* dotted(const sockaddr_in* address, char* text) {
  return inet_ntop(AF_INET, &address->sin_addr, text, INET_ADDRSTRLEN) != nullptr ? text : "?";
}

}  // namespace

int32_t ZEVP_SNMPsendAndReceivePDU(int socketDescriptor, char* buffer, int32_t requestLength, int32_t bufferSize,
                                   const sockaddr_in* agent, int receiveOnly, int acceptAnySource) {
  char agentText[INET_ADDRSTRLEN];
  int32_t waitSeconds = currentWaitSeconds() + (receiveOnly != 0 ? kReceiveOnlyExtraSeconds : 0);
  ZEVP_MIBIO_TRC(TRC_DETAIL, "Waiting %d seconds for the response of %s(%d)", waitSeconds,
                 dotted(agent, agentText), ntohs(agent->sin_port));
  if (receiveOnly == 0) {
    ssize_t sent = sendto(socketDescriptor, buffer, static_cast<size_t>(requestLength), 0,
                          reinterpret_cast<const sockaddr*>(agent), sizeof *agent);
    countSend();
    if (sent != requestLength) {
      TRC(TRC_ERROR, "*****sendto %s(%d) failed. rc %d errno %d", dotted(agent, agentText), ntohs(agent->sin_port),
          static_cast<int>(sent), errno);
      return static_cast<int32_t>(sent);
    }
  }
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline =
      Clock::now() + std::chrono::milliseconds(static_cast<int64_t>(waitSeconds) * WaitSecondMs.load());
  for (;;) {
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    pollfd ready{socketDescriptor, POLLIN, 0};
    if (left <= 0 || poll(&ready, 1, static_cast<int>(left)) <= 0) break;
    std::memset(buffer, 0, static_cast<size_t>(bufferSize));
    sockaddr_in sender{};
    socklen_t senderLength = sizeof sender;
    ssize_t received = recvfrom(socketDescriptor, buffer, static_cast<size_t>(bufferSize), 0,
                                reinterpret_cast<sockaddr*>(&sender), &senderLength);
    if (received <= 0) {
      int error = errno;
      TRC(TRC_ERROR, "*****recvfrom from %s(%d) failed. rc %d errno %d %s", dotted(agent, agentText),
          ntohs(agent->sin_port), static_cast<int>(received), error, std::strerror(error));
      return static_cast<int32_t>(received);
    }
    if (sender.sin_addr.s_addr != agent->sin_addr.s_addr && acceptAnySource == 0) {
      ZEVP_MIBIO_TRC(TRC_DETAIL, "Unexpected agent response ignored");
      continue;
    }
    if (receiveOnly == 0) countReceive();
    return static_cast<int32_t>(received);
  }
  ZEVP_MIBIO_TRC(TRC_DETAIL, ">>>>> Agent response wait select timed out");
  judgeTimeout();
  return 0;
}

namespace zevp {

PDUexchangeStatistics CurrentPDUexchangeStatistics() {
  std::lock_guard<std::mutex> hold(TimeoutCheckLock);
  return Statistics;
}

void PresetPDUexchangeStatistics(const PDUexchangeStatistics& statistics) {
  std::lock_guard<std::mutex> hold(TimeoutCheckLock);
  Statistics = statistics;
}

void SetPDUwaitSecondForTests(int32_t milliseconds) {
  WaitSecondMs.store(milliseconds > 0 ? milliseconds : kRealSecondMs);
}

}  // namespace zevp
