// The control exchange: one text command to the console port of the data provider that
// serves API input, and its numbered reply.
#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "anchor.h"
#include "api_trace.h"
#include "control_reply.h"
#include "records.h"
#include "socket_waits.h"
#include "status_codes.h"

short CMDport = 0;

namespace zevpapi {

namespace {

// The console ports that may serve API input: the API data provider's and the ASFS
// data provider's; a time-out on one tries the other.
constexpr int kApiConsolePort = 7700;
constexpr int kAsfsConsolePort = 7703;

// How an exchange on one port ended: a result, or a wait that ran out.
struct PortOutcome {
  bool timedOut = false;
  int result = 0;
};

void SetConsolePortOnce() {
  if (CMDport != 0) return;
  const char* value = std::getenv("ZEVP_DPCONSOLE_PORT");
  long port = value != nullptr ? std::strtol(value, nullptr, 10) : 0;
  // The port is kept in 16 bits: one above 32767 reads as negative, as the wire holds it.
  CMDport = static_cast<short>(port >= 1 && port <= 65535 ? port : kApiConsolePort);
}

uint16_t ConsolePort() { return static_cast<uint16_t>(CMDport); }

void SwitchConsolePort() {
  if (ConsolePort() == kApiConsolePort)
    CMDport = kAsfsConsolePort;
  else if (ConsolePort() == kAsfsConsolePort)
    CMDport = kApiConsolePort;
}

// The replies to the request until one ends it: interim replies and ones that hold no
// code start the wait again.
PortOutcome AwaitReply(int socket, long long waitSeconds, char* replyParm) {
  for (;;) {
    const Clock::time_point deadline = DeadlineIn(waitSeconds);
    if (!AwaitSocket(socket, POLLIN, &deadline)) return {true, kTimedOut};
    char reply[kReplyAreaSize] = {};
    ssize_t received = recv(socket, reply, sizeof reply, 0);
    if (received < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) continue;
    if (received < 0) {
      TraceStep("control", "receive failed, errno %d", errno);
      return {false, kTimedOut};
    }
    ZEVP_ConvertBufferToLocal(reply, static_cast<int>(received), 0);
    ControlReplyReading reading = ReadControlReply(reply, static_cast<int>(received));
    if (reading.kind == ControlReplyReading::kDiscarded) {
      TraceStep("control", "Invalid/Unrecognized response discarded (%zd bytes)", received);
      continue;
    }
    if (reading.kind == ControlReplyReading::kInterim) {
      TraceStep("control", "command in progress");
      continue;
    }
    CopyReplyParameter(reply, reading, replyParm);
    TraceStep("control", "reply code %d", reading.code);
    return {false, reading.code};
  }
}

PortOutcome ExchangeOnPort(const std::string& command, char* replyParm, long long waitSeconds) {
  sockaddr_in address{};
  int status = ZEVP_GetAPIdpAddr(reinterpret_cast<sockaddr*>(&address));
  if (status != kSuccess) return {false, status};
  address.sin_port = htons(ConsolePort());
  int socket = ZEVP_OpenSocket(SOCK_DGRAM);
  if (socket < 0) return {false, kShortSend};  // without a socket the command is not sent
  std::string bytes = command;
  ZEVP_ConvertBufferToNetwork(bytes.data(), static_cast<int>(bytes.size()));
  ssize_t sent = sendto(socket, bytes.data(), bytes.size(), MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&address),
                        sizeof address);
  TraceStep("control", "%.20s sent to port %u: %zd of %zu bytes, errno %d", command.c_str(), ConsolePort(), sent,
            bytes.size(), sent < 0 ? errno : 0);
  PortOutcome outcome = sent == static_cast<ssize_t>(bytes.size()) ? AwaitReply(socket, waitSeconds, replyParm)
                                                                   : PortOutcome{false, kShortSend};
  ZEVP_CloseSocket(socket);
  return outcome;
}

}  // namespace

}  // namespace zevpapi

extern "C" int ZEVP_SendReceiveAPIcontrolViaSock(const char* request, char* replyParm, int waitFactor) {
  if (request == nullptr) return zevpapi::kMissingParameter;
  int status = zevpapi::EnsureAnchor();
  if (status != zevpapi::kSuccess) return status;
  zevpapi::SetConsolePortOnce();
  const long long waitSeconds = static_cast<long long>(DPAA->commandWait) * waitFactor;
  zevpapi::PortOutcome outcome = zevpapi::ExchangeOnPort(request, replyParm, waitSeconds);
  if (!outcome.timedOut) return outcome.result;
  // The other console port serving API input keeps the request from now on.
  zevpapi::SwitchConsolePort();
  zevpapi::TraceStep("control", "no reply, console port %u next", static_cast<unsigned>(static_cast<uint16_t>(CMDport)));
  outcome = zevpapi::ExchangeOnPort(request, replyParm, waitSeconds);
  return outcome.result;
}

extern "C" int ZEVP_SendReceiveAPIcontrolViaRPC(const char*, char*, int) { return zevpapi::kRpcTransport; }

extern "C" int ZEVP_SendReceiveAPIcontrolRequest(const char* request, char* replyParm, int waitFactor) {
  int status = zevpapi::EnsureAnchor();
  if (status != zevpapi::kSuccess) return status;
  if (DPAA->transport == 'R') return ZEVP_SendReceiveAPIcontrolViaRPC(request, replyParm, waitFactor);
  return ZEVP_SendReceiveAPIcontrolViaSock(request, replyParm, waitFactor);
}
