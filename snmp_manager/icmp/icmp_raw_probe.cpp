// Probing with the process's own raw ICMP socket: echoes in batches of 15, each
// batch's replies read until a wait passes without one. A run holds
// icmpSockUseLock, so that no other run takes its replies.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <pthread.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <string>

#include "engine_routines.h"
#include "icmp_echo.h"
#include "icmp_probe_run.h"
#include "icmp_probing.h"
#include "icmp_trace.h"
#include "network_configuration_block.h"
#include "network_masks.h"
#include "trc1.h"
#include "zev0/sockets.h"
#include "zev0/storage.h"
#include "zevs/network_records.h"

TRC_UNIT();

namespace {

pthread_mutex_t icmpSockUseLock = PTHREAD_MUTEX_INITIALIZER;
int icmpSocket = 0;              // icmpSockUseLock; 0 or less: not open
std::atomic<int32_t> Once{1};    // 1 until the missing authority was logged
std::atomic<unsigned int> Seed{7};

constexpr int32_t kBatchSize = 15;
constexpr int32_t kDatagramSize = 1600;
constexpr int32_t kInsufficientAuthority = 105;

// Opens the raw socket when it is not; false (logged once for the process when
// the process lacks the privilege) when it cannot be. Caller holds icmpSockUseLock.
bool OpenRawSocket() {
  if (icmpSocket > 0) return true;
  int opened = socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
  if (opened < 0) {
    int error = errno;
    ICMP_TRC(TRC_ERROR, "***** unable to open raw socket for ICMP processing. Errno %d", error);
    // Linux refuses with EPERM where other systems say EACCES.
    if ((error == EACCES || error == EPERM) && Once.exchange(0) == 1) {
      DPAB* anchor = NCB.load() != nullptr ? NCB.load()->anchor : nullptr;
      zevp::Routines().sendDPlogMessage(anchor, kInsufficientAuthority, nullptr, nullptr, nullptr, nullptr, nullptr);
    }
    return false;
  }
  int nonBlocking = 1;
  ZEV0_SetSocketIoctl(opened, FIONBIO, &nonBlocking);
  icmpSocket = opened;
  ICMP_TRC(TRC_DETAIL, ">>> Raw socket %d opened for ICMP traffic", opened);
  return true;
}

// Reads every datagram waiting on the socket into the run.
void ReadWaiting(zevs::ProbeRun& run, uint8_t* datagram) {
  uint32_t receiveTime = zevs::MillisecondClock();
  for (;;) {
    ssize_t length = recv(icmpSocket, datagram, kDatagramSize, 0);
    if (length <= 0) return;
    zevs::IcmpReading reading{};
    if (zevs::ReadIcmpDatagram(datagram, static_cast<size_t>(length), &reading)) run.Take(reading, receiveTime);
  }
}

// Sends the batch's echoes to host indexes first … last (each host whose send
// fails is traced and left unasked); the buffer is built fresh for the first.
void SendBatch(zevs::ProbeRun& run, char** buffer, int32_t first, int32_t last) {
  for (int32_t index = first; index <= last; ++index) {
    int32_t length = ZEVS_FormatICMPbuffer(buffer, index == first ? 0 : 1, zevs::kIcmpEchoRequest, 0,
                                           run.IdentifierOf(index), zevs::kEchoRequestText);
    if (length == 0) return;
    if (index == first) {
      run.StartBatch(static_cast<uint16_t>((static_cast<uint8_t>((*buffer)[6]) << 8) |
                                           static_cast<uint8_t>((*buffer)[7])));
    }
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_addr.s_addr = htonl(run.base() + static_cast<uint32_t>(index));
    if (sendto(icmpSocket, *buffer, static_cast<size_t>(length), 0, reinterpret_cast<sockaddr*>(&target),
               sizeof target) < 0) {
      ICMP_TRC(TRC_ERROR, "***** ICMP sendto failed errno %d", errno);
      continue;
    }
    run.Asked(index);
  }
}

}  // namespace

int ZEVS_SendAndReceiveICMPpacket(const uint32_t* address, uint16_t, int wholeNetwork, NetworkEntry* network,
                                  NetworkEntry* second, int32_t waitMs) {
  if (zevs::ProbingExcluded(network)) {
    ICMP_TRC(TRC_DETAIL, ">>>>> Excluded network. Exit! <<<<<");
    return 0;
  }
  if (network == nullptr || address == nullptr) return 0;
  unsigned int seed = Seed.fetch_add(1);
  pthread_mutex_lock(&icmpSockUseLock);
  if (!OpenRawSocket()) {
    pthread_mutex_unlock(&icmpSockUseLock);
    return 0;
  }
  zevs::ProbeRun run(network, second, wholeNetwork != 0, zevs::DrawIdentifierBase(seed));
  timeval wait = zevs::ProbeReplyWait(waitMs, false);
  // A whole network's hosts: past host 254 nothing would be recorded, and past the
  // range nothing is the network's. One host: its index, when it is in the range,
  // also past 254 as the daemon probes it (its time then goes to slot 0): a host of
  // a large network must not count as silent for its index alone.
  int32_t first = 1;
  int32_t end = std::min(network->hostRange - 1, zevs::kLastProbedHost);
  if (!run.wholeNetwork()) {
    first = static_cast<int32_t>(ntohl(*address) - run.base());
    end = first < network->hostRange ? first : 0;
  }
  char* buffer = nullptr;
  auto* datagram = static_cast<uint8_t*>(ZEV0_GetStorage(kDatagramSize));
  for (; datagram != nullptr && first >= 1 && first <= end && !zevs::ProbingStopped(); first += kBatchSize) {
    SendBatch(run, &buffer, first, std::min(first + kBatchSize - 1, end));
    // A batch of a whole network ends once a wait passes without a datagram, a
    // single host's once its wait has passed; either when every echo is answered.
    int64_t deadline = zevs::SteadyMicroseconds() + zevs::Microseconds(wait);
    while (run.pending() > 0 && !zevs::ProbingStopped() && zevs::ReadableUnlessStopped(icmpSocket, deadline)) {
      ReadWaiting(run, datagram);
      if (run.wholeNetwork()) deadline = zevs::SteadyMicroseconds() + zevs::Microseconds(wait);
    }
  }
  if (!run.wholeNetwork() && run.count() == 0) {
    ICMP_TRC(TRC_DETAIL, ">>>>> ICMP echo timed out  %s", zevs::DottedAddress(*address).c_str());
  }
  pthread_mutex_unlock(&icmpSockUseLock);
  ZEV0_FreeStorage(&buffer);
  ZEV0_FreeStorage(&datagram);
  if (run.wholeNetwork()) ICMP_TRC(TRC_DETAIL, "----->%d nodes found in this network", run.count());
  return run.count();
}

namespace zevs {

void ResetIcmpProbingForTests() {
  pthread_mutex_lock(&icmpSockUseLock);
  if (icmpSocket > 0) ZEV0_CloseTheSocket(icmpSocket);
  icmpSocket = 0;
  Once = 1;
  pthread_mutex_unlock(&icmpSockUseLock);
  ICMPdaemonActive = 0;
  CloseIcmpDaemonSocket();
}

}  // namespace zevs
