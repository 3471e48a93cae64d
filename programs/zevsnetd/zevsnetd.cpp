// zevsnetd, the ICMP network daemon: sends one ICMP echo per request of the SNMP
// data provider from its own raw socket and answers with the response time in
// milliseconds, or -1 (docs/icmp-daemon-protocol.md); it serves only senders of
// this host. Single-threaded; requests that arrive during an echo wait queue in
// the UDP socket. It ends on SIGTERM (or SIGINT) with exit code 0, as on every
// other path.
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "daemon_trace.h"
#include "host_addresses.h"
#include "icmp_daemon_wire.h"
#include "icmp_echo.h"

using zevsnetd::Trace;

namespace {

constexpr uint16_t kDefaultPort = 7980;
constexpr size_t kEchoAreaSize = 2000;
constexpr char kEchoText[] = "Ploven";

volatile sig_atomic_t endRequested = 0;

void RequestEnd(int) { endRequested = 1; }

struct Daemon {
  int udpSocket = -1;
  int rawSocket = -1;
  sigset_t waitMask{};  // the mask during waits: the end signals let through
  uint16_t identifier = 0;
  uint16_t icmpSeq = 0;
  uint8_t* echo = nullptr;  // kEchoAreaSize bytes, made at the first request
  uint8_t received[kEchoAreaSize];
};

[[noreturn]] void Exit(Daemon& daemon) {
  Trace(">>>>> Net Daemon exit.");
  zevsnetd::CloseTrace();
  if (daemon.udpSocket >= 0) close(daemon.udpSocket);
  if (daemon.rawSocket >= 0) close(daemon.rawSocket);
  std::free(daemon.echo);
  std::exit(0);
}

void SetNonBlocking(int socketDescriptor, int value) { ioctl(socketDescriptor, FIONBIO, &value); }

// The end signals are held back except during the waits, where they end the wait.
void CatchEndSignals(Daemon& daemon) {
  struct sigaction action{};
  action.sa_handler = RequestEnd;
  sigemptyset(&action.sa_mask);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  sigset_t ends;
  sigemptyset(&ends);
  sigaddset(&ends, SIGTERM);
  sigaddset(&ends, SIGINT);
  sigprocmask(SIG_BLOCK, &ends, &daemon.waitMask);
  sigdelset(&daemon.waitMask, SIGTERM);
  sigdelset(&daemon.waitMask, SIGINT);
}

void StartUp(Daemon& daemon) {
  if (const char* file = zevsnetd::OpenTrace(std::getenv("ZEVP_SNMP_NETD_VERBOSE"))) {
    Trace("----- Ploven SNMP Network Daemon started");
    Trace("----- Verbose output file is %s", file);
  }
  const char* portText = std::getenv("ZEVP_SNMP_NETDAEMON_PORT");
  int port = portText != nullptr ? std::atoi(portText) : kDefaultPort;
  Trace("----- Daemon port %d", port);

  daemon.udpSocket = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (daemon.udpSocket < 0) {
    Trace("***** socket open failed. errno %d", errno);
    Exit(daemon);
  }
  SetNonBlocking(daemon.udpSocket, 0);
  Trace("----- socket %d opened and set to blocking IO", daemon.udpSocket);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(INADDR_ANY);
  local.sin_port = htons(static_cast<uint16_t>(port));
  if (bind(daemon.udpSocket, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
    Trace("***** bind failed for local socket %d port %d errno %d", daemon.udpSocket, port, errno);
    Exit(daemon);
  }

  char hostName[HOST_NAME_MAX + 1] = {};
  const char* configured = std::getenv("ZEV_DP_HOSTNAME");
  if (configured != nullptr && *configured != '\0') {
    std::strncpy(hostName, configured, sizeof hostName - 1);
  } else if (gethostname(hostName, sizeof hostName - 1) != 0) {
    Trace("***** gethostname failed. errno %d", errno);
    Exit(daemon);
  }
  addrinfo hints{};
  hints.ai_family = AF_INET;
  addrinfo* found = nullptr;
  if (getaddrinfo(hostName, nullptr, &hints, &found) != 0 || found == nullptr) {
    Trace("***** gethostbyname failed, errno %d", errno);
    Exit(daemon);
  }
  char dotted[INET_ADDRSTRLEN];
  inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr, dotted, sizeof dotted);
  freeaddrinfo(found);
  Trace("----- socket %d bound to %s[%d]", daemon.udpSocket, dotted, port);

  daemon.rawSocket = socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
  if (daemon.rawSocket < 0) {
    Trace("***** raw socket open failed. errno %d", errno);
    Exit(daemon);
  }
  SetNonBlocking(daemon.rawSocket, 1);
  Trace("----- raw socket %d opened for ICMP traffic", daemon.rawSocket);
}

// The outcome of one echo: the average time of its replies, or -1.
struct EchoOutcome {
  uint32_t sum = 0;
  uint32_t count = 0;
  bool unreachable = false;
};

// Takes the datagrams waiting on the raw socket: only replies to the echo sent
// (its identifier, sequence and target) count.
void ReadReplies(Daemon& daemon, in_addr_t target, EchoOutcome& outcome, char* reply, size_t replySize,
                 const zevs::DaemonRequest& request) {
  for (;;) {
    ssize_t length = recv(daemon.rawSocket, daemon.received, sizeof daemon.received, 0);
    if (length <= 0) return;
    zevs::IcmpReading reading{};
    if (!zevs::ReadIcmpDatagram(daemon.received, static_cast<size_t>(length), &reading)) continue;
    bool ownEcho = reading.echoKnown && reading.identifier == daemon.identifier && reading.sequence == daemon.icmpSeq;
    if (reading.type == zevs::kIcmpEchoReply) {
      if (!ownEcho || reading.source != target) continue;
      uint32_t milliseconds = zevs::MillisecondClock() - reading.sendTime;
      outcome.sum += milliseconds;
      ++outcome.count;
      zevs::WriteDaemonReply(reply, replySize, request, static_cast<int32_t>(outcome.sum / outcome.count));
      in_addr from{reading.source};
      Trace("----- ICMP echo reply from %s", inet_ntoa(from));
      Trace("---------- Node response time is %d ms", static_cast<int>(milliseconds));
    } else if (reading.type == zevs::kIcmpUnreachable) {
      if (!ownEcho || reading.quotedDestination != target) continue;
      outcome.unreachable = true;
      Trace("---------- Node is unreachable %.2X", reading.code);
    } else if (zevs::IsUnsupportedReplyType(reading.type)) {
      Trace("---------- Unsupported ICMP reply type %.2X", reading.type);
    }
  }
}

// Sends the echo to the target and waits for its replies, writing the outcome into
// the reply area.
void Echo(Daemon& daemon, const zevs::DaemonRequest& request, char* reply, size_t replySize) {
  if (daemon.echo == nullptr) daemon.echo = static_cast<uint8_t*>(std::calloc(1, kEchoAreaSize));
  if (daemon.echo == nullptr) return;
  ++daemon.icmpSeq;
  int32_t length = zevs::BuildIcmpMessage(daemon.echo, kEchoAreaSize, false, zevs::kIcmpEchoRequest, 0,
                                          daemon.identifier, daemon.icmpSeq, zevs::MillisecondClock(), kEchoText);
  sockaddr_in destination{};
  destination.sin_family = AF_INET;
  destination.sin_port = request.port;
  destination.sin_addr.s_addr = request.target;
  ssize_t sent = sendto(daemon.rawSocket, daemon.echo, static_cast<size_t>(length), 0,
                        reinterpret_cast<sockaddr*>(&destination), sizeof destination);
  int error = errno;
  if (zevsnetd::Verbose()) {
    Trace("----- sendto %s[%d] length %d errno %d", inet_ntoa(destination.sin_addr), request.port, length,
          sent < 0 ? error : 0);
    zevsnetd::TraceHex(daemon.echo, static_cast<size_t>(length));
  }
  if (sent < length) {
    Trace("----- ICMP sendto failed errno %d", error);
    return;
  }
  EchoOutcome outcome;
  int64_t deadline = zevs::SteadyMicroseconds() + zevs::Microseconds(zevs::DaemonEchoWait(request.waitMs));
  // The wait ends early once the echo was answered or reported unreachable.
  while (outcome.count == 0 && !outcome.unreachable) {
    bool readable = zevs::ReadableBefore(daemon.rawSocket, deadline, &daemon.waitMask);
    if (endRequested != 0) Exit(daemon);
    Trace("----- ICMP select wait completed. nfds=%d", readable ? 1 : 0);
    if (!readable) break;
    ReadReplies(daemon, request.target, outcome, reply, replySize, request);
  }
}

// Only the host's own programs are served: the port is bound to every address,
// and an echo for anyone who reaches it would make the daemon a reflector.
bool FromThisHost(const sockaddr_in& sender) {
  if (sender.sin_family == AF_INET && zevdaemon::IsAddressOfThisHost(sender.sin_addr)) return true;
  Trace("***** request from %s[%d] refused: not an address of this host", inet_ntoa(sender.sin_addr),
        ntohs(sender.sin_port));
  return false;
}

void Serve(Daemon& daemon) {
  char area[zevs::kDaemonDatagramArea];
  for (;;) {
    // Also looked at before the wait: a runtime that defers signal handlers (as
    // ThreadSanitizer's does) runs the handler only after the wait it broke off.
    if (endRequested != 0) Exit(daemon);
    Trace(">>>>> Listening for DP request");
    if (!zevs::ReadableBefore(daemon.udpSocket, INT64_MAX, &daemon.waitMask) && endRequested != 0) Exit(daemon);
    std::memset(area, 0, sizeof area);
    sockaddr_in sender{};
    socklen_t senderLength = sizeof sender;
    ssize_t length = recvfrom(daemon.udpSocket, area, sizeof area - 1, MSG_DONTWAIT,
                              reinterpret_cast<sockaddr*>(&sender), &senderLength);
    if (length <= 0) {
      if (length < 0 && errno == EAGAIN) continue;
      Trace("----- No request data received from DP errno %d", length < 0 ? errno : 0);
      continue;
    }
    if (!FromThisHost(sender)) continue;
    zevs::DaemonRequest request{};
    if (!zevs::ParseDaemonRequest(area, &request)) continue;
    if (request.targetValid && request.target == 0) {
      Trace("----- DP startup contact received");
      sendto(daemon.udpSocket, area, static_cast<size_t>(length), 0, reinterpret_cast<sockaddr*>(&sender),
             senderLength);
      continue;
    }
    in_addr target{request.target};
    Trace("----- DP request for target node %s received", request.targetValid ? inet_ntoa(target) : "(invalid)");
    zevs::WriteDaemonReply(area, sizeof area, request, -1);
    // An address token that is none is answered -1 without an echo.
    if (request.targetValid) Echo(daemon, request, area, sizeof area);
    Trace("----- send reply to DP %s", area);
    sendto(daemon.udpSocket, area, std::strlen(area), 0, reinterpret_cast<sockaddr*>(&sender), senderLength);
  }
}

}  // namespace

int main() {
  static Daemon daemon;
  CatchEndSignals(daemon);
  daemon.identifier = zevs::DrawIdentifierBase(7);
  StartUp(daemon);
  Serve(daemon);
}
