#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

#include "binding_record.h"
#include "bsv1.h"
#include "datagram.h"
#include "rpc_client.h"
#include "trc1.h"

TRC_UNIT();

namespace rpc {

namespace {

using Clock = std::chrono::steady_clock;

constexpr long kDefaultCallWaitMs = 10000;

std::chrono::milliseconds CallWait() {
  const char* text = BSV1_GetEnv("ZEV_RPC_CALL_WAIT_MS", 0);
  long value = text != nullptr ? std::atol(text) : 0;
  return std::chrono::milliseconds(value > 0 ? value : kDefaultCallWaitMs);
}

// Call identifiers start from the time, so a late reply to an earlier run of the
// process is not taken for an answer.
uint32_t NextCallId() {
  static std::atomic<uint32_t> next{static_cast<uint32_t>(Clock::now().time_since_epoch().count())};
  return next.fetch_add(1);
}

bool SameSender(const sockaddr_in& expected, const sockaddr_in& sender) {
  return expected.sin_addr.s_addr == sender.sin_addr.s_addr && expected.sin_port == sender.sin_port;
}

// The answer of the call when the datagram is one, else null (traced).
bool IsAnswer(const uint8_t* data, size_t length, const sockaddr_in& from, const rpc__binding& server,
              uint32_t callId, PacketHeader* header, const uint8_t** body, size_t* bodyLength) {
  const char* reason = ParseDatagram(data, length, header, body, bodyLength);
  if (reason == nullptr && header->type == PacketType::request) reason = "a request, not an answer";
  if (reason == nullptr && !SameSender(server.address, from)) reason = "not from the server called";
  if (reason == nullptr && header->callId != callId) reason = "the answer of another call";
  if (reason == nullptr) return true;
  char sender[INET_ADDRSTRLEN];
  inet_ntop(AF_INET, &from.sin_addr, sender, sizeof sender);
  TRC(TRC_ERROR, "RPC datagram of %zu bytes from %s[%u] dropped: %s", length, sender, ntohs(from.sin_port), reason);
  return false;
}

class CallSocket {
 public:
  CallSocket() : fd_(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {}
  ~CallSocket() {
    if (fd_ >= 0) close(fd_);
  }
  int fd() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

rpc__drep_t BindingDrep(rpc__handle_t binding) { return binding != nullptr ? binding->drep : rpc__local_drep(); }

rpc__status_t Call(rpc__handle_t binding, const rpc__if_spec_t& ifspec, uint32_t operation, bool idempotent,
                   const BodyWriter& request, Reply* reply) {
  if (request.fault() != rpc__s_ok) return request.fault();
  if (binding == nullptr || binding->servedCall || reply == nullptr) return rpc__s_invalid_argument;
  PacketHeader header;
  header.type = PacketType::request;
  header.idempotent = idempotent;
  header.drep = request.drep();
  header.interfaceId = ifspec.id;
  header.interfaceVersion = ifspec.version;
  header.operation = operation;
  header.callId = NextCallId();
  std::vector<uint8_t> datagram = BuildDatagram(header, request.bytes());

  CallSocket socket;
  if (socket.fd() < 0) return rpc__s_socket_failure;
  const sockaddr* server = reinterpret_cast<const sockaddr*>(&binding->address);
  auto send = [&] {
    return sendto(socket.fd(), datagram.data(), datagram.size(), 0, server, sizeof binding->address) ==
           static_cast<ssize_t>(datagram.size());
  };
  if (!send()) {
    TRC(TRC_ERROR, "RPC request not sent, errno %d", errno);
    return rpc__s_socket_failure;
  }

  const std::chrono::milliseconds wait = CallWait();
  const Clock::time_point deadline = Clock::now() + wait;
  const Clock::duration resendEvery = wait / 4;
  Clock::time_point nextSend = Clock::now() + resendEvery;
  std::vector<uint8_t> received(kMaximumDatagram);
  for (;;) {
    Clock::time_point now = Clock::now();
    if (now >= deadline) return rpc__s_comm_failure;
    if (idempotent && now >= nextSend) {
      send();
      nextSend = now + resendEvery;
    }
    Clock::time_point until = idempotent ? std::min(deadline, nextSend) : deadline;
    auto waitMs = std::chrono::duration_cast<std::chrono::milliseconds>(until - now).count() + 1;
    pollfd ready{socket.fd(), POLLIN, 0};
    if (poll(&ready, 1, static_cast<int>(waitMs)) <= 0) continue;
    sockaddr_in from{};
    socklen_t fromLength = sizeof from;
    ssize_t length = recvfrom(socket.fd(), received.data(), received.size(), 0, reinterpret_cast<sockaddr*>(&from),
                              &fromLength);
    if (length < 0) continue;
    PacketHeader answer;
    const uint8_t* body = nullptr;
    size_t bodyLength = 0;
    if (!IsAnswer(received.data(), static_cast<size_t>(length), from, *binding, header.callId, &answer, &body,
                  &bodyLength))
      continue;
    if (answer.type == PacketType::fault) {
      BodyReader code(body, bodyLength, answer.drep);
      rpc__status_t fault = code.getU32();
      return code.fault() == rpc__s_ok && fault != rpc__s_ok ? fault : rpc__s_bad_body;
    }
    reply->drep = answer.drep;
    reply->body.assign(body, body + bodyLength);
    return rpc__s_ok;
  }
}

}  // namespace rpc
